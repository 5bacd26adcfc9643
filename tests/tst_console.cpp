#include "console/catalogue.h"
#include "console/form3.h"
#include "link/form1.h"
#include "settings/portsettings.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

using namespace zuno;

namespace {

constexpr int kPort = 9;

// The position of the first item of a list whose text contains the given piece.
int positionOf(CatalogueList list, const QString& piece)
{
    const QStringList items = Catalogue::items(list);
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].contains(piece))
            return i;
    }
    return -1;
}

// Chooses a list item the way the operator does: open the drop-down, move to the item and
// take it with Enter.
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

// The console against the real panel, its real transmit routine and a pseudo-terminal.
class TestConsole : public QObject
{
    Q_OBJECT

    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<Form1> m_panel;

    Form1& panel() { return *m_panel; }
    // Opens the console the way the panel's "Command Table" button does.
    Form3* openConsole()
    {
        panel().button(QStringLiteral("Command74"))->click();
        return panel().console();
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init();
    void cleanup();

    void windowAndControls_data();
    void windowAndControls();
    void tabOrderAndFocus();
    void loadState();
    void listButtons_data();
    void listButtons();
    void choosingItems_data();
    void choosingItems();
    void parameterHintMovesFocus();
    void hintsAcrossListSwitches();
    void arrowKeysStepThroughSetList();
    void editPartOfListsChangesNothing();
    void textBoxDrivesCommand_data();
    void textBoxDrivesCommand();
    void sendWritesCommand_data();
    void sendWritesCommand();
    void sendRestartsPanelTimers();
    void enterAndEscapeDoNothing();
    void closingRestoresPanel_data();
    void closingRestoresPanel();
    void panelDeletingConsoleRunsNoCloseSteps();
    void reopeningStartsFresh();
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

void TestConsole::windowAndControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("pixels");

    // Twips from the window's design, 15 to a pixel; the lists all sit at top 1560 once loaded.
    const struct
    {
        const char* name;
        const char* text;
        int left, top, width, height;
    } rows[] = {
        {"Command3", "Basic Command List", 120, 120, 2415, 375},
        {"Command4", "Expand Command List", 2760, 120, 2655, 375},
        {"Command5", "Expand Read Command List", 5760, 120, 3015, 375},
        {"Text1", "", 120, 720, 8655, 300},
        {"Command1", "SEND", 9000, 680, 855, 375},
        {"Command2", "CLOSE", 9000, 1320, 855, 375},
        {"Label2", "[CR] :Carriage Return Code (0x0D)", 240, 1200, 3975, 300},
        {"Label1", "% :Parameter (0-9).", 4560, 1200, 2895, 300},
        {"Combo1", "", 120, 1560, 5055, 300},
        {"Combo2", "", 120, 1560, 8655, 300},
        {"Combo3", "", 120, 1560, 8655, 300},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.name) << row.name << row.text
                                << QRect(row.left / 15, row.top / 15, row.width / 15,
                                         row.height / 15);
    }
}

void TestConsole::windowAndControls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, pixels);

    Form3* console = openConsole();
    QVERIFY(console);
    QCOMPARE(console->windowTitle(), QStringLiteral("Command List"));
    QCOMPARE(console->size(), QSize(10005 / 15, 2020 / 15));
    QCOMPARE(console->minimumSize(), console->maximumSize());
    const Qt::WindowFlags flags = console->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!console->isModal());

    QWidget* control = console->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), pixels);
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), text);
        QVERIFY(!button->isDefault() && !button->autoDefault());
        // Bold 9.75 points, or narrower where the installed face would cut the caption off.
        QVERIFY(button->font().bold());
        QVERIFY(button->font().pointSizeF() <= 9.75);
        QVERIFY(QFontMetrics(button->font()).horizontalAdvance(text) < pixels.width());
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(label->font().bold());
        QCOMPARE(label->font().pointSizeF(), 9.75);
        QVERIFY(QFontMetrics(label->font()).horizontalAdvance(text) <= pixels.width());
    }
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

    // Tab walks the visible controls from the basic list on.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), console->Command1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), console->Command2);
}

