#include "core/buttontable.h"
#include "session/session.h"
#include "settings/settings.h"
#include "testing/fakepanel.h"
#include "testing/testsupport.h"
#include "ui/historywindow.h"
#include "ui/panelwindow.h"
#include "ui/portdialog.h"
#include "ui/retrycomport.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace zuno;

// Starts both and ends the test function at once when that failed: nothing else can run then.
// clang-format off
#define START_BOTH(...) if (startBoth(__VA_ARGS__); QTest::currentTestFailed()) return
// clang-format on

// The panel and the projector simulator program together over a real pseudo-terminal, or with
// ZUNO_LINE=tcp over a TCP connection on this machine as to a serial device server: what the
// operator clicks reaches the simulated projectors, and their answers reach the panel's lines.
class TestEndToEnd : public QObject
{
    Q_OBJECT
    const bool m_tcp = qgetenv("ZUNO_LINE") == "tcp";
    QTemporaryDir m_dir;
    QProcess m_sim;
    QString m_log; // all the simulator printed
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<PanelWindow> m_window; // goes before its session
    QStringList m_written; // every string the panel wrote, CR spelled "[CR]" as the simulator logs
    QStringList m_messages;

    Link& link() const { return m_session->link(); }
    Exchange& exchange() const { return m_session->exchange(); }
    // The panel on the real session, recording what it writes; with a session log when asked.
    void makePanel(const QString& sessionLog = {})
    {
        m_settings = std::make_unique<Settings>();
        m_session = std::make_unique<Session>(*m_settings);
        connect(&exchange(), &Exchange::sent, this, [this](const QByteArray& bytes, bool written) {
            if (written)
                m_written << QString::fromLatin1(bytes).replace(u'\r', "[CR]");
        });
        m_window = std::make_unique<PanelWindow>(*m_session);
        if (!sessionLog.isEmpty())
            m_session->startLog(sessionLog);
    }

