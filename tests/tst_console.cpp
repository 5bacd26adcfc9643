#include "console/catalogue.h"
#include "console/form3.h"
#include "link/form1.h"
#include "settings/portsettings.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

using namespace zuno;

namespace {

constexpr int kPort = 9;

// The position of the first set-list item whose text contains the piece.
int setItemWith(const QString& piece)
{
    const QStringList items = Catalogue::items(CatalogueList::Set);
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].contains(piece))
            return i;
    }
    return -1;
}

// Chooses an item as the operator does: open the drop-down, go to the item, take it.
void choose(QComboBox* list, int position)
{
    list->showPopup();
    QAbstractItemView* view = list->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(view->model()->index(position, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

} // namespace

// The console against the real panel, its transmit routine and a pseudo-terminal.
class TestConsole : public QObject
{
    Q_OBJECT

    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<Form1> m_panel;

    Form1& panel() { return *m_panel; }
    bool frame15Shown() { return panel().Frame15()->isVisibleTo(&panel()); }
    // Opens the console as the panel's "Command Table" button does.
    Form3* openConsole()
    {
        panel().button(QStringLiteral("Command74"))->click();
        return qobject_cast<Form3*>(panel().console());
    }
    QByteArray sent(const QByteArray& expected) { return m_pty->read(2000, expected.size()); }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init();
    void cleanup();

    void windowAndLoadState();
    void tabOrderAndFocus();
    void listButtons_data();
    void listButtons();
    void choosingItems_data();
    void choosingItems();
    void parameterHint();
    void arrowKeysStepThroughSetList();
    void editPartOfListsChangesNothing();
    void textBoxDrivesCommand();
    void sendWithAndWithoutPrefix_data();
    void sendWithAndWithoutPrefix();
    void sendRestartsPanelTimers();
    void enterAndEscapeDoNothing();
    void closingRestoresPanel_data();
    void closingRestoresPanel();
    void panelDiscardingConsoleRunsNoCloseSteps();
};

void TestConsole::init()
{
    TempStore::clear();
    SendText = QByteArray("CR0\r");
    m_pty = std::make_unique<Pty>();
    TempStore::mapPort(kPort, m_pty->slavePath());
    m_panel = std::make_unique<Form1>();
    panel().comm().setCommPort(kPort);
    QVERIFY(panel().comm().setPortOpen(true));
}

void TestConsole::cleanup()
{
    m_panel.reset();
    m_pty.reset();
    // The console never prepares a panel command of its own.
    QCOMPARE(SendText, QByteArray("CR0\r"));
}

void TestConsole::windowAndLoadState()
{
    QVERIFY(frame15Shown());
    Form3* console = openConsole();
    QVERIFY(console && console->isVisible() && !console->isModal());
    QCOMPARE(console->windowTitle(), QStringLiteral("Command List"));
    QCOMPARE(console->size(), QSize(10005 / 15, 2020 / 15));
    QCOMPARE(console->minimumSize(), console->maximumSize());
    const Qt::WindowFlags flags = console->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    // Bold captions that fit their buttons whatever face is installed; no default button.
    for (QPushButton* button : console->findChildren<QPushButton*>()) {
        QVERIFY(button->font().bold() && button->font().pointSizeF() <= 9.75);
        QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width(),
                 qPrintable(button->text()));
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    for (QLabel* hint : {console->Label1, console->Label2}) {
        QCOMPARE(hint->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(hint->textFormat(), Qt::PlainText);
    }

    // Load: the basic list on its first item, the "[CR]" hint only, all lists in one place.
    QVERIFY(console->Combo1->isVisible());
    QVERIFY(!console->Combo2->isVisible() && !console->Combo3->isVisible());
    QCOMPARE(console->Combo1->currentText(), QStringLiteral("C00[CR]     :POWER ON"));
    QCOMPARE(console->Text1->text(), QStringLiteral("C00[CR]"));
    QCOMPARE(console->ConsoleCommand, QByteArray("C00\r"));
    QVERIFY(console->Label2->isVisible() && !console->Label1->isVisible());
    for (QComboBox* list : {console->Combo1, console->Combo2, console->Combo3})
        QCOMPARE(list->y(), 1560 / 15);
    QVERIFY(console->Combo1->geometry().bottom() < console->height());
    // Unsorted catalogue lists; the set and read lists' edit parts show their names.
    QCOMPARE(console->Combo2->count(), Catalogue::count(CatalogueList::Set));
    QCOMPARE(console->Combo3->itemText(148), Catalogue::items(CatalogueList::Read).at(148));
    QVERIFY(!console->Combo1->isEditable());
    QCOMPARE(console->Combo2->currentText(), QStringLiteral("Combo2"));
    QCOMPARE(console->Combo3->currentText(), QStringLiteral("Combo3"));
    // The panel's side of opening: status frame hidden, longer reply and display windows.
    QVERIFY(!frame15Shown());
    QCOMPARE(panel().Timer2.interval(), 7000);
    QCOMPARE(panel().Timer4.interval(), 7500);
}

void TestConsole::tabOrderAndFocus()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    QCOMPARE(QApplication::focusWidget(), console->Combo1);
    const QStringList expected = {"Combo1",   "Command1", "Command2", "Command3", "Text1",
                                  "Command4", "Command5", "Combo2",   "Combo3"};
    QStringList order;
    QWidget* widget = console->Combo1;
    do {
        if (expected.contains(widget->objectName()) && !order.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != console->Combo1);
    QCOMPARE(order, expected);
}

void TestConsole::listButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("textBox");
    QTest::newRow("Expand Command List") << "Command4" << 2 << "CF CONT UP[CR]";
    QTest::newRow("Expand Read Command List") << "Command5" << 3 << "CR CONT[CR]";
    QTest::newRow("Basic Command List") << "Command3" << 1 << "C00[CR]";
}

void TestConsole::listButtons()
{
    QFETCH(QString, button);
    QFETCH(int, shown);
    QFETCH(QString, textBox);

    Form3* console = openConsole();
    QComboBox* lists[] = {console->Combo1, console->Combo2, console->Combo3};
    // Every list elsewhere and both hints hidden: a list button starts over at item 0.
    for (QComboBox* list : lists)
        list->setCurrentIndex(5);
    console->Text1->setText(QStringLiteral("C01"));
    console->Command1->click();
    QCOMPARE(sent("C01\r"), QByteArray("C01\r"));
    QVERIFY(!console->Label2->isVisible());

    QTest::mouseClick(console->findChild<QPushButton*>(button), Qt::LeftButton);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lists[i]->isVisible(), i + 1 == shown);
    QCOMPARE(lists[shown - 1]->currentIndex(), 0);
    QCOMPARE(console->Text1->text(), textBox);
    QCOMPARE(console->ConsoleCommand, textBox.chopped(4).toLatin1() + '\r');
    QVERIFY(console->Label2->isVisible());
}

void TestConsole::choosingItems_data()
{
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("textBox");

    QTest::newRow("basic POWER OFF") << 1 << 1 << "C01[CR]";
    QTest::newRow("set, marker without closing bracket")
        << 2 << setItemWith("CF INPUT2 DIGITAL[CR") << "CF INPUT2 DIGITAL[CR]";
    QTest::newRow("set, placeholders sent unchanged") << 2 << 2 << "CF CONT 0%%[CR]";
    QTest::newRow("read BRIGHT") << 3 << 1 << "CR BRIGHT[CR]";
}

void TestConsole::choosingItems()
{
    QFETCH(int, list);
    QFETCH(int, position);
    QFETCH(QString, textBox);

    Form3* console = openConsole();
    QPushButton* buttons[] = {console->Command3, console->Command4, console->Command5};
    QComboBox* combo =
        QList<QComboBox*>{console->Combo1, console->Combo2, console->Combo3}.at(list - 1);
    buttons[list - 1]->click();
    const QByteArray itemZero = console->ConsoleCommand;
    console->Command1->click(); // hides the hints
    QCOMPARE(sent(itemZero), itemZero);

    choose(combo, position);
    QCOMPARE(combo->currentIndex(), position);
    QCOMPARE(console->Text1->text(), textBox);
    const QByteArray command = textBox.chopped(4).toLatin1() + '\r';
    QCOMPARE(console->ConsoleCommand, command);
    QVERIFY(console->Label2->isVisible());
    if (combo->isEditable())
        QCOMPARE(combo->currentText(), combo->objectName());
    console->Command1->click();
    QCOMPARE(sent(command), command);
}

void TestConsole::parameterHint()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    console->Command4->click();
    // No placeholder in its command, but "%1" in its description.
    const int input1 = setItemWith("CF INPUT1 DIGITAL[CR]");
    choose(console->Combo2, input1);
    QVERIFY(console->Label1->isVisible());
    QCOMPARE(QApplication::focusWidget(), console->Text1);
    QCOMPARE(console->ConsoleCommand, QByteArray("CF INPUT1 DIGITAL\r"));

    // Basic and read lists leave the "%" hint as it was, by button and by choice.
    console->Command5->click();
    choose(console->Combo3, 4);
    console->Command3->click();
    choose(console->Combo1, 3);
    QVERIFY(console->Label1->isVisible());
    // Without "%" the set list takes the hint away and leaves the focus where it is.
    console->Command4->click();
    QVERIFY(!console->Label1->isVisible());
    console->Combo2->setFocus();
    choose(console->Combo2, input1);
    QVERIFY(console->Label1->isVisible());
    console->Combo2->setFocus();
    choose(console->Combo2, input1 + 1);
    QVERIFY(!console->Label1->isVisible());
    QCOMPARE(QApplication::focusWidget(), console->Combo2);
}