void TestConsole::loadState()
{
    QVERIFY(panel().Frame15()->isVisibleTo(&panel()));
    Form3* console = openConsole();
    QVERIFY(console->isVisible());
    QVERIFY(console->Combo1->isVisible());
    QVERIFY(!console->Combo2->isVisible() && !console->Combo3->isVisible());
    QCOMPARE(console->Combo1->currentIndex(), 0);
    QCOMPARE(console->Combo1->currentText(), QStringLiteral("C00[CR]     :POWER ON"));
    QCOMPARE(console->Text1->text(), QStringLiteral("C00[CR]"));
    QCOMPARE(console->ConsoleCommand, QByteArray("C00\r"));
    QVERIFY(console->Label2->isVisible());
    QVERIFY(!console->Label1->isVisible());
    // The lists hold the catalogue unsorted; the set and read lists' edit parts show their name.
    QCOMPARE(console->Combo1->count(), Catalogue::count(CatalogueList::Basic));
    QCOMPARE(console->Combo2->count(), Catalogue::count(CatalogueList::Set));
    QCOMPARE(console->Combo3->count(), Catalogue::count(CatalogueList::Read));
    QCOMPARE(console->Combo2->itemText(799), Catalogue::items(CatalogueList::Set).at(799));
    QVERIFY(!console->Combo1->isEditable());
    QCOMPARE(console->Combo2->currentText(), QStringLiteral("Combo2"));
    QCOMPARE(console->Combo3->currentText(), QStringLiteral("Combo3"));
    // The panel's opening steps: status frame hidden, longer reply and display windows.
    QVERIFY(!panel().Frame15()->isVisibleTo(&panel()));
    QCOMPARE(panel().Timer2.interval(), 7000);
    QCOMPARE(panel().Timer4.interval(), 7500);
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
    // Leave every list somewhere else first: a list button always starts its list at item 0.
    for (QComboBox* list : lists)
        list->setCurrentIndex(5);
    console->Text1->setText(QStringLiteral("C01"));
    console->Command1->click();
    QCOMPARE(m_pty->read(2000, 4), QByteArray("C01\r"));
    QVERIFY(!console->Label2->isVisible());

    QTest::mouseClick(console->findChild<QPushButton*>(button), Qt::LeftButton);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lists[i]->isVisible(), i + 1 == shown);
    QComboBox* list = lists[shown - 1];
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(console->Text1->text(), textBox);
    QCOMPARE(console->ConsoleCommand, textBox.chopped(4).toLatin1() + '\r');
    QVERIFY(console->Label2->isVisible());
    if (list->isEditable())
        QCOMPARE(list->currentText(), list->objectName());
}

void TestConsole::choosingItems_data()
{
    QTest::addColumn<int>("listNumber");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("textBox");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("basic POWER OFF") << 1 << "C01[CR]"
                                     << "C01[CR]" << QByteArray("C01\r");
    QTest::newRow("basic, last item") << 1 << QString() << QString() << QByteArray();
    QTest::newRow("set, marker without closing bracket")
        << 2 << "CF INPUT2 DIGITAL[CR"
        << "CF INPUT2 DIGITAL[CR]" << QByteArray("CF INPUT2 DIGITAL\r");
    QTest::newRow("set, placeholders sent unchanged")
        << 2 << "CF CONT 0%%"
        << "CF CONT 0%%[CR]" << QByteArray("CF CONT 0%%\r");
    QTest::newRow("read BRIGHT with description") << 3 << "CR BRIGHT[CR]"
                                                  << "CR BRIGHT[CR]" << QByteArray("CR BRIGHT\r");
    QTest::newRow("read, last item") << 3 << QString() << QString() << QByteArray();
}

