#include "core/catalogue.h"
#include "testing/fakepanel.h"
#include "testing/testsupport.h"
#include "ui/commandconsole.h"

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

// The command console, opened by the "Command Table" button of a panel on a fake line.
class TestConsole : public QObject
{
    Q_OBJECT
    std::unique_ptr<FakePanel> m_panel;
    QPointer<CommandConsole> m_console;

    CommandConsole* openConsole()
    {
        QTest::mouseClick(m_panel->button(PanelButton::CommandTable), Qt::LeftButton);
        return openWindow<CommandConsole>("commandConsole");
    }
    // What the console changes on the panel: the status frame, the reply and display times.
    QString panelState() const
    {
        const bool status = m_panel->window.controls().statusFrame->isVisibleTo(&m_panel->window);
        return QStringLiteral("%1 %2/%3")
            .arg(status ? "status" : "no status")
            .arg(m_panel->session.exchange().replyTimer().interval())
            .arg(m_panel->session.exchange().displayClearTimer().interval());
    }
    // What one press of SEND puts on the line.
    QList<QByteArray> send()
    {
        m_panel->link.writes.clear();
        QTest::mouseClick(m_console->sendButton, Qt::LeftButton);
        return m_panel->link.writes;
    }
    QList<QComboBox*> lists() const
    {
        return {m_console->basicList, m_console->setList, m_console->readList};
    }
    // What the edit parts of the set and read lists show until an item is chosen.
    static QString nameOfList(int list) { return list == 1 ? "Combo2" : "Combo3"; }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init()
    {
        TempStore::clear();
        m_panel = std::make_unique<FakePanel>();
        m_panel->link.open(9, 9600);
        m_panel->window.show();
        m_console = openConsole();
        QVERIFY(QTest::qWaitForWindowActive(m_console));
    }
    void cleanup() { m_panel.reset(); }

    // The console opens beside the panel, not modal, on the basic list's first item, every list
    // filled and inside the window. Closing it, by CLOSE or by the close box, gives the panel
    // back its status frame and timing and discards the console; while it is open, a second
    // press only brings it forward.
    void openAndClose()
    {
        QVERIFY(!m_console->isModal() && m_panel->window.isVisible());
        QCOMPARE(panelState(), "no status 7000/7500");
        QCOMPARE(QApplication::focusWidget(), m_console->basicList);
        QCOMPARE(m_console->commandBox->text(), QStringLiteral("C00[CR]"));
        QVERIFY(m_console->crHint->isVisible() && !m_console->parameterHint->isVisible());
        for (int l = 0; l < 3; ++l) {
            QCOMPARE(lists()[l]->isVisible(), l == 0);
            QCOMPARE(lists()[l]->count(), Catalogue::count(CatalogueList(l)));
            QVERIFY(lists()[l]->geometry().bottom() < m_console->height());
            QVERIFY(l == 0 || lists()[l]->currentText() == nameOfList(l));
        }
        QTest::mouseClick(m_console->closeButton, Qt::LeftButton);
        QCOMPARE(panelState(), "status 1000/1200");
        QTRY_VERIFY(m_console.isNull());

        m_console = openConsole();
        QTest::mouseClick(m_console->readListButton, Qt::LeftButton);
        QVERIFY(openConsole() == m_console && m_console->readList->isVisible());
        m_panel->window.hide();
        m_console->windowHandle()->close();
        QVERIFY(m_panel->window.isVisible());
        QCOMPARE(panelState(), "status 1000/1200");
        QTRY_VERIFY(m_console.isNull());
    }

