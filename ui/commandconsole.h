#pragma once

#include <QByteArray>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zuno {

class Form1;
enum class CatalogueList;

// The command list console: three lists of the command catalogue, a text box holding the
// command to send, and SEND, which hands the command to the panel's transmit routine.
// Not modal; discarded when closed. Enter and Esc do nothing here.
class Form3 : public QWidget
{
    Q_OBJECT
  public:
    // The load steps run here: basic list shown on its first item.
    explicit Form3(Form1& panel);
    // Discards the console without touching the panel (the panel's own close does this).
    ~Form3() override;

    // The exact bytes SEND transmits (without the panel's address prefix): the text box's
    // command text followed by CR.
    QByteArray ConsoleCommand;

    QPushButton* Command1 = nullptr; // SEND
    QPushButton* Command2 = nullptr; // CLOSE
    QPushButton* Command3 = nullptr; // "Basic Command List"
    QPushButton* Command4 = nullptr; // "Expand Command List"
    QPushButton* Command5 = nullptr; // "Expand Read Command List"
    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;    // "%" hint
    QLabel* Label2 = nullptr;    // "[CR]" hint
    QComboBox* Combo1 = nullptr; // basic commands
    QComboBox* Combo2 = nullptr; // set commands
    QComboBox* Combo3 = nullptr; // read commands

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

  protected:
    // The close box does what CLOSE does, so the panel is restored however the console goes.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    QComboBox* buildList(const char* name, CatalogueList list, int designTop, int width,
                         bool showsName);
    void load();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void Text1_Change();
    void takeChosenItem(QComboBox* list);
    void switchToList(QComboBox* list);
    void restorePanel();

    Form1& m_panel;
};

} // namespace zuno
