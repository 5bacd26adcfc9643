#include "testing/fakelink.h"
#include "testing/testsupport.h"
#include "ui/commandconsole.h"
#include "ui/panelwindow.h"
#include "ui/portdialog.h"
#include "ui/retrycomport.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

// The three ways the panel starts (no stored port, a stored port that opens, one that refuses),
// and the two buttons that act on the program: COM and END.
class TestStartup : public QObject
{
    Q_OBJECT
    QStringList m_messages;
    FakeLink m_link;
    std::unique_ptr<PanelWindow> m_window;
    QPoint m_shownAt{-1, -1}; // where the panel was when it was first shown

    // Runs the start-up; when it falls back to the modal port dialog, `answer` handles the
    // dialog. True when the dialog came. A failed check in the answer closes the dialog, so that
    // the start-up returns.
    bool start(const std::function<void(PortDialog&)>& answer = {}, const StartUpChoice& run = {})
    {
        bool asked = false;
        QTimer inDialog;
        inDialog.setSingleShot(true);
        connect(&inDialog, &QTimer::timeout, [&] {
            QPointer<PortDialog> dialog = m_window->portDialog();
            asked = dialog && dialog->isModal();
            if (asked)
                answer(*dialog);
            if (dialog && QTest::currentTestFailed())
                dialog->close();
        });
        inDialog.start(0);
        m_window->start(run);
        return asked;
    }
    static void pick(QAbstractButton* option)
    {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, 5));
    }
    void click(PanelButton button) { QTest::mouseClick(m_window->button(button), Qt::LeftButton); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && m_shownAt.x() < 0)
            m_shownAt = m_window->pos();
        return false;
    }
    // Top of the panel centred on the given outer height and lifted, in pixels.
    int centredTop(int outerHeightTwips) const
    {
        const float screen = float(m_window->screen()->geometry().height() * 15);
        return qRound(((screen - float(outerHeightTwips)) / 2.0f - 1350.0f) / 15);
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        TempStore::clear();
        m_messages.clear();
        m_link.close();
        m_link.refusals = {{5, QStringLiteral("gone")}};
        m_window = std::make_unique<PanelWindow>(m_link);
        m_window->installEventFilter(this);
        m_shownAt = {-1, -1};
    }
    void cleanup() { m_window.reset(); }

    // First run: the port dialog comes, modal, before the panel; Cancel has no port to go back
    // to and keeps asking, OK shows the panel on the chosen port. The start-up's long reply
    // window stays; no address is read or stored.
    void emptyStoreAsksForThePortFirst()
    {
        QVERIFY(start([&](PortDialog& dialog) {
            // The dialog shows 19200 bit/s for the unset speed, and the panel holds the same.
            QCOMPARE(m_window->portChoice(), (PortChoice{0, kBaud19200}));
            QTest::mouseClick(dialog.cancelButton, Qt::LeftButton);
            QVERIFY(m_messages.size() == 1 && dialog.isVisible() && !m_window->isVisible());
            pick(dialog.comOptions[1]);
            QTest::mouseClick(dialog.okButton, Qt::LeftButton);
        }));
        QVERIFY(m_messages.size() == 1 && m_window->isVisible() && m_link.isOpen());
        QVERIFY(m_link.port == 2 && m_link.bitsPerSecond == 19200);
        QCOMPARE(m_window->portChoice(), (PortChoice{2, kBaud19200}));
        QCOMPARE(m_window->exchange().replyTimer().interval(), Exchange::kFirstReplyMs);
        QVERIFY(m_window->controls().addressOptions[0]->isChecked());
        QVERIFY(!TempStore::contains("StartUP", "ADRESS"));
    }

    // A stored port opens at the stored speed without a dialog, with the stored address, the
    // working intervals and the compact height, centred across and lifted above the middle.
    void storedPortOpens()
    {
        TempStore::writeRaw("[StartUP]\nComPort=\" 3\"\nBaudRate=96\nADRESS=A003\n");
        QVERIFY(!start());
        QVERIFY(m_link.isOpen() && m_link.port == 3 && m_link.bitsPerSecond == 9600);
        QCOMPARE(m_window->exchange().address(), QByteArray("A003"));
        QVERIFY(m_window->controls().addressOptions[4]->isChecked());
        QCOMPARE(m_window->exchange().replyTimer().interval(), 1000);
        QCOMPARE(m_window->exchange().displayClearTimer().interval(), 1200);
        QCOMPARE(m_window->height(), PanelWindow::compactClientHeight());
        QCOMPARE(m_window->pos().y(), centredTop(5000));
        const QRect screen = m_window->screen()->geometry();
        QVERIFY(qAbs(m_window->frameGeometry().center().x() - screen.center().x()) <= 1);
    }

    // Esc in the start-up's dialog changes nothing: the dialog stays with its choice and the
    // start-up waits on. OK then shows the panel already in its place, on the designed height.
    void escapeKeepsTheStartUpDialogAndOkShowsThePanelPlaced()
    {
        QVERIFY(start([&](PortDialog& dialog) {
            pick(dialog.comOptions[2]);
            QTest::keyClick(dialog.otherPortBox, Qt::Key_Escape);
            QTest::keyClick(dialog.okButton, Qt::Key_Escape);
            QVERIFY(dialog.isVisible() && !m_window->isVisible());
            QCOMPARE(dialog.choice(), (PortChoice{3, kBaud19200}));
            QTest::mouseClick(dialog.okButton, Qt::LeftButton);
        }));
        QVERIFY(m_link.isOpen() && m_link.port == 3 && m_shownAt == m_window->pos());
        QCOMPARE(m_shownAt.y(), centredTop(5000));
    }

    // Once the window system reports the panel's frame, the centring takes the real outer height.
    void placedOnTheReportedOuterHeight()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\n");
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()) && !start());
        const int outer = m_window->frameGeometry().height();
        QVERIFY(outer > m_window->height());
        QCOMPARE(m_window->pos().y(), centredTop(outer * 15));
    }

    // A stored port that refuses: the dialog comes with the stored port and speed selected; its
    // close box leaves the port closed and the store as it was, the address restored.
    void storedPortRefusedFallsBackToTheDialog()
    {
        TempStore::writeRaw("[StartUP]\nComPort=5\nBaudRate=96\nADRESS=A002\n");
        QVERIFY(start([&](PortDialog& dialog) {
            QVERIFY(dialog.comOptions[4]->isChecked() && dialog.baud9600Option->isChecked());
            QCOMPARE(dialog.choice(), (PortChoice{5, kBaud9600}));
            dialog.close();
        }));
        QVERIFY(!m_link.isOpen() && m_messages.isEmpty());
        QCOMPARE(m_window->exchange().replyTimer().interval(), Exchange::kFirstReplyMs);
        QCOMPARE(m_window->exchange().address(), QByteArray("A002"));
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("5"));
    }

    // Port, speed and address chosen for one run take the place of the stored ones and are not
    // stored; the address is, once the operator picks one in the panel.
    void runChoiceIsNotStored_data()
    {
        QTest::addColumn<int>("pickedOption");
        QTest::addColumn<QString>("storedAddress");
        QTest::newRow("address kept") << -1 << "A002";
        QTest::newRow("ALL picked in the panel") << 1 << "AFFF";
    }
    void runChoiceIsNotStored()
    {
        QFETCH(int, pickedOption);
        QFETCH(QString, storedAddress);
        TempStore::writeRaw("[StartUP]\nComPort=3\nBaudRate=192\nADRESS=A002\n");
        QVERIFY(!start({}, {7, kBaud9600, QByteArray("A001")}));
        QVERIFY(m_link.isOpen() && m_link.port == 7 && m_link.bitsPerSecond == 9600);
        QCOMPARE(m_window->exchange().address(), QByteArray("A001"));
        QVERIFY(m_window->controls().addressOptions[2]->isChecked());
        m_window->show();
        if (pickedOption >= 0)
            pick(m_window->controls().addressOptions[std::size_t(pickedOption)]);
        m_window->close();
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), storedAddress);
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("3"));
        QCOMPARE(TempStore::value("StartUP", "BaudRate"), QStringLiteral("192"));
    }

    // A run port that refuses falls back to the dialog with the run's port and speed selected.
    void refusedRunPortFallsBackToTheDialog()
    {
        TempStore::writeRaw("[StartUP]\nComPort=3\nBaudRate=192\n");
        QVERIFY(start(
            [&](PortDialog& dialog) {
                QCOMPARE(dialog.choice(), (PortChoice{5, kBaud9600}));
                dialog.close();
            },
            {5, kBaud9600, {}}));
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("3"));
    }

    // COM closes the port and opens the dialog beside the panel, not modal. Every click takes
    // fresh copies of port and speed for Cancel, without reloading the open dialog.
    void comTakesFreshCopiesOnEveryClick()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\nBaudRate=96\n");
        QVERIFY(!start());
        m_window->show();
        click(PanelButton::Com);
        QVERIFY(!m_link.isOpen());
        QCOMPARE(m_window->savedPortChoice(), (PortChoice{4, kBaud9600}));
        QPointer<PortDialog> dialog = m_window->portDialog();
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());

        pick(dialog->comOptions[4]);
        QCOMPARE(m_window->portChoice().port, 5);
        click(PanelButton::Com);
        QCOMPARE(m_window->savedPortChoice(), (PortChoice{5, kBaud9600}));
        QVERIFY(m_window->portDialog() == dialog && dialog->comOptions[4]->isChecked());
        // Cancel goes back to the fresh copy, COM5, which refuses.
        QTest::mouseClick(dialog->cancelButton, Qt::LeftButton);
        QVERIFY(m_messages == QStringList{"gone"} && m_link.port == 5);
        dialog->otherPortBox->setText(QStringLiteral("4"));
        QTest::mouseClick(dialog->okButton, Qt::LeftButton);
        QVERIFY(m_link.isOpen() && m_link.port == 4);
        QTRY_VERIFY(dialog.isNull());
    }

    // END in the running program ends the event loop; the loop's end, which runs the closing
    // steps too (for a desktop session that ends), finds them done: they ran once.
    void endRunsTheClosingStepsOnce()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\nADRESS=A004\n");
        m_window.reset(); // a new panel, whose own handler of the loop's end comes after this one
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
            QVERIFY(TempStore::value("StartUP", "ADRESS") == "A004" && !m_link.isOpen());
            TempStore::setValue("StartUP", "ADRESS", "changed");
            m_link.open(4, 9600);
        });
        m_window = std::make_unique<PanelWindow>(m_link);
        QVERIFY(!start());
        m_window->show();
        QTimer::singleShot(0, m_window.get(), [this] { click(PanelButton::End); });
        QCOMPARE(QApplication::exec(), 0);
        disconnect(qApp, &QCoreApplication::aboutToQuit, this, nullptr);
        QVERIFY(!m_window->isVisible() && m_link.isOpen());
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("changed"));
    }

    // END closes the panel, the port dialog and the console, closes the port and stores the
    // address.
    void endClosesEverything()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\nADRESS=A001\n");
        QVERIFY(!start());
        m_window->show();
        click(PanelButton::CommandTable);
        click(PanelButton::Com);
        m_link.open(4, 9600); // the dialog open on an open port, as a failed store write leaves it
        QPointer<PortDialog> dialog = m_window->portDialog();
        QPointer<CommandConsole> console = m_window->console();
        QVERIFY(dialog && console);
        TempStore::setValue("StartUP", "ADRESS", "");
        click(PanelButton::End);
        QVERIFY(!m_window->isVisible() && dialog.isNull() && console.isNull() && !m_link.isOpen());
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A001"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