void TestConsole::choosingItems()
{
    QFETCH(int, listNumber);
    QFETCH(QString, piece);
    QFETCH(QString, textBox);
    QFETCH(QByteArray, command);

    Form3* console = openConsole();
    QPushButton* listButtons[] = {console->Command3, console->Command4, console->Command5};
    QComboBox* lists[] = {console->Combo1, console->Combo2, console->Combo3};
    const CatalogueList catalogueLists[] = {CatalogueList::Basic, CatalogueList::Set,
                                            CatalogueList::Read};
    QComboBox* list = lists[listNumber - 1];
    const CatalogueList catalogueList = catalogueLists[listNumber - 1];

    int position = Catalogue::count(catalogueList) - 1;
    if (!piece.isEmpty())
        position = positionOf(catalogueList, piece);
    QVERIFY(position > 0);
    const QByteArray raw = Catalogue::item(catalogueList, position);
    if (piece.isEmpty()) {
        textBox = QString::fromLatin1(raw.left(raw.indexOf('['))) + "[CR]";
        command = raw.left(raw.indexOf('[')) + '\r';
    }

    listButtons[listNumber - 1]->click();
    const QByteArray itemZero = console->ConsoleCommand;
    console->Command1->click(); // hides the hints
    QCOMPARE(m_pty->read(2000, itemZero.size()), itemZero);
    QVERIFY(!console->Label2->isVisible());

    choose(list, position);
    QCOMPARE(list->currentIndex(), position);
    QCOMPARE(console->Text1->text(), textBox);
    QCOMPARE(console->ConsoleCommand, command);
    QVERIFY(console->Label2->isVisible());
    if (list->isEditable())
        QCOMPARE(list->currentText(), list->objectName());

    console->Command1->click();
    QCOMPARE(m_pty->read(2000, command.size()), command);
}

void TestConsole::parameterHintMovesFocus()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    console->Command4->click();
    QVERIFY(!console->Label1->isVisible());

    // Its command has no placeholder, but its description holds "%1".
    const int position = positionOf(CatalogueList::Set, QStringLiteral("CF INPUT1 DIGITAL[CR]"));
    QVERIFY(position > 0);
    choose(console->Combo2, position);
    QVERIFY(console->Label1->isVisible());
    QVERIFY(console->Label2->isVisible());
    QCOMPARE(QApplication::focusWidget(), console->Text1);
    QCOMPARE(console->Text1->text(), QStringLiteral("CF INPUT1 DIGITAL[CR]"));
    QCOMPARE(console->ConsoleCommand, QByteArray("CF INPUT1 DIGITAL\r"));

    // An item without "%" takes the hint away and leaves the focus where it is.
    console->Combo2->setFocus();
    choose(console->Combo2, position + 1);
    QVERIFY(!Catalogue::items(CatalogueList::Set).at(position + 1).contains('%'));
    QVERIFY(!console->Label1->isVisible());
    QCOMPARE(QApplication::focusWidget(), console->Combo2);
}

void TestConsole::hintsAcrossListSwitches()
{
    Form3* console = openConsole();
    console->Command4->click();
    choose(console->Combo2, positionOf(CatalogueList::Set, QStringLiteral("%")));
    QVERIFY(console->Label1->isVisible());

    // Basic and read lists leave the "%" hint as it was, by button and by choice.
    console->Command5->click();
    QVERIFY(console->Label1->isVisible());
    choose(console->Combo3, 4);
    QVERIFY(console->Label1->isVisible());
    console->Command3->click();
    QVERIFY(console->Label1->isVisible());
    choose(console->Combo1, 3);
    QVERIFY(console->Label1->isVisible());
    // The set list's first item has no "%".
    console->Command4->click();
    QVERIFY(!console->Label1->isVisible());
    QVERIFY(console->Label2->isVisible());
}