void TestConsole::arrowKeysStepThroughSetList()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    console->Command4->click();
    console->Combo2->setFocus();
    const QStringList items = Catalogue::items(CatalogueList::Set);
    const int firstWithParameter = setItemWith("%");
    for (int position = 1; position <= firstWithParameter; ++position) {
        QCOMPARE(QApplication::focusWidget(), console->Combo2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(console->Text1->text(), items[position].section('[', 0, 0) + "[CR]");
        QCOMPARE(console->Combo2->currentText(), QStringLiteral("Combo2"));
        QCOMPARE(console->Label1->isVisible(), position == firstWithParameter);
    }
    // The focus went to the text box, which ends the stepping.
    QCOMPARE(QApplication::focusWidget(), console->Text1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(console->Combo2->currentIndex(), firstWithParameter);
}

void TestConsole::editPartOfListsChangesNothing()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    console->Command5->click();
    QLineEdit* editPart = console->Combo3->lineEdit();
    console->Combo3->setFocus();
    editPart->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("CR BRIGHT"));
    QCOMPARE(editPart->text(), QStringLiteral("CR BRIGHT"));
    // Not even another item's exact text (pasted, tabs and all) chooses it: neither Enter,
    // to the list or to its edit part, nor leaving the edit part.
    editPart->setText(console->Combo3->itemText(7));
    for (QWidget* target : {QApplication::focusWidget(), static_cast<QWidget*>(editPart)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != console->Combo3);
    QCOMPARE(console->Combo3->currentIndex(), 0);
    QCOMPARE(console->Combo3->currentText(), QStringLiteral("Combo3"));
    QCOMPARE(console->Combo3->count(), Catalogue::count(CatalogueList::Read));
    QCOMPARE(console->ConsoleCommand, QByteArray("CR CONT\r"));
    QCOMPARE(m_pty->drain(100), QByteArray());
}

