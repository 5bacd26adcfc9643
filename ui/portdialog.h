#pragma once

#include "core/portchoice.h"

#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zuno {

class Link;

// The port dialog: chooses the COM port (1 to 15) and the line speed, opens the port on OK and
// stores the choice, or goes back to the port in use before with Cancel. The choice changes
// with every click and typed number, and the panel learns each change through choiceChanged.
class PortDialog : public QDialog
{
    Q_OBJECT
  public:
    // link: the panel's line; choice: the port and speed to preselect; saved: what Cancel goes
    // back to (port 0: nothing to go back to).
    PortDialog(Link& link, PortChoice choice, PortChoice saved);
    ~PortDialog() override;

    // What Cancel goes back to from now on.
    void setSavedChoice(PortChoice saved) { m_saved = saved; }
    PortChoice choice() const { return m_choice; }

    QLineEdit* otherPortBox = nullptr; // any port 1 to 15, beside "OTHER"
    QRadioButton* baud9600Option = nullptr;
    QRadioButton* baud19200Option = nullptr;
    std::array<QRadioButton*, 5> comOptions{}; // "COM1" ... "COM5"
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

  signals:
    void choiceChanged(zuno::PortChoice choice);
    // OK or Cancel opened the port and closed the dialog: the panel is to be shown.
    void portReady();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    void preselect();
    void setChoice(PortChoice choice);
    void takeTypedPort();
    void showBaudCode();
    void ok();
    void cancel();
    void openPort(PortChoice choice, std::function<void()> onOpened);
    void giveUpOpening();
    void succeed();
    void refreshPortTips();

    Link& m_link;
    PortChoice m_choice;
    PortChoice m_saved;
    QPointer<QObject> m_openAttempt;
    bool m_opening = false;
};

} // namespace zuno