    QString rxd() const { return m_window->controls().rxdLine->text(); }
    QString status() const { return m_window->controls().statusLine->text(); }
    void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, {5, 5}); }
    void click(PanelButton button) { click(m_window->controls().button(button)); }
    // 0 SINGLE, 1 ALL, 2 to 5 the projectors 001 to 004.
    void chooseAddress(int option) { click(m_window->controls().addressOptions[option]); }
    // The commands the simulator logged as received, in order.
    QStringList received() const
    {
        static const QRegularExpression line(QStringLiteral("^\\S+  RX  (.*)$"),
                                             QRegularExpression::MultilineOption);
        QStringList result;
        for (auto it = line.globalMatch(m_log); it.hasNext();)
            result << it.next().captured(1);
        return result;
    }

    // The simulator on a link registered as COM5, and the panel after a normal start-up on it.
    void startBoth(const QStringList& simArguments)
    {
        const QStringList line =
            m_tcp ? QStringList{"--tcp", "0"} : QStringList{"--link", m_dir.filePath("projector")};
        m_sim.start(ZUNO_SIM_PATH, line +
                                       QStringList{"--register", "COM5", "--config-home",
                                                   QFileInfo(TempStore::filePath()).path()} +
                                       simArguments);
        // It prints its device path or address once its line is open and registered.
        QTRY_VERIFY2_WITH_TIMEOUT(m_log.startsWith(m_tcp ? "tcp://" : "/dev/") &&
                                      m_log.contains('\n'),
                                  qPrintable(m_log), 10000);
        makePanel(m_dir.filePath("session.log"));
        m_session->start();
        // A connection over the network is made a moment later, and the panel shows then; a
        // serial port opens at once.
        QCOMPARE(link().isOpen(), !m_tcp);
        QTRY_VERIFY_WITH_TIMEOUT(link().isOpen() && m_window->isVisible(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_log.contains(m_tcp ? "client connected" : "client opened the device"), 10000);
    }

    // Clicks a button, waits for the whole reply on the RxD line (every transmit empties it,
    // so a match is this exchange's reply) and checks the decoded status line, when given.
    void readBack(PanelButton button, const QString& expectedRxd,
                  const QString& expectedStatus = {})
    {
        click(button);
        QTRY_COMPARE_WITH_TIMEOUT(rxd(), expectedRxd, 5000);
        if (!expectedStatus.isNull())
            QCOMPARE(status(), expectedStatus);
    }

    // What the panel wrote is what the simulator received, in the same order. Called after a
    // last exchange has been answered, so nothing of the panel's can still be on its way.
    void simulatorReceivedAllWritten(const QStringList& expected)
    {
        QCOMPARE(m_written, expected);
        QTRY_COMPARE_WITH_TIMEOUT(received(), expected, 5000);
    }

    // The lines of a saved history or a session log after their time and port, both checked,
    // without blanks. A simulator that came back on another address has registered that one, so
    // a log across its return is only checked for the COM number.
    QList<QStringList> loggedEvents(const QString& path, bool deviceMayChange = false)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {{"cannot read " + path}};
        static const QRegularExpression time(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"));
        const QString port = deviceMayChange ? QString() : TempStore::value("Ports", "COM5");
        QList<QStringList> events;
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            QStringList fields = line.split(u'\t');
            if (fields.size() < 3 || !time.match(fields[0]).hasMatch() ||
                fields[1] != "COM5 " + (port.isEmpty() ? fields[1].mid(5) : port))
                return {{"malformed: " + line}};
            fields = fields.mid(2).replaceInStrings(QStringLiteral(" "), QString());
            // A reply's pieces in one "received", also around its reading logged between them.
            const auto reply = std::find_if(events.rbegin(), events.rend(), [](const auto& e) {
                return e[0] == "received" || e[0] == "sent";
            });
            if (fields[0] == "received" && reply != events.rend() && (*reply)[0] == "received")
                *reply = {"received", (*reply)[1] + fields[1], (*reply)[2] + fields[2]};
            else
                events << fields;
        }
        return events;
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        m_sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(&m_sim, &QProcess::readyReadStandardOutput, this,
                [this] { m_log += QString::fromLocal8Bit(m_sim.readAllStandardOutput()); });
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        TempStore::writeRaw("[StartUP]\nComPort=5\nBaudRate=96\n");
        m_messages.clear();
        m_log.clear();
        QFile::remove(m_dir.filePath("session.log"));
    }
    void cleanup()
    {
        m_window.reset();
        m_session.reset();
        m_settings.reset();
        m_written.clear();
        m_sim.terminate();
        m_sim.waitForFinished(3000);
    }

    // Exchanges read back on the RxD and status lines: power on from standby, read during the
    // count down and once warmed up at once; input 3 set, then read (the projector starts on input
    // 1); lamp time and temperatures, whole or a character at a time; and a projector that stays
    // silent, which gets the no-reply mark.
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QList<PanelButton>>("buttons"); // all but the last are acknowledged
        QTest::addColumn<QString>("expectedRxd");
        QTest::addColumn<QString>("expectedStatus");
        using B = PanelButton;
        const QString spelled = " 0 2 5 . 0 _ 0 2 5 . 5 _ 0 2 6 . 0  [CR] ";
        const QString temperatures = " 0 2 5 . 0 deg C 0 2 5 . 5 deg C 0 2 6 . 0 deg C ";
        // clang-format off
        QTest::newRow("counting down") << QStringList{"--warmup-ms", "600000"} << QList{B::PowerOn, B::Status} << " 4 0  [CR] " << " Count down";
        QTest::newRow("warmed up") << QStringList{"--warmup-ms", "0"} << QList{B::PowerOn, B::Status} << " 0 0  [CR] " << " Power ON";
        QTest::newRow("input 3") << QStringList() << QList{B::Input3, B::InputMode} << " 3  [CR] " << " Input 3";
        QTest::newRow("lamp time") << QStringList{"--lamp-hours", "1234"} << QList{B::LampTime} << " 0 1 2 3 4  [CR] " << "   1 2 3 4   Hour Use";
        QTest::newRow("temperatures") << QStringList() << QList{B::Temp} << spelled << temperatures;
        QTest::newRow("temperatures split") << QStringList{"--split", "--split-gap-ms", "30"} << QList{B::Temp} << spelled << temperatures;
        QTest::newRow("silent projector") << QStringList{"--silent"} << QList{B::Status} << " X X X X " << "";
        // clang-format on
    }
    void exchanges()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(QList<PanelButton>, buttons);
        QFETCH(QString, expectedRxd);
        QFETCH(QString, expectedStatus);
        START_BOTH(simArguments);
        for (const PanelButton button : buttons.first(buttons.size() - 1))
            readBack(button, "  [ACK] ");
        QSignalSpy pieces(&link(), &Link::received);
        readBack(buttons.last(), expectedRxd, expectedStatus);
        // A split reply really came in pieces, about one a character.
        if (simArguments.contains("--split"))
            QVERIFY(pieces.count() >= exchange().collected().size() / 2);
        QStringList commands;
        for (const PanelButton button : buttons)
            commands << QString::fromLatin1(buttonSpec(button).command) + "[CR]";
        simulatorReceivedAllWritten(commands);
    }

    // The history window after real exchanges: a row each with what went out and came back, the
    // words and a reply time. The filter narrows the rows as typed; Copy gives the selected rows
    // and Save all of them as session log lines, a reply's pieces in one; a file that cannot be
    // written is said in a box. Closed, the window catches up when shown again, and keeps its
    // bound. The panel's title names the line.
    void historyWindowShowsTheExchanges()
    {
        START_BOTH({"--lamp-hours", "1234"});
        QCOMPARE(
            m_window->windowTitle(),
            QStringLiteral("TK-VXR8800 \u2014 COM5 (%1)").arg(TempStore::value("Ports", "COM5")));
        readBack(PanelButton::Status, " 8 0  [CR] ", " Stand by");
        readBack(PanelButton::LampTime, " 0 1 2 3 4  [CR] ");
        chooseAddress(1);
        readBack(PanelButton::Status, " X X X X ");
        QTest::keyClick(m_window.get(), Qt::Key_H, Qt::ControlModifier);
        auto* history = openWindow<HistoryWindow>("historyWindow");
        QVERIFY(history);
        auto* table = history->findChild<QTableView*>("historyTable");
        QAbstractItemModel* rows = table->model();
        const auto row = [rows](int r) {
            QStringList cells;
            for (int column = 0; column < rows->columnCount(); ++column)
                cells << rows->index(r, column).data().toString();
            return cells.mid(2, 5) << cells[7].section(u' ', 1);
        };
        QCOMPARE(rows->rowCount(), 3);
        QCOMPARE(row(0), (QStringList{"C R 0  [CR]", "43 52 30 0D", "8 0  [CR]", "38 30 0D",
                                      "Stand by", "ms"}));
        QCOMPARE(row(1).at(4), QStringLiteral("1 2 3 4   Hour Use"));
        QCOMPARE(row(2), (QStringList{"A F F F C R 0  [CR]", "41 46 46 46 43 52 30 0D", "", "", "",
                                      "reply"}));
        QVERIFY(m_session->history().at(0).replyMicros > 0);

        auto* filter = history->findChild<QLineEdit*>("filterBox");
        for (const char* text : {"cr3", "435233", "hour use"}) {
            filter->clear();
            QTest::keyClicks(filter, text);
            QCOMPARE(rows->rowCount(), 1);
            QCOMPARE(row(0).at(0), QStringLiteral("C R 3  [CR]"));
        }
        table->selectRow(0);
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        filter->clear();

        const QString saved = m_dir.filePath("history.log");
        HistoryWindow::setSavePathForTesting([&saved] { return saved; });
        history->save();
        QCOMPARE(loggedEvents(saved),
                 (QList<QStringList>{{"sent", "4352300D", "CR0[CR]"},
                                     {"received", "38300D", "80[CR]"},
                                     {"status", "Standby"},
                                     {"sent", "4352330D", "CR3[CR]"},
                                     {"received", "30313233340D", "01234[CR]"},
                                     {"status", "1234HourUse"},
                                     {"sent", "414646464352300D", "AFFFCR0[CR]"},
                                     {"no-reply"}}));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString::fromUtf8(file.readAll()).split(u'\n').mid(3, 3).join(u'\n') + u'\n');
        HistoryWindow::setSavePathForTesting([this] { return m_dir.filePath("none/history.log"); });
        history->save();
        auto* failed = history->findChild<QMessageBox*>("saveFailed");
        QVERIFY(failed && failed->text().contains(m_dir.filePath("none/history.log")));
        HistoryWindow::setSavePathForTesting({});

        history->close();
        m_session->history().setCapacity(2);
        readBack(PanelButton::LampTime, " X X X X ");
        // The RxD line's context menu opens it too.
        const QList<QAction*> menu = m_window->controls().rxdLine->actions();
        QCOMPARE(menu.last()->text(), QStringLiteral("History"));
        menu.last()->trigger();
        QVERIFY(history->isVisible());
        QCOMPARE(rows->rowCount(), 2);
        QCOMPARE(row(1).at(0), QStringLiteral("A F F F C R 3  [CR]"));
        readBack(PanelButton::Status, " X X X X ");
        QTRY_COMPARE(rows->index(1, 0).data().toInt(), 5);
        QCOMPARE(rows->rowCount(), 2);
    }

    // The line going away like a pulled adapter (or a server that goes away) closes the port
    // once; "COM" stops the panel's own retries, then OK fails while the line is away and opens
    // it once the simulator has been told to bring it back.
    void hangUpClosesThePortAndComReopensIt()
    {
        START_BOTH({"--hangup-after", "1", "--reopen-on-input"});
        QSignalSpy lost(&link(), &Link::lost);
        readBack(PanelButton::Status, " 8 0  [CR] ", " Stand by");
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains("hang-up: line closed"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!link().isOpen(), 10000);
        QCOMPARE(rxd(), QStringLiteral(" PORT CLOSED "));
        QVERIFY(m_session->isReconnecting());

        click(PanelButton::Com);
        QVERIFY(!m_session->isReconnecting() && !m_session->reconnectTimer().isActive());
        QPointer<PortDialog> dialog = openWindow<PortDialog>("portDialog");
        QVERIFY(dialog);
        click(dialog->okButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_messages.size() == 1, 10000);
        QVERIFY2(m_messages.first().contains(m_tcp ? "refused" : "no such device"),
                 qPrintable(m_messages.first()));
        QVERIFY(!link().isOpen());
        m_sim.write("\n"); // the line comes back
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains("line reopened"), 10000);
        click(dialog->okButton);
        QTRY_VERIFY_WITH_TIMEOUT(link().isOpen(), 10000);
        QTRY_VERIFY(!dialog);
        readBack(PanelButton::Status, " 8 0  [CR] ", " Stand by");
        QCOMPARE(lost.count(), 1);
        simulatorReceivedAllWritten({"CR0[CR]", "CR0[CR]"});
    }

    // A device that goes and comes back at the same path, or a server that goes and comes back,
    // is open again without a click: the RxD line says the port is closed until then, and then
    // that it is open; nothing is sent meanwhile; the log has at most one failure between the
    // loss and the reopening.
    void lineComesBackByItself()
    {
        START_BOTH({"--hangup-after", "1", "--reopen-after-ms", "1500"});
        QSignalSpy reconnected(m_session.get(), &Session::reconnected);
        QStringList shown;
        connect(&exchange(), &Exchange::rxdChanged, this, [&](const QString& text) {
            if (reconnected.isEmpty())
                shown << text;
        });
        readBack(PanelButton::Status, " 8 0  [CR] ", " Stand by");
        QTRY_VERIFY_WITH_TIMEOUT(!link().isOpen(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(reconnected.size(), 1, 20000);
        QVERIFY(m_log.contains("line reopened"));
        QCOMPARE(shown.mid(shown.indexOf(" PORT CLOSED ")),
                 (QStringList{" PORT CLOSED ", " PORT OPEN "}));
        readBack(PanelButton::Status, " 8 0  [CR] ", " Stand by");
        simulatorReceivedAllWritten({"CR0[CR]", "CR0[CR]"});
        m_window->close();
        QStringList events; // the line's own events, without their speeds
        for (const QStringList& event : loggedEvents(m_dir.filePath("session.log"), true))
            if (event[0] == "closed" || event[0].contains("open"))
                events << (event[0] == "closed" ? event.join(u' ') : event[0]);
        QVERIFY2(events.removeAll("reopen-failed") <= 1, qPrintable(events.join(", ")));
        QCOMPARE(events, (QStringList{"opened", "closed lost", "reopened", "closed"}));
    }

    // rfc2217://HOST:PORT through a real RFC 2217 server (ser2net) in front of the simulator's
    // pseudo-terminal: the port dialog's speed, 8 data bits, no parity and one stop bit are set
    // on the serial line, and commands and replies pass without a Telnet byte on the line.
    void rfc2217ServerCarriesTheLine()
    {
        if (m_tcp)
            QSKIP("the serial line's run only");
        const QString ser2net =
            QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
        if (ser2net.isEmpty())
            QSKIP("ser2net is not installed (bash scripts/run-tests installs it)");
        const QString line = m_dir.filePath("projector");
        m_sim.start(ZUNO_SIM_PATH, {"--link", line, "--baud", "9600"});
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains('\n'), 10000);
        QTcpServer probe; // a free port for ser2net
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QFile config(m_dir.filePath("ser2net.yaml"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("connection: &projector\n"
                                    "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                    "  connector: serialdev,%2,9600n81,local\n")
                         .arg(port)
                         .arg(line)
                         .toUtf8());
        config.close();
        QProcess server;
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(ser2net,
                     {"-n", "-u", "-c", config.fileName(), "-P", m_dir.filePath("ser2net.pid")});
        QVERIFY(server.waitForStarted());
        const auto stopServer = qScopeGuard([&] {
            server.terminate();
            server.waitForFinished(5000);
        });
        // Listening, as the system's table of TCP sockets tells, without a connection that would
        // open the device.
        const auto listening = [port] {
            QFile table("/proc/net/tcp");
            return table.open(QIODevice::ReadOnly) &&
                   table.readAll().contains(QStringLiteral(":%1 00000000:0000 0A")
                                                .arg(port, 4, 16, QChar(u'0'))
                                                .toUpper()
                                                .toLatin1());
        };
        QTRY_VERIFY2_WITH_TIMEOUT(listening(), server.readAll().constData(), 10000);

        TempStore::writeRaw(QStringLiteral("[StartUP]\nComPort=6\nBaudRate=192\n[Ports]\n"
                                           "COM6=rfc2217://127.0.0.1:%1\n")
                                .arg(port)
                                .toUtf8());
        makePanel();
        m_session->start();
        QTRY_VERIFY2_WITH_TIMEOUT(link().isOpen() && m_window->isVisible(),
                                  server.readAll().constData(), 10000);
        readBack(PanelButton::Status, " 8 0  [CR] ", " Stand by");
        readBack(PanelButton::PowerOn, "  [ACK] ");
        simulatorReceivedAllWritten({"CR0[CR]", "C00[CR]"});
        QCOMPARE(link().lineSpeed(), 19200); // as the session log's "opened" says

        const int fd =
            ::open(QFile::encodeName(line).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        QVERIFY2(fd >= 0, strerror(errno));
        termios settings{};
        const bool read = ::tcgetattr(fd, &settings) == 0;
        ::close(fd);
        QVERIFY(read);
        QCOMPARE(::cfgetospeed(&settings), speed_t(B19200));
        QCOMPARE(settings.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    }

    // A server that refuses, and one that never answers (its queue of connections full), are
    // told apart in the "Retry Comport" reason; the panel works on meanwhile.
    void serverRefusesOrNeverAnswers()
    {
        if (!m_tcp)
            QSKIP("a TCP line only");
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 closedPort = closed.serverPort();
        closed.close();
        const int full = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(full, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                ::listen(full, 0) == 0 &&
                ::getsockname(full, reinterpret_cast<sockaddr*>(&address), &length) == 0);
        QTcpSocket queued; // the one connection the queue holds; the next gets no answer
        queued.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        QVERIFY(queued.waitForConnected(5000));
        TempStore::mapPort(6, QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort));
        TempStore::mapPort(7, QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port)));

        makePanel();
        m_window->show();
        click(PanelButton::Com);
        PortDialog* dialog = openWindow<PortDialog>("portDialog");
        for (const auto& [port, reason] : {std::pair{"6", "refused"}, {"7", "timed out"}}) {
            const qsizetype before = m_messages.size();
            dialog->otherPortBox->setText(QString::fromLatin1(port));
            click(dialog->okButton);
            click(PanelButton::PowerOn); // the panel answers while the server does not
            QCOMPARE(exchange().rxd(), QStringLiteral(" PORT CLOSED "));
            QTRY_VERIFY_WITH_TIMEOUT(m_messages.size() == before + 1, 10000);
            QVERIFY2(m_messages.last().contains(reason), qPrintable(m_messages.last()));
            QVERIFY(!link().isOpen());
        }
        ::close(full);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