void TestConsole::textBoxDrivesCommand()
{
    Form3* console = openConsole();
    const struct
    {
        const char* typed;
        QByteArray wire;
    } rows[] = {{"C00[CR]xyz", "C00\r"}, {"CF ANY 12", "CF ANY 12\r"}, {"", "\r"}};
    for (const auto& row : rows) {
        console->Text1->selectAll();
        QTest::keyClick(console->Text1, Qt::Key_Delete);
        QTest::keyClicks(console->Text1, QString::fromLatin1(row.typed));
        // The change step never rewrites the text box.
        QCOMPARE(console->Text1->text(), QString::fromLatin1(row.typed));
        console->Command1->click();
        QCOMPARE(sent(row.wire), row.wire);
    }
}

void TestConsole::sendWithAndWithoutPrefix_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("single projector") << QByteArray();
    QTest::newRow("address 002") << QByteArray("A002");
}

void TestConsole::sendWithAndWithoutPrefix()
{
    QFETCH(QByteArray, prefix);

    Form3* console = openConsole();
    panel().AddressPrefix = prefix;
    console->Command5->click();
    // SEND again without editing: the same bytes, the prefix once each time.
    const QByteArray wire = prefix + "CR CONT\r";
    for (int press = 0; press < 2; ++press) {
        QTest::mouseClick(console->Command1, Qt::LeftButton);
        QCOMPARE(sent(wire), wire);
        QCOMPARE(console->ConsoleCommand, QByteArray("CR CONT\r"));
        QCOMPARE(console->Text1->text(), QStringLiteral("CR CONT[CR]"));
        QVERIFY(!console->Label1->isVisible() && !console->Label2->isVisible());
    }
    QCOMPARE(m_pty->drain(100), QByteArray());
}