    // A list button shows its list alone, back on its first item, with the "[CR]" hint;
    // choosing an item puts its command into the text box, and SEND sends it. The set and read
    // lists show the chosen item, as a drop-down combo does.
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
        for (QComboBox* combo : lists())
            combo->setCurrentIndex(5);
        m_console->commandBox->clear();
        QCOMPARE(send(), QList<QByteArray>{"\r"}); // hides the "[CR]" hint
        QTest::mouseClick(QList<QPushButton*>{m_console->basicListButton, m_console->setListButton,
                                              m_console->readListButton}[list],
                          Qt::LeftButton);
        for (int l = 0; l < 3; ++l)
            QCOMPARE(lists()[l]->isVisible(), l == list);
        QComboBox* shown = lists()[list];
        QCOMPARE(m_console->commandBox->text(), shown->itemText(0).section(u'[', 0, 0) + "[CR]");
        QVERIFY(m_console->crHint->isVisible());
        choose(shown, position);
        QCOMPARE(m_console->commandBox->text(), chosen);
        QCOMPARE(shown->currentText(), shown->itemText(position));
        QCOMPARE(send(), QList<QByteArray>{chosen.chopped(4).toLatin1() + '\r'});
    }

    // Arrow keys choose set items step by step. "%" anywhere in a set item shows the "%" hint
    // and moves the focus to the text box; a set item without one hides it, the read list
    // leaves it, and SEND hides it.
    void parameterHint()
    {
        const QLabel* hint = m_console->parameterHint;
        QTest::mouseClick(m_console->setListButton, Qt::LeftButton);
        m_console->setList->setFocus();
        QTest::keyClick(m_console->setList, Qt::Key_Down); // "CF CONT DN"
        QVERIFY(!hint->isVisible() && QApplication::focusWidget() == m_console->setList);
        QTest::keyClick(m_console->setList, Qt::Key_Down); // "CF CONT 0%%"
        QVERIFY(hint->isVisible() && QApplication::focusWidget() == m_console->commandBox);
        QTest::mouseClick(m_console->readListButton, Qt::LeftButton);
        choose(m_console->readList, 4);
        QVERIFY(hint->isVisible());
        QTest::mouseClick(m_console->setListButton, Qt::LeftButton);
        QVERIFY(!hint->isVisible());
        choose(m_console->setList, 167); // "%1" in the description only
        QVERIFY(hint->isVisible());
        QCOMPARE(send(), QList<QByteArray>{"CF INPUT1 DIGITAL\r"});
        QVERIFY(!hint->isVisible());
    }

    // Enter and Esc do nothing anywhere; an item's text left in the edit part of the set or
    // read list chooses nothing, by Enter or on leaving, and the item the list button chose
    // (item 0, already current from the start) comes back.
    // Closing the panel then discards the console without its closing steps.
    void keysAndPanelClosing()
    {
        for (const int l : {1, 2}) {
            QComboBox* list = lists()[l];
            QTest::mouseClick(l == 1 ? m_console->setListButton : m_console->readListButton,
                              Qt::LeftButton);
            QCOMPARE(list->currentText(), list->itemText(0));
            const QByteArray command = m_console->commandToSend();
            list->setFocus();
            list->lineEdit()->setText(list->itemText(7));
            for (QWidget* target : std::initializer_list<QWidget*>{
                     list, list->lineEdit(), m_console->basicList, m_console->sendButton,
                     m_console->closeButton, m_console->commandBox}) {
                target->setFocus();
                for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                    QTest::keyClick(target, key);
            }
            QVERIFY(list->currentIndex() == 0 && list->currentText() == list->itemText(0));
            QCOMPARE(m_console->commandToSend(), command);
        }
        QVERIFY(m_panel->link.writes.isEmpty() && m_console->isVisible());

        m_console->readList->setFocus();
        m_console->readList->lineEdit()->setText(m_console->readList->itemText(7));
        m_panel->window.close();
        QVERIFY(m_console.isNull() && !m_panel->window.isVisible());
        QCOMPARE(panelState(), "no status 7000/7500");
    }

    // SEND transmits the text box's command up to its first "[" behind the panel's address,
    // once per press, and never rewrites the text box.
    void sendUsesTheTextBox()
    {
        m_console->commandBox->clear();
        QTest::keyClicks(m_console->commandBox, QStringLiteral("CF ANY 1[CR]xyz"));
        QCOMPARE(send(), QList<QByteArray>{"CF ANY 1\r"});
        QRadioButton* address002 = m_panel->window.controls().addressOptions[3];
        QTest::mouseClick(address002, Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(send(), QList<QByteArray>{"A002CF ANY 1\r"});
        QCOMPARE(send(), QList<QByteArray>{"A002CF ANY 1\r"});
        QCOMPARE(m_console->commandBox->text(), QStringLiteral("CF ANY 1[CR]xyz"));
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