void TestConsole::arrowKeysStepThroughSetList()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    console->Command4->click();
    console->Combo2->setFocus();
    const QStringList items = Catalogue::items(CatalogueList::Set);
    const int firstWithParameter = positionOf(CatalogueList::Set, QStringLiteral("%"));
    QVERIFY(firstWithParameter > 1);

    for (int position = 1; position <= firstWithParameter; ++position) {
        QCOMPARE(QApplication::focusWidget(), console->Combo2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(console->Combo2->currentIndex(), position);
        QCOMPARE(console->Text1->text(), QString(items[position].section('[', 0, 0) + "[CR]"));
        QCOMPARE(console->Combo2->currentText(), QStringLiteral("Combo2"));
        QCOMPARE(console->Label1->isVisible(), position == firstWithParameter);
    }
    // The focus went to the text box: further arrow keys no longer step the list.
    QCOMPARE(QApplication::focusWidget(), console->Text1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(console->Combo2->currentIndex(), firstWithParameter);
}

void TestConsole::editPartOfListsChangesNothing()
{
    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowActive(console));
    console->Command5->click();
    const QString readItem = console->Combo3->itemText(7);
    QLineEdit* editPart = console->Combo3->lineEdit();
    QVERIFY(editPart);
    console->Combo3->setFocus();
    editPart->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("CR BRIGHT"));
    QCOMPARE(editPart->text(), QStringLiteral("CR BRIGHT"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // Nor does the exact text of another item (pasted, tabs and all), neither with Enter nor
    // by leaving the edit part.
    editPart->setText(readItem);
    for (QWidget* target : {QApplication::focusWidget(), static_cast<QWidget*>(editPart)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    QCOMPARE(console->Combo3->currentIndex(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != console->Combo3);
    QCOMPARE(console->Combo3->currentIndex(), 0);
    QCOMPARE(console->Combo3->currentText(), QStringLiteral("Combo3"));
    QCOMPARE(console->Combo3->count(), Catalogue::count(CatalogueList::Read));
    QCOMPARE(console->Text1->text(), QStringLiteral("CR CONT[CR]"));
    QCOMPARE(console->ConsoleCommand, QByteArray("CR CONT\r"));
    QCOMPARE(m_pty->drain(100), QByteArray());

    // The same text left in the edit part when the panel discards the console must not
    // reach a handler of a console being destroyed.
    console->Combo3->setFocus();
    editPart->setText(readItem);
    QPointer<Form3> watch(console);
    panel().close();
    QVERIFY(watch.isNull());
}

void TestConsole::textBoxDrivesCommand_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("marker removed") << "C00" << QByteArray("C00\r");
    QTest::newRow("characters after the marker") << "C00[CR]xyz" << QByteArray("C00\r");
    QTest::newRow("begins with a bracket") << "[abc" << QByteArray("\r");
    QTest::newRow("emptied") << "" << QByteArray("\r");
    QTest::newRow("command in no list") << "CF ANYTHING 12[CR]" << QByteArray("CF ANYTHING 12\r");
}

void TestConsole::textBoxDrivesCommand()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, wire);

    Form3* console = openConsole();
    console->Text1->setFocus();
    console->Text1->selectAll();
    QTest::keyClick(console->Text1, Qt::Key_Delete);
    QTest::keyClicks(console->Text1, typed);
    // The text box is never rewritten by its own change step.
    QCOMPARE(console->Text1->text(), typed);
    QCOMPARE(console->ConsoleCommand, wire);
    console->Command1->click();
    QCOMPARE(m_pty->read(2000, wire.size()), wire);
}

void TestConsole::sendWritesCommand_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("single projector, no prefix") << QByteArray();
    QTest::newRow("address 002") << QByteArray("A002");
    QTest::newRow("all projectors") << QByteArray("AFFF");
}

void TestConsole::sendWritesCommand()
{
    QFETCH(QByteArray, prefix);

    Form3* console = openConsole();
    panel().AddressPrefix = prefix;
    console->Command5->click();
    const QByteArray wire = prefix + "CR CONT\r";
    // Pressing SEND again without editing transmits the same bytes, the prefix once each time.
    for (int press = 0; press < 2; ++press) {
        QTest::mouseClick(console->Command1, Qt::LeftButton);
        QCOMPARE(m_pty->read(2000, wire.size()), wire);
        QCOMPARE(console->ConsoleCommand, QByteArray("CR CONT\r"));
        QCOMPARE(console->Text1->text(), QStringLiteral("CR CONT[CR]"));
        QVERIFY(!console->Label1->isVisible());
        QVERIFY(!console->Label2->isVisible());
    }
    QCOMPARE(m_pty->drain(100), QByteArray());
    QCOMPARE(panel().AwaitingReply, 1);
}

