#pragma once

#include "ui/panelbuilder.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace zuno {

class CommandConsole;
class PortDialog;
class Session;

// The operator panel, a view of the session: the buttons send through its exchange, the lines
// show what the exchange signals, the address row chooses its prefix, COM and the port dialog
// change its port. The panel is shown once the session's start-up has its port, or after the
// port dialog the start-up asked for; it is placed before it is first shown.
class PanelWindow : public QWidget
{
    Q_OBJECT
  public:
    explicit PanelWindow(Session& session, QWidget* parent = nullptr);
    ~PanelWindow() override;

    const PanelControls& controls() const { return m_controls; }

    // The two panel heights, as client heights in pixels.
    static int compactClientHeight();
    static int fullClientHeight();

    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void bindButtons();
    void bindSession();
    void showAddress();
    void togglePanelSize();
    void placeAndShow();
    void showNotice(const QString& text);
    void showNotices();
    PortDialog* portDialog();
    void openPortDialog();
    void openConsole();
    void consoleClosed();
    void sessionEnded();

    Session& m_session;
    PanelControls m_controls;
    bool m_iconRequested = false;
    QStringList m_notices; // shown once the panel is shown
    QPointer<PortDialog> m_portDialog;
    QPointer<CommandConsole> m_console;
};

} // namespace zuno
