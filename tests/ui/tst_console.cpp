#include "console/catalogue.h"
#include "console/form3.h"
#include "link/form1.h"
#include "settings/portsettings.h"
#include "testing/testsupport.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

// Chooses an item as the operator does: open the drop-down, go to the item, take it.
static void choose(QComboBox* list, int position)
{
    list->showPopup();
    list->view()->setCurrentIndex(list->model()->index(position, 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
    QTRY_VERIFY(!list->view()->isVisible());
}

// The console against the real panel, its transmit routine and a pseudo-terminal.
class TestConsole : public QObject
{
    Q_OBJECT

    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<Form1> m_panel;

    bool frame15Shown() { return m_panel->Frame15()->isVisibleTo(m_panel.get()); }
    bool timersAre(int reply, int clear)
    {
        return m_panel->Timer2.interval() == reply && m_panel->Timer4.interval() == clear;
    }
    // Opens the console as the panel's "Command Table" button does.
    Form3* openConsole()
    {
        m_panel->button(QStringLiteral("Command74"))->click();
        return qobject_cast<Form3*>(m_panel->console());
    }
    // Presses SEND; true when exactly these bytes arrive on the line.
    bool sends(Form3* console, const QByteArray& wire)
    {
        QTest::mouseClick(console->Command1, Qt::LeftButton);
        return m_pty->read(2000, wire.size()) == wire;
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init()
    {
        TempStore::clear();
        SendText = QByteArray("CR0\r");
        m_pty = std::make_unique<Pty>();
        TempStore::mapPort(9, m_pty->slavePath());
        m_panel = std::make_unique<Form1>();
        m_panel->comm().setCommPort(9);
        QVERIFY(m_panel->comm().setPortOpen(true));
    }
    void cleanup()
    {
        m_panel.reset();
        m_pty.reset();
        // The console never prepares a panel command of its own.
        QCOMPARE(SendText, QByteArray("CR0\r"));
    }

    // Opening hides the status frame and lengthens the panel's timers; the console loads on
    // the basic list's first item, every list filled and inside the cut window. Closing, by
    // CLOSE or by the close box, restores the panel and discards the console; once open again,
    // a second press only brings it forward.
    void openAndClose()
    {
        QPointer<Form3> console(openConsole());
        QVERIFY(QTest::qWaitForWindowActive(console));
        QVERIFY(!console->isModal() && !frame15Shown() && timersAre(7000, 7500));
        QCOMPARE(QApplication::focusWidget(), console->Combo1);
        QVERIFY(console->Text1->text() == "C00[CR]" && console->ConsoleCommand == "C00\r");
        QVERIFY(console->Label2->isVisible() && !console->Label1->isVisible());
        const QList<QComboBox*> lists = {console->Combo1, console->Combo2, console->Combo3};
        for (int l = 0; l < 3; ++l) {
            QCOMPARE(lists[l]->isVisible(), l == 0);
            QCOMPARE(lists[l]->count(), Catalogue::count(CatalogueList(l)));
            QVERIFY(lists[l]->geometry().bottom() < console->height());
            QVERIFY(l == 0 || lists[l]->currentText() == lists[l]->objectName());
        }
        console->Command4->click();
        QTest::mouseClick(console->Command2, Qt::LeftButton);
        QVERIFY(m_panel->isVisible() && frame15Shown() && timersAre(1000, 1200));
        QTRY_VERIFY(console.isNull());

        console = openConsole();
        console->Command5->click();
        QVERIFY(openConsole() == console && console->Combo3->isVisible());
        m_panel->hide();
        console->windowHandle()->close();
        QVERIFY(m_panel->isVisible() && frame15Shown() && timersAre(1000, 1200));
    }

    // A list button shows its list alone, back on item 0, with the "[CR]" hint; choosing an
    // item puts its command in the text box, and SEND sends it.
    void listsAndChoices_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("basic") << 0 << 1 << "C01[CR]";
        QTest::newRow("set, marker without ]") << 1 << 186 << "CF INPUT2 DIGITAL[CR]";
        QTest::newRow("read") << 2 << 1 << "CR BRIGHT[CR]";
    }
    void listsAndChoices()
    {
        QFETCH(int, list);
        QFETCH(int, position);
        QFETCH(QString, chosen);
        Form3* console = openConsole();
        const QList<QComboBox*> lists = {console->Combo1, console->Combo2, console->Combo3};
        for (QComboBox* combo : lists)
            combo->setCurrentIndex(5);
        console->Text1->clear();
        QVERIFY(sends(console, "\r")); // hides the "[CR]" hint
        QList<QPushButton*>{console->Command3, console->Command4, console->Command5}[list]->click();
        for (int l = 0; l < 3; ++l)
            QCOMPARE(lists[l]->isVisible(), l == list);
        QCOMPARE(console->Text1->text(), lists[list]->itemText(0).section('[', 0, 0) + "[CR]");
        QVERIFY(console->Label2->isVisible());
        choose(lists[list], position);
        QCOMPARE(console->Text1->text(), chosen);
        QVERIFY(list == 0 || lists[list]->currentText() == lists[list]->objectName());
        QVERIFY(sends(console, chosen.chopped(4).toLatin1() + '\r'));
    }

    // Arrow keys choose set items step by step. "%" anywhere in a set item shows the "%" hint
    // and moves the focus to the text box; a set item without hides it, the read list leaves
    // it, and SEND hides it.
    void parameterHint()
    {
        Form3* console = openConsole();
        QVERIFY(QTest::qWaitForWindowActive(console));
        console->Command4->click();
        console->Combo2->setFocus();
        QTest::keyClick(console->Combo2, Qt::Key_Down); // "CF CONT DN"
        QVERIFY(!console->Label1->isVisible() && QApplication::focusWidget() == console->Combo2);
        QTest::keyClick(console->Combo2, Qt::Key_Down); // "CF CONT 0%%"
        QVERIFY(console->Label1->isVisible() && QApplication::focusWidget() == console->Text1);
        console->Command5->click();
        choose(console->Combo3, 4);
        QVERIFY(console->Label1->isVisible());
        console->Command4->click();
        QVERIFY(!console->Label1->isVisible());
        choose(console->Combo2, 167); // "%1" in the description only
        QVERIFY(console->Label1->isVisible());
        QVERIFY(sends(console, "CF INPUT1 DIGITAL\r"));
        QVERIFY(!console->Label1->isVisible());
    }

    // Enter and Esc do nothing anywhere; another item's exact text left in a list's edit part
    // chooses nothing, by Enter or on leaving. The panel closing then discards the console
    // without its close steps, even with such a text left in the edit part.
    void keysAndPanelClosing()
    {
        QPointer<Form3> console(openConsole());
        QVERIFY(QTest::qWaitForWindowActive(console));
        console->Command5->click();
        console->Combo3->setFocus();
        console->Combo3->lineEdit()->setText(console->Combo3->itemText(7));
        for (QWidget* target : std::initializer_list<QWidget*>{
                 console->Combo3, console->Combo3->lineEdit(), console->Combo1, console->Command1,
                 console->Command2, console->Text1}) {
            target->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(target, key);
        }
        QVERIFY(console->Combo3->currentIndex() == 0 && console->Combo3->currentText() == "Combo3");
        QCOMPARE(console->Combo3->count(), Catalogue::count(CatalogueList::Read));
        QCOMPARE(console->ConsoleCommand, QByteArray("CR CONT\r"));
        QVERIFY(m_pty->drain(150).isEmpty() && console->isVisible());

        console->Combo3->setFocus();
        console->Combo3->lineEdit()->setText(console->Combo3->itemText(7));
        m_panel->close();
        QVERIFY(console.isNull() && !m_panel->isVisible() && !frame15Shown() &&
                timersAre(7000, 7500));
    }

    // SEND transmits the text box's command as typed up to its first "[", the panel's address
    // prefix once per press; it never rewrites the text box, and starts both panel countdowns
    // over in full.
    void send()
    {
        Form3* console = openConsole();
        console->Text1->clear();
        QTest::keyClicks(console->Text1, QStringLiteral("CF ANY 1[CR]xyz"));
        QVERIFY(sends(console, "CF ANY 1\r"));
        m_panel->AddressPrefix = "A002";
        QTRY_VERIFY(m_panel->Timer2.remainingTime() < 6700 &&
                    m_panel->Timer4.remainingTime() < 7200);
        QVERIFY(sends(console, "A002CF ANY 1\r"));
        QVERIFY(m_panel->Timer2.remainingTime() > 6900 && m_panel->Timer4.remainingTime() > 7400);
        QVERIFY(sends(console, "A002CF ANY 1\r"));
        QCOMPARE(console->Text1->text(), QStringLiteral("CF ANY 1[CR]xyz"));
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
