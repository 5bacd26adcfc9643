#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zuno {

class MSComm1;

// The port dialog: chooses the COM port and the line speed, opens the port on
// the main window's serial control and stores the choice.
class Form2 : public QDialog
{
    Q_OBJECT
  public:
    // comm: the main window's serial control; mainWindow: shown again when the
    // dialog succeeds. The load step (preselection) runs here.
    Form2(MSComm1& comm, QWidget* mainWindow);

    QLineEdit* Text1 = nullptr;
    QRadioButton* Option1 = nullptr; // "9600"
    QRadioButton* Option2 = nullptr; // "19200"
    QRadioButton* Option3 = nullptr; // "COM1" ... Option7 "COM5"
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option7 = nullptr;
    QPushButton* Command1 = nullptr; // OK
    QPushButton* Command2 = nullptr; // Cancel

    void Command1_Click();
    void Command2_Click();

  private:
    void buildControls();
    void load();
    void Text1_Change();
    void adoptBaudCode();
    void applyLineParameters();
    void succeed();
    void refreshPortTips();

    MSComm1& m_comm;
    QWidget* m_mainWindow;
};

} // namespace zuno
