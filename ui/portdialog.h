#pragma once

#include "core/portchoice.h"

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zuno {

class PortNaming;

// The port dialog: chooses the COM port (1 to 15) and the line speed. It shows the choice it is
// given and reports every click and typed number as the operator's choice, OK and Cancel as
// requests; whoever shows it opens the port and stores the choice (the session). Its controls
// keep no choice of their own beyond what they show.
class PortDialog : public QDialog
{
    Q_OBJECT
  public:
    // naming: which device each COM option opens, for their tooltips; choice: the port and speed
    // to preselect.
    PortDialog(const PortNaming& naming, PortChoice choice);

    // The choice changed (by the operator's clicks, or by a Cancel that went back): the speed
    // options follow it; the port options keep what the operator clicked.
    void showChoice(PortChoice choice);
    // While a port is being opened the pointer says the dialog is waiting.
    void setBusy(bool busy);

    QLineEdit* otherPortBox = nullptr; // any port 1 to 15, beside "OTHER"
    QRadioButton* baud9600Option = nullptr;
    QRadioButton* baud19200Option = nullptr;
    std::array<QRadioButton*, 5> comOptions{}; // "COM1" ... "COM5"
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

  signals:
    void choicePicked(zuno::PortChoice choice);
    void okPressed();
    void cancelPressed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls(const PortNaming& naming);
    void pick(PortChoice choice);
    void takeTypedPort();
    void describePorts(const PortNaming& naming);

    PortChoice m_shown; // the choice last shown, which a click changes in part
};

} // namespace zuno
