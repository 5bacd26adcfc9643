#include "core/exchange.h"
#include "serial/sessionlog.h"
#include "testing/fakelink.h"
#include "testing/testsupport.h"

#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace zuno;

namespace {

// The log's lines without their times.
QStringList eventsIn(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList events;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        events << line.section(u'\t', 1);
    return events;
}

// Standard error goes to a file while this lives.
class StderrCapture
{
  public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { text(); }
    // Ends the capture and says what was written.
    QString text()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(std::exchange(m_saved, -1));
        }
        m_file.seek(0);
        return QString::fromLocal8Bit(m_file.readAll());
    }

  private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace

class TestSessionLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    // Each event in order, on the port that was open when it happened: a refused port, an open
    // answered twice, a reply in two pieces and its decoded status, the same status again while
    // the status line still shows it, a missing reply, a lost line after which a command cannot
    // go out (and so misses no reply), a port opened and closed.
    void linesFollowTheEvents()
    {
        const QString path = m_dir.filePath("events.log");
        FakeLink link;
        link.refusals.insert(7, QStringLiteral("COM7 is\tnot there"));
        Exchange exchange(link);
        int chosen = 7;
        SessionLog log(path, exchange, link,
                       [&chosen] { return QStringLiteral("COM%1 /dev/x%1").arg(chosen); });
        link.open(7, 9600);
        chosen = 5;
        link.open(5, 9600);
        link.open(5, 9600);
        chosen = 6; // the port dialog moved on: the lines keep the port that is open
        exchange.transmit("CR0");
        link.arrive("8");
        link.arrive("0\r");
        exchange.replyTimerFired();
        exchange.transmit("CR0");
        link.arrive("80\r");
        exchange.transmit("C00");
        exchange.replyTimerFired();
        link.hangUp();
        exchange.transmit("CR0");
        exchange.replyTimerFired();
        link.open(6, 9600);
        link.close();
        QCOMPARE(eventsIn(path), (QStringList{
                                     "COM7 /dev/x7\topen-failed\tCOM7 is not there",
                                     "COM5 /dev/x5\topened",
                                     "COM5 /dev/x5\tsent\t43 52 30 0D\tC R 0  [CR]",
                                     "COM5 /dev/x5\treceived\t38\t8",
                                     "COM5 /dev/x5\treceived\t30 0D\t0  [CR]",
                                     "COM5 /dev/x5\tstatus\tStand by",
                                     "COM5 /dev/x5\tsent\t43 52 30 0D\tC R 0  [CR]",
                                     "COM5 /dev/x5\treceived\t38 30 0D\t8 0  [CR]",
                                     "COM5 /dev/x5\tstatus\tStand by",
                                     "COM5 /dev/x5\tsent\t43 30 30 0D\tC 0 0  [CR]",
                                     "COM5 /dev/x5\tno-reply",
                                     "COM5 /dev/x5\tclosed\tlost",
                                     "COM6 /dev/x6\tunsent\t43 52 30 0D\tC R 0  [CR]",
                                     "COM6 /dev/x6\topened",
                                     "COM6 /dev/x6\tclosed",
                                 }));
    }

    // Many rolls over a small bound: one older file, neither above the bound, and the two
    // together hold the latest lines without a gap; the earlier session's lines and the stale
    // older file are gone.
    void rollsOverKeepingOneOlderFile()
    {
        const QString path = m_dir.filePath("roll.log");
        QFile earlier(path), stale(path + ".1");
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier session\n") > 0);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("stale\n") > 0);
        earlier.close();
        stale.close();
        constexpr qint64 kBound = 400; // five or six lines
        FakeLink link;
        Exchange exchange(link);
        SessionLog log(
            path, exchange, link, [] { return QStringLiteral("COM5"); }, kBound);
        link.open(5, 9600);
        constexpr int kCommands = 60;
        for (int i = 0; i < kCommands; ++i)
            exchange.transmit(QByteArray::number(1000 + i));
        QVERIFY(log.isWriting());
        QVERIFY(!QFile::exists(path + ".2"));
        QVERIFY(QFileInfo(path).size() <= kBound && QFileInfo(path + ".1").size() <= kBound);
        const QStringList older = eventsIn(path + ".1"), newer = eventsIn(path);
        QVERIFY(older.size() >= 4 && !newer.isEmpty());
        const QStringList kept = older + newer;
        for (qsizetype i = 0; i < kept.size(); ++i) {
            const int expected = 1000 + kCommands - int(kept.size() - i);
            QCOMPARE(QByteArray::fromHex(kept[i].section(u'\t', 2, 2).toLatin1()),
                     QByteArray::number(expected) + '\r');
        }
    }

    void unwritableLogIsReportedOnce_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("fileSizeLimit"); // 0: none
        QTest::addColumn<bool>("keepsEarlyLines");
        QTest::newRow("folder missing")
            << m_dir.filePath("missing/session.log") << qint64(0) << false;
        QTest::newRow("disk full") << QStringLiteral("/dev/full") << qint64(0) << false;
        QTest::newRow("full in mid-session")
            << m_dir.filePath("limited.log") << qint64(250) << true;
    }
    // The panel's exchange goes on as before: every command reaches the link and every reply
    // is decoded. What the log held before it failed stays, in whole lines.
    void unwritableLogIsReportedOnce()
    {
        QFETCH(QString, path);
        QFETCH(qint64, fileSizeLimit);
        QFETCH(bool, keepsEarlyLines);
        StderrCapture stderrCapture;
        FakeLink link;
        Exchange exchange(link);
        {
            std::optional<FileSizeLimit> limit;
            if (fileSizeLimit > 0)
                limit.emplace(fileSizeLimit);
            SessionLog log(path, exchange, link, [] { return QStringLiteral("COM5"); });
            link.open(5, 9600);
            for (int i = 0; i < 10; ++i) {
                exchange.transmit("CR0");
                link.arrive("80\r");
                QCOMPARE(exchange.status(), QStringLiteral(" Stand by"));
            }
            QVERIFY(!log.isWriting());
        }
        QCOMPARE(link.writes, QList<QByteArray>(10, "CR0\r"));
        const QString said = stderrCapture.text();
        QCOMPARE(said.count(u'\n'), 1);
        QVERIFY2(said.contains(path), qPrintable(said));
        if (keepsEarlyLines) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray kept = file.readAll();
            QVERIFY(kept.endsWith('\n'));
            QVERIFY(eventsIn(path).contains("COM5\tstatus\tStand by"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSessionLog)
#include "tst_sessionlog.moc"
