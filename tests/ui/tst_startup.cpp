#include "testing/fakepanel.h"
#include "testing/testsupport.h"
#include "ui/commandconsole.h"
#include "ui/historywindow.h"
#include "ui/portdialog.h"
#include "ui/retrycomport.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

// What the start-up and the buttons that act on the program (COM, END) look like on screen;
// what they do to the port and the store is the session's, tested without windows.
class TestStartup : public QObject
{
    Q_OBJECT
    QStringList m_messages;
    std::unique_ptr<FakePanel> m_panel;
    QPoint m_shownAt{-1, -1}; // where the panel was when it was first shown

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && m_shownAt.x() < 0)
            m_shownAt = m_panel->window.pos();
        return false;
    }
    void start(const char* file, bool answersLater = false)
    {
        TempStore::writeRaw(file);
        m_panel = std::make_unique<FakePanel>();
        m_panel->link.refusals = {{5, QStringLiteral("gone")}};
        m_panel->link.answersLater = answersLater;
        m_panel->window.installEventFilter(this);
        m_panel->session.start();
    }
    static PortDialog* dialog() { return openWindow<PortDialog>("portDialog"); }
    static void pick(QAbstractButton* option)
    {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, 5));
    }
    // Where it was first shown: centred across the screen (give or take the window frame, which
    // is not known before the window is shown), above its middle, and wholly on it.
    bool placed() const
    {
        const QWidget& window = m_panel->window;
        const QRect screen = window.screen()->geometry();
        const QRect frame = window.frameGeometry();
        const int frameWidth = frame.width() - window.width();
        return m_shownAt == window.pos() &&
               qAbs(frame.center().x() - screen.center().x()) <= frameWidth / 2 + 1 &&
               frame.center().y() < screen.center().y() && screen.contains(frame);
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        m_messages.clear();
        m_shownAt = {-1, -1};
    }
    void cleanup() { m_panel.reset(); }

    // The panel comes compact and placed once its port is open, and not before: at once for a
    // serial port, when the answer comes for a serial device server.
    void panelComesPlacedOnceThePortIsOpen()
    {
        for (const bool later : {false, true}) {
            start("[StartUP]\nComPort=6\n", later);
            QCOMPARE(m_panel->window.isVisible(), !later);
            QVERIFY(!dialog());
            m_panel->link.answerOpen();
            QVERIFY(m_panel->window.isVisible() && placed());
            QCOMPARE(m_panel->window.height(), PanelWindow::compactClientHeight());
            init();
        }
    }

    // When a port must be chosen (none stored, one that refuses at once or later), the port
    // dialog comes alone and modal, with the stored choice selected. Cancel has no earlier port and
    // says so; OK on a port that opens, or the close box, ends the dialog and brings the panel,
    // placed.
    void dialogComesAloneWhenAPortMustBeChosen_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("later");
        QTest::addColumn<bool>("ok");
        QTest::newRow("nothing stored, OK") << QByteArray() << false << true;
        QTest::newRow("refused, close box")
            << QByteArray("[StartUP]\nComPort=5\nBaudRate=96\n") << false << false;
        QTest::newRow("server refuses later, OK")
            << QByteArray("[StartUP]\nComPort=5\nBaudRate=96\n") << true << true;
    }
    void dialogComesAloneWhenAPortMustBeChosen()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, later);
        QFETCH(bool, ok);
        start(file.constData(), later);
        m_panel->link.answerOpen();
        QPointer<PortDialog> shown = dialog();
        QVERIFY(shown && shown->isModal() && !m_panel->window.isVisible());
        QCOMPARE(shown->comOptions[4]->isChecked(), !file.isEmpty());
        QCOMPARE(shown->baud9600Option->isChecked(), !file.isEmpty());
        QTest::mouseClick(shown->cancelButton, Qt::LeftButton);
        QVERIFY(m_messages.size() == 1 && m_messages[0].startsWith("There is no earlier port"));
        QVERIFY(shown->isVisible() && !m_panel->window.isVisible());
        if (ok) {
            pick(shown->comOptions[1]);
            QTest::mouseClick(shown->okButton, Qt::LeftButton);
            m_panel->link.answerOpen();
        } else {
            shown->close();
        }
        QTRY_VERIFY(shown.isNull());
        QVERIFY(m_panel->window.isVisible() && placed());
        QCOMPARE(m_panel->link.isOpen(), ok);
        // The title names the line once one is open.
        QCOMPARE(m_panel->window.windowTitle(),
                 ok ? QStringLiteral("TK-VXR8800 \u2014 COM2 (/dev/ttyS1)")
                    : QStringLiteral("TK-VXR8800"));
    }

    // COM opens the dialog beside the panel, not modal, the panel staying usable; a second COM
    // brings the same dialog forward; its OK ends it.
    void comOpensTheDialogBesideThePanel()
    {
        start("[StartUP]\nComPort=4\n");
        QTest::mouseClick(m_panel->button(PanelButton::Com), Qt::LeftButton);
        QPointer<PortDialog> shown = dialog();
        QVERIFY(shown && !shown->isModal() && m_panel->window.isVisible());
        QVERIFY(m_panel->window.frameGeometry().contains(shown->frameGeometry().center()));
        QTest::mouseClick(m_panel->button(PanelButton::PowerOn), Qt::LeftButton);
        QCOMPARE(m_panel->session.exchange().rxd(), QStringLiteral(" PORT CLOSED "));
        QTest::mouseClick(m_panel->button(PanelButton::Com), Qt::LeftButton);
        QCOMPARE(dialog(), shown.data());
        QTest::mouseClick(shown->okButton, Qt::LeftButton);
        QTRY_VERIFY(shown.isNull());
        QVERIFY(m_panel->link.isOpen() && m_messages.isEmpty());
    }

    // What the operator should know (here, a store too large to read) comes in a box that does
    // not block the panel, once the panel is shown.
    void noticeComesOnceThePanelIsShown()
    {
        start(QByteArray("[StartUP]\nComPort=4\n;" + QByteArray(64 * 1024, 'x')).constData());
        QVERIFY(!m_panel->window.findChild<QMessageBox*>("notice"));
        dialog()->close();
        QTRY_VERIFY(m_panel->window.findChild<QMessageBox*>("notice"));
        const auto* notice = m_panel->window.findChild<QMessageBox*>("notice");
        QVERIFY(!notice->isModal() && notice->text().contains(TempStore::filePath()));
    }

    // END closes the panel, the port dialog, the console and the history, and ends the program's
    // event loop.
    void endClosesEverything()
    {
        start("[StartUP]\nComPort=4\n");
        QTest::mouseClick(m_panel->button(PanelButton::CommandTable), Qt::LeftButton);
        QTest::mouseClick(m_panel->button(PanelButton::Com), Qt::LeftButton);
        QPointer<QWidget> console = openWindow<CommandConsole>("commandConsole");
        QPointer<QWidget> portDialog = dialog();
        m_panel->window.controls().historyAction->trigger();
        QPointer<QWidget> history = openWindow<HistoryWindow>("historyWindow");
        QVERIFY(console && portDialog && history);
        QTimer::singleShot(0, m_panel->button(PanelButton::End), &QPushButton::click);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!m_panel->window.isVisible() && console.isNull() && portDialog.isNull());
        QVERIFY(!history->isVisible());
        QVERIFY(m_panel->session.hasEnded());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
