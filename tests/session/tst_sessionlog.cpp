#include "core/exchange.h"
#include "session/sessionlog.h"
#include "testing/fakelink.h"
#include "testing/testsupport.h"

#include <QtTest>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zuno;

namespace {

// The log's lines without their times.
QStringList eventsIn(const QString& path)
{
    QFile file(path);
    QStringList events;
    if (file.open(QIODevice::ReadOnly))
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            events << line.section(u'\t', 1);
    return events;
}

} // namespace

class TestSessionLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    // Each event in order, on the port that was open when it happened: a refused port, an open
    // answered twice (its speed named once), a reply and its decoded status, the same status
    // again, from a reply in three pieces, while the status line still shows it, a missing reply
    // and a late one, a lost line after which a command cannot go out (and so misses no reply), a
    // serial device server's line opened and closed.
    void linesFollowTheEvents()
    {
        const QString path = m_dir.filePath("events.log");
        FakeLink link;
        link.refusals.insert(7, QStringLiteral("COM7 is\tnot there"));
        Exchange exchange(link);
        int chosen = 7;
        SessionLog log(path, exchange, link,
                       [&chosen] { return QStringLiteral("COM%1 x").arg(chosen); });
        link.open(7, 9600);
        chosen = 5;
        link.open(5, 9600);
        link.open(5, 9600);
        chosen = 6; // the port dialog moved on: the lines keep the port that is open
        exchange.transmit("CR0");
        link.arrive("80\r");
        exchange.replyTimerFired();
        exchange.transmit("CR0");
        for (const char* piece : {"8", "0", "\r"})
            link.arrive(piece);
        exchange.transmit("C00");
        exchange.replyTimerFired();
        link.arrive("\x06");
        link.hangUp();
        exchange.transmit("CR0");
        exchange.replyTimerFired();
        link.isServer = true;
        link.open(6, 9600);
        link.close();
        QCOMPARE(
            eventsIn(path).join(u'\n'),
            QStringList({"COM7 x\topen-failed\tCOM7 is not there", "COM5 x\topened\t9600 bit/s",
                         "COM5 x\tsent\t43 52 30 0D\tC R 0  [CR]",
                         "COM5 x\treceived\t38 30 0D\t8 0  [CR]", "COM5 x\tstatus\tStand by",
                         "COM5 x\tsent\t43 52 30 0D\tC R 0  [CR]", "COM5 x\treceived\t38\t8",
                         "COM5 x\treceived\t30\t0", "COM5 x\tstatus\tStand by",
                         "COM5 x\treceived\t0D\t[CR]", "COM5 x\tsent\t43 30 30 0D\tC 0 0  [CR]",
                         "COM5 x\tno-reply", "COM5 x\treceived-late\t06\t[ACK]",
                         "COM5 x\tclosed\tlost", "COM6 x\tunsent\t43 52 30 0D\tC R 0  [CR]",
                         "COM6 x\topened\tspeed set by the serial device server", "COM6 x\tclosed"})
                .join(u'\n'));
    }

    // Many rolls over a small bound: one older file, neither above the bound, and the two
    // together hold the latest commands without a gap.
    void rollsOverKeepingOneOlderFile()
    {
        const QString path = m_dir.filePath("roll.log");
        constexpr qint64 kBound = 400; // five or six lines
        FakeLink link;
        Exchange exchange(link);
        SessionLog log(
            path, exchange, link, [] { return QStringLiteral("COM5"); }, kBound);
        link.open(5, 9600);
        for (int i = 0; i < 60; ++i)
            exchange.transmit(QByteArray::number(1000 + i));
        QVERIFY(log.isWriting() && !QFile::exists(path + ".2"));
        QVERIFY(QFileInfo(path).size() <= kBound && QFileInfo(path + ".1").size() <= kBound);
        const QStringList older = eventsIn(path + ".1"), kept = older + eventsIn(path);
        QVERIFY(older.size() >= 4 && kept.size() > older.size());
        for (qsizetype i = 0; i < kept.size(); ++i)
            QCOMPARE(QByteArray::fromHex(kept[i].section(u'\t', 2, 2).toLatin1()),
                     QByteArray::number(1060 - kept.size() + i) + '\r');
    }

    // Past the bound, only a regular file named directly rolls over: a link (such as
    // /dev/stdout) stays, and so does the file it leads to; a named pipe goes on taking lines.
    void rollsOverOnlyAPlainFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << "link";
        QTest::newRow("named pipe with a reader") << "pipe";
    }
    void rollsOverOnlyAPlainFile()
    {
        QFETCH(QString, kind);
        const QString path = m_dir.filePath(kind + ".log"), target = m_dir.filePath("target");
        QFile::remove(target);
        QVERIFY(kind == "link" ? QFile::link(target, path)
                               : ::mkfifo(QFile::encodeName(path), 0600) == 0);
        const int reader = ::open(QFile::encodeName(path), O_RDONLY | O_NONBLOCK);
        const auto closeReader = qScopeGuard([&] { ::close(reader); });
        FakeLink link;
        Exchange exchange(link);
        SessionLog log(
            path, exchange, link, [] { return QStringLiteral("COM5"); }, 400);
        link.open(5, 9600);
        for (int i = 0; i < 20; ++i)
            exchange.transmit("CR0");
        QVERIFY2(log.isWriting(), qPrintable(log.problem()));
        QVERIFY(!QFileInfo::exists(path + ".1") && !QFileInfo::exists(target + ".1"));
        QVERIFY(kind == "link" ? QFileInfo(path).isSymLink() && QFileInfo(target).size() > 400
                               : QFileInfo(path).fileName() == "pipe.log");
        char pipeBytes[4096];
        QVERIFY(kind == "link" || ::read(reader, pipeBytes, sizeof pipeBytes) > 400);
    }

    // A flood arrives as one event: its line shows the first bytes and counts the rest.
    void floodLineIsBounded()
    {
        const QString path = m_dir.filePath("flood.log");
        FakeLink link;
        Exchange exchange(link);
        SessionLog log(path, exchange, link, [] { return QStringLiteral("COM5"); });
        link.open(5, 9600);
        link.arrive(QByteArray(100000, 'x'));
        const QStringList events = eventsIn(path);
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[1].section(u'\t', 2, 2), QByteArray(256, 'x').toHex(' ').toUpper());
        QVERIFY2(events[1].endsWith("x x … 99,744 more bytes"), qPrintable(events[1].right(60)));
        QCOMPARE_LT(QFileInfo(path).size(), 2000);
    }

    void unwritableLogIsReportedOnce_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("fileSizeLimit"); // 0: none; else the log fills up mid-session
        QTest::newRow("folder missing") << m_dir.filePath("missing/session.log") << qint64(0);
        QTest::newRow("disk full") << QStringLiteral("/dev/full") << qint64(0);
        QTest::newRow("full in mid-session") << m_dir.filePath("limited.log") << qint64(250);
    }
    // The panel's exchange goes on as before: every command reaches the link and every reply
    // is decoded. What the log held before it filled up stays, in whole lines.
    void unwritableLogIsReportedOnce()
    {
        QFETCH(QString, path);
        QFETCH(qint64, fileSizeLimit);
        FakeLink link;
        Exchange exchange(link);
        std::optional<FileSizeLimit> limit;
        if (fileSizeLimit > 0)
            limit.emplace(fileSizeLimit);
        SessionLog log(path, exchange, link, [] { return QStringLiteral("COM5"); });
        QSignalSpy failed(&log, &SessionLog::failed);
        link.open(5, 9600);
        for (int i = 0; i < 10; ++i) {
            exchange.transmit("CR0");
            link.arrive("80\r");
            QCOMPARE(exchange.status(), QStringLiteral(" Stand by"));
        }
        limit.reset();
        QVERIFY(!log.isWriting() && log.problem().contains(path));
        // Said once: by problem() when the file would not open; else when it failed.
        QCOMPARE(failed.size(), QFileInfo(path).dir().exists() ? 1 : 0);
        QCOMPARE(link.writes, QList<QByteArray>(10, "CR0\r"));
        QFile kept(path);
        if (fileSizeLimit > 0)
            QVERIFY(kept.open(QIODevice::ReadOnly) &&
                    kept.readAll().endsWith("\tstatus\tStand by\n"));
    }
};

QTEST_GUILESS_MAIN(TestSessionLog)
#include "tst_sessionlog.moc"
