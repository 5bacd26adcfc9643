#pragma once

#include "core/exchange.h"
#include "core/portchoice.h"
#include "ui/panelbuilder.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace zuno {

class CommandConsole;
class Link;
class PortDialog;

// The operator panel: the buttons send through the exchange, the lines show what it signals,
// the address row chooses its prefix. The window also runs the start-up (port, speed and address
// from the settings store) and the closing (the address stored, the port closed).
class PanelWindow : public QWidget
{
    Q_OBJECT
  public:
    explicit PanelWindow(Link& link, QWidget* parent = nullptr);
    ~PanelWindow() override;

    // The start-up: restores port, speed and address and opens the port, or falls back to the
    // port dialog, shown modally, when no valid port is stored or it does not open. Runs before
    // the window is first shown. What `run` chooses takes the place of the stored value for this
    // run only: a chosen address is stored on closing only once the operator picks one.
    void start(const StartUpChoice& run = {});
    // Ends the program in order from outside the window (a termination signal): the closing
    // steps, the windows closed, the event loop ended. The panel is not shown again.
    void endSession();

    Exchange& exchange() { return m_exchange; }
    const PanelControls& controls() const { return m_controls; }
    QPushButton* button(PanelButton id) const { return m_controls.button(id); }
    // The port and speed in use or being chosen in the port dialog, and the copy that "COM"
    // took of them for the dialog's Cancel.
    PortChoice portChoice() const { return m_portChoice; }
    PortChoice savedPortChoice() const { return m_savedPortChoice; }
    // The port dialog and the command console while they are open.
    PortDialog* portDialog() const;
    CommandConsole* console() const;

    // The two panel heights, as client heights in pixels.
    static int compactClientHeight();
    static int fullClientHeight();

    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void bindButtons();
    void bindExchange();
    void pressHoldButton(QPushButton* button, int repeatKey, bool byKeyboard);
    void chooseAddress(int option);
    void showAddress(const QByteArray& address);
    void togglePanelSize();
    void placeOnScreen();
    void startUpFallback();
    void reportLargeStore();
    void giveUpStartUp();
    PortDialog* createPortDialog();
    void endProgram();
    void runClosingSteps();
    void storeAddress();
    void openPortDialog();
    void openConsole();
    void consoleClosed();

    Link& m_link;
    Exchange m_exchange;
    PanelControls m_controls;
    PortChoice m_portChoice;
    PortChoice m_savedPortChoice;
    QHash<const QObject*, int> m_holdRepeatKeys; // the hold buttons' repeat keys
    QPushButton* m_heldButton = nullptr;
    bool m_heldByKeyboard = false; // the held button's hold came from Space, not the mouse
    bool m_iconRequested = false;
    bool m_storeAddressOnClose = true;  // false while the address is the command line's
    QString m_largeStoreNotice;         // shown once the panel is shown
    bool m_closingStepsDone = false;
    bool m_inStartUpDialog = false;     // the start-up waits in the modal port dialog
    QPointer<QObject> m_startUpAttempt; // while the start-up waits for its port
    QPointer<PortDialog> m_portDialog;
    QPointer<CommandConsole> m_console;
};

} // namespace zuno
