#pragma once

#include <QByteArray>
#include <QSet>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zuno {

class Exchange;
enum class CatalogueList;

// The command console: the projector's command catalogue in three lists, a text box holding
// the command to send, and SEND, which hands it to the exchange. Not modal; discarded when
// closed. Enter and Esc do nothing here.
class CommandConsole : public QWidget
{
    Q_OBJECT
  public:
    // Opens on the basic list's first item.
    explicit CommandConsole(Exchange& exchange);
    // Discards the console without its closing steps (the panel's own close does this).
    ~CommandConsole() override;

    // The exact bytes SEND transmits (the exchange puts the address in front): the text box's
    // command text followed by CR.
    QByteArray commandToSend() const { return m_commandToSend; }

    QPushButton* sendButton = nullptr;
    QPushButton* closeButton = nullptr;
    QPushButton* basicListButton = nullptr; // "Basic Command List"
    QPushButton* setListButton = nullptr;   // "Expand Command List"
    QPushButton* readListButton = nullptr;  // "Expand Read Command List"
    QLineEdit* commandBox = nullptr;
    QLabel* parameterHint = nullptr; // "% :Parameter (0-9)."
    QLabel* crHint = nullptr;        // "[CR] :Carriage Return Code (0x0D)"
    QComboBox* basicList = nullptr;
    QComboBox* setList = nullptr;
    QComboBox* readList = nullptr;

  signals:
    // The console went (CLOSE or its close box): the panel takes back its status line and its
    // usual timing.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    QComboBox* buildList(const char* name, CatalogueList list, int initialTop, int width,
                         const char* editText);
    void chooseBasic();
    void chooseSet();
    void chooseRead();
    void takeTypedCommand();
    void takeChosenItem(QComboBox* list);
    void showChoice(QComboBox* list);
    void switchToList(QComboBox* list);
    void send();

    Exchange& m_exchange;
    QByteArray m_commandToSend;
    QSet<const QComboBox*> m_chosenLists; // the set and read lists that had an item chosen
};

} // namespace zuno