void TestConsole::sendRestartsPanelTimers()
{
    Form3* console = openConsole();
    console->Command1->click();
    QCOMPARE(sent("C00\r"), QByteArray("C00\r"));
    // Both countdowns run down a little; the next SEND starts each over in full.
    QTRY_VERIFY(panel().Timer2.remainingTime() < 6700 && panel().Timer4.remainingTime() < 7200);
    console->Command1->click();
    QVERIFY(panel().Timer2.isActive() && panel().Timer4.isActive());
    QVERIFY(panel().Timer2.remainingTime() > 6900);
    QVERIFY(panel().Timer4.remainingTime() > 7400);
    QCOMPARE(panel().Timer2.interval(), 7000);
    QCOMPARE(panel().Timer4.interval(), 7500);
}

void TestConsole::enterAndEscapeDoNothing()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    for (QWidget* target : std::initializer_list<QWidget*>{console->Combo1, console->Command1,
                                                           console->Command2, console->Text1}) {
        target->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(QApplication::focusWidget(), key);
    }
    QCOMPARE(m_pty->drain(150), QByteArray());
    QVERIFY(console->isVisible());
    QCOMPARE(panel().console(), static_cast<QWidget*>(console));
}

void TestConsole::closingRestoresPanel_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("CLOSE button") << false;
    QTest::newRow("title bar close box") << true;
}

void TestConsole::closingRestoresPanel()
{
    QFETCH(bool, closeBox);

    QPointer<Form3> console(openConsole());
    QVERIFY(QTest::qWaitForWindowExposed(console));
    console->Command4->click();
    QVERIFY(!panel().isVisible());
    if (closeBox)
        console->windowHandle()->close();
    else
        QTest::mouseClick(console->Command2, Qt::LeftButton);

    QVERIFY(console.isNull() || !console->isVisible());
    QVERIFY(panel().isVisible());
    QVERIFY(frame15Shown());
    QCOMPARE(panel().Timer2.interval(), 1000);
    QCOMPARE(panel().Timer4.interval(), 1200);
    QTRY_VERIFY(console.isNull());

    // Opening again gives a fresh console; a second press only brings it forward.
    Form3* again = openConsole();
    QVERIFY(again && again->Combo1->isVisible() && !again->Combo2->isVisible());
    QCOMPARE(again->Text1->text(), QStringLiteral("C00[CR]"));
    QCOMPARE(again->ConsoleCommand, QByteArray("C00\r"));
    again->Command5->click();
    QCOMPARE(openConsole(), again);
    QVERIFY(again->Combo3->isVisible());
}

void TestConsole::panelDiscardingConsoleRunsNoCloseSteps()
{
    QPointer<Form3> console(openConsole());
    QVERIFY(QTest::qWaitForWindowActive(console));
    // An item's text left in a list's edit part is looked up as the window goes; it must not
    // reach the handlers of a console being destroyed.
    console->Command5->click();
    console->Combo3->setFocus();
    console->Combo3->lineEdit()->setText(console->Combo3->itemText(7));

    panel().close();
    QVERIFY(console.isNull());
    QVERIFY(!panel().isVisible());
    QVERIFY(!frame15Shown());
    QCOMPARE(panel().Timer2.interval(), 7000);
    QCOMPARE(panel().Timer4.interval(), 7500);
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