void TestConsole::sendRestartsPanelTimers()
{
    Form3* console = openConsole();
    console->Command1->click();
    QCOMPARE(m_pty->read(2000, 4), QByteArray("C00\r"));
    QVERIFY(panel().Timer2.isActive() && panel().Timer4.isActive());
    // Let both countdowns run down a little, then send again: each starts over in full.
    QTRY_VERIFY(panel().Timer2.remainingTime() < 6700 && panel().Timer4.remainingTime() < 7200);
    console->Command1->click();
    QCOMPARE(m_pty->read(2000, 4), QByteArray("C00\r"));
    QVERIFY(panel().Timer2.isActive() && panel().Timer4.isActive());
    QCOMPARE(panel().Timer2.interval(), 7000);
    QCOMPARE(panel().Timer4.interval(), 7500);
    QVERIFY(panel().Timer2.remainingTime() > 6900);
    QVERIFY(panel().Timer4.remainingTime() > 7400);

    // A stopped timer starts as well.
    panel().Timer2.stop();
    panel().Timer4.stop();
    console->Command1->click();
    QVERIFY(panel().Timer2.isActive() && panel().Timer4.isActive());
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
        QVERIFY2(console->isVisible(), qPrintable(target->objectName()));
    }
    QCOMPARE(m_pty->drain(150), QByteArray());
    QCOMPARE(panel().console(), console);
    QVERIFY(!panel().Frame15()->isVisibleTo(&panel()));
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

    Form3* console = openConsole();
    QVERIFY(QTest::qWaitForWindowExposed(console));
    console->Command1->click();
    QCOMPARE(m_pty->read(2000, 4), QByteArray("C00\r"));
    QVERIFY(!panel().isVisible());
    QPointer<Form3> watch(console);

    if (closeBox)
        console->windowHandle()->close();
    else
        QTest::mouseClick(console->Command2, Qt::LeftButton);

    QVERIFY(watch.isNull() || !watch->isVisible());
    QVERIFY(panel().isVisible());
    QVERIFY(panel().Frame15()->isVisible());
    QCOMPARE(panel().Timer2.interval(), 1000);
    QCOMPARE(panel().Timer4.interval(), 1200);
    QTRY_VERIFY(watch.isNull());
    QVERIFY(!panel().console());
}

void TestConsole::panelDeletingConsoleRunsNoCloseSteps()
{
    QPointer<Form3> console(openConsole());
    QVERIFY(console);
    // The panel's own close discards the console directly; the panel is not brought back.
    panel().close();
    QVERIFY(console.isNull());
    QVERIFY(!panel().isVisible());
    QVERIFY(!panel().Frame15()->isVisibleTo(&panel()));
    QCOMPARE(panel().Timer2.interval(), 7000);
    QCOMPARE(panel().Timer4.interval(), 7500);
}

void TestConsole::reopeningStartsFresh()
{
    Form3* first = openConsole();
    first->Command4->click();
    choose(first->Combo2, positionOf(CatalogueList::Set, QStringLiteral("%")));
    first->Text1->setText(QStringLiteral("CF CONT 042"));
    QPointer<Form3> watch(first);
    first->Command2->click();
    QTRY_VERIFY(watch.isNull());

    Form3* second = openConsole();
    QVERIFY(second);
    QVERIFY(second->Combo1->isVisible());
    QVERIFY(!second->Combo2->isVisible());
    QCOMPARE(second->Combo1->currentIndex(), 0);
    QCOMPARE(second->Combo2->currentIndex(), 0);
    QCOMPARE(second->Text1->text(), QStringLiteral("C00[CR]"));
    QCOMPARE(second->ConsoleCommand, QByteArray("C00\r"));
    QVERIFY(second->Label2->isVisible());
    QVERIFY(!second->Label1->isVisible());

    // A second "Command Table" press while open only brings the same console forward.
    second->Command5->click();
    QCOMPARE(openConsole(), second);
    QVERIFY(second->Combo3->isVisible());
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
