#include "testing/fakesession.h"
#include "testing/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

using namespace zuno;

// The session's start-up and closing against settings stores of every shape: plain, damaged or
// hand-edited files, things standing where the file should be, and stores that cannot be written.
class TestHostileSettings : public QObject
{
    Q_OBJECT

    static QString configDir() { return QFileInfo(TempStore::filePath()).path(); }

    // Runs the start-up; true when it asks for a port.
    static bool startAsksForAPort(FakeSession& f)
    {
        QSignalSpy needed(&f.session, &Session::portNeeded);
        f.session.start();
        return !needed.isEmpty();
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    // Gives the folder its mode back and removes a folder where the store's file should be (the
    // next test's store replaces a file or link there).
    void cleanup()
    {
        QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(TempStore::filePath()).removeRecursively();
    }

    void oddStores_data()
    {
        QTest::addColumn<QByteArray>("contents");
        // What stands at the store's path ("link:" and the link's target), or what limits it.
        QTest::addColumn<QString>("inTheWay");
        QTest::addColumn<int>("baud"); // the port opens at it; 0: no valid port, the port dialog
        QTest::addColumn<QByteArray>("prefix");
        const auto row = [](const char* name, const QByteArray& contents, const char* inTheWay,
                            int baud, const char* prefix) {
            QTest::newRow(name) << contents << inTheWay << baud << QByteArray(prefix);
        };
        // Every byte value, NUL included, but no quote or escape, which would join lines into one.
        QByteArray junk;
        for (int i = 0; i < 1024; ++i)
            junk += char(i * 167);
        junk.replace('"', "").replace('\\', "");
        const QByteArray normal = "[StartUP]\nComPort=3\nBaudRate=96\nADRESS=A002\n";
        // clang-format off
        row("empty file", "", "", 0, "");
        row("group name in other case", "[Startup]\nComPort=3\nBaudRate=96\nADRESS=A003\n", "", 0, "");
        row("keys outside any group", "ComPort=3\nBaudRate=96\nADRESS=A003\n", "", 0, "");
        row("key name in lower case", "[StartUP]\ncomport=3\nADRESS=A003\n", "", 0, "");
        row("speed in bit/s is no code", "[StartUP]\nComPort=3\nBaudRate=9600\nADRESS=AFFF\n", "", 19200, "AFFF");
        row("speed 352 would wrap to 96 in 8 bits", "[StartUP]\nComPort=3\nBaudRate=352\nADRESS=A005\n", "", 19200, "");
        row("huge speed, lower case address", "[StartUP]\nComPort=3\nBaudRate=123456789012345678901234567890\nADRESS=a001\n", "", 19200, "");
        row("port of 60000 digits", "[StartUP]\nComPort=3" + QByteArray(60000, '0') + '\n', "", 0, "");
        row("invalid UTF-8 before the digit", "[StartUP]\nComPort=\xff\xfe\x33\n", "", 0, "");
        row("NUL before the digit", QByteArrayLiteral("[StartUP]\nComPort=\0003\n"), "", 0, "");
        row("binary junk only", junk, "", 0, "");
        row("stored variant claiming a 2 GB text", "[StartUP]\nComPort=@Variant(\\0\\0\\0\\n\\x7f\\xff\\xff\\xfe)\n", "", 0, "");
        row("stored variant of garbage", "[StartUP]\nComPort=@Variant(garbage\n", "", 0, "");
        row("blanks around plain values", "[StartUP]\nComPort=  3  \nBaudRate= 96 \nADRESS= A003 \n", "", 9600, "A003");
        row("blanks inside quotes", "[StartUP]\nComPort=\" 3\"\nBaudRate=\"96 \"\nADRESS=\" A003\"\n", "", 9600, "");
        row("NUL bytes inside values", QByteArrayLiteral("[StartUP]\nComPort=3\0 7\nBaudRate=96\0\nADRESS=\0A003\n"), "", 9600, "");
        row("binary junk before the group", junk + "\n" + normal, "", 9600, "A002");
        row("unclosed quote takes the rest as the port's text", "[StartUP]\nComPort=\"3\nBaudRate=96\nADRESS=A003\n", "", 19200, "");
        row("values that read as lists", "[StartUP]\nComPort=3,4\nBaudRate=96,1\nADRESS=A001,A002\n", "", 9600, "");
        row("CR LF line ends", "[StartUP]\r\nComPort=3\r\nBaudRate=96\r\nADRESS=A004\r\n", "", 9600, "A004");
        row("unclosed group header", "[StartUP\nComPort=3\nBaudRate=96\n", "", 9600, "");
        row("stored byte array, rectangle and huge variant", "[StartUP]\nComPort=@ByteArray(3)\nBaudRate=@Rect(1 2 3 4)\nADRESS=@Variant(\\0\\0\\0\\n\\x7f\\xff\\xff\\xfe)\n", "", 19200, "");
        row("folder where the file should be", normal, "folder", 0, "");
        row("symbolic link to itself", normal, "link:ZUNO.conf", 0, "");
        row("symbolic link to nothing", normal, "link:absent/ZUNO.conf", 0, "");
        row("read-only file", normal, "read-only file", 9600, "A002");
        row("read-only folder", normal, "read-only folder", 9600, "A002");
        row("file size limit at close", normal, "size limit", 9600, "A002");
        // clang-format on
    }
    // The session starts on what it can read (asking for a port when none is valid), writes
    // nothing at start-up, and at close writes only the address into whatever the store held, if
    // it can; closing never fails, and a store it cannot write is left whole.
    void oddStores()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, inTheWay);
        QFETCH(int, baud);
        QFETCH(QByteArray, prefix);
        TempStore::writeRaw(contents);
        const QString path = TempStore::filePath();
        if (inTheWay == "folder")
            QVERIFY(QFile::remove(path) && QDir().mkpath(path));
        if (inTheWay.startsWith("link:"))
            QVERIFY(QFile::remove(path) && QFile::link(configDir() + '/' + inTheWay.mid(5), path));
        if (inTheWay.startsWith("read-only"))
            QVERIFY(QFile::setPermissions(inTheWay.endsWith("file") ? path : configDir(),
                                          QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray before = TempStore::readRaw();

        FakeSession f;
        QCOMPARE(startAsksForAPort(f), baud == 0);
        QCOMPARE(f.link.isOpen() ? f.link.bitsPerSecond : 0, baud);
        QVERIFY(!f.link.isOpen() || f.link.port == 3);
        QCOMPARE(f.session.exchange().address(), prefix);
        QCOMPARE(TempStore::readRaw(), before);

        // Closing keeps the other entries.
        const QString portBefore = TempStore::value("StartUP", "ComPort", "-");
        {
            FileSizeLimit limit(inTheWay == "size limit" ? 8 : qint64(RLIM_INFINITY));
            f.session.end();
        }
        QVERIFY(!f.link.isOpen());
        QCOMPARE(TempStore::value("StartUP", "ComPort", "-"), portBefore);
        // The address is stored where the store can be written: a link that leads to no file
        // gets its file. A folder stays, and no half-written copy is left beside the store.
        const bool folder = inTheWay == "folder";
        QCOMPARE(TempStore::value("StartUP", "ADRESS", "-"), folder ? "-" : QString(prefix));
        QCOMPARE(QDir(configDir()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 folder ? QStringList() : QStringList{"ZUNO.conf"});
        // Modes bind only when not running as the superuser, who may write anyway.
        if (inTheWay == "size limit" || (inTheWay.startsWith("read-only") && ::geteuid() != 0))
            QCOMPARE(TempStore::readRaw(), contents);
    }

    // A store of 50 MB is not read: the session starts on its defaults (asking for a port), its
    // memory does not grow by anything like the file, the file stays as it was, and one notice
    // says so.
    void hugeStoreIsNotRead()
    {
        constexpr qint64 kFileBytes = 50 * 1024 * 1024;
        TempStore::writeRaw("[StartUP]\nComPort=3\nBaudRate=96\n");
        QFile file(TempStore::filePath());
        QVERIFY(file.resize(kFileBytes));
        const QDateTime old = QDateTime::currentDateTime().addDays(-1);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(old, QFile::FileModificationTime));
        file.close();
        const auto maxRssKiB = [] {
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            return qint64(usage.ru_maxrss);
        };
        const qint64 rssBefore = maxRssKiB();

        FakeSession f;
        QSignalSpy notices(&f.session, &Session::notice);
        QVERIFY(startAsksForAPort(f));
        f.session.chooseAddress("A001");
        f.session.end();
        QVERIFY(!f.link.isOpen() && notices.size() == 1);
        const QString notice = notices.first().first().toString();
        QVERIFY(notice.contains(TempStore::filePath()) && notice.contains("64 KiB"));
        QCOMPARE(QFileInfo(TempStore::filePath()).size(), kFileBytes);
        QCOMPARE(QFileInfo(TempStore::filePath()).lastModified(), old);
#ifndef __SANITIZE_ADDRESS__ // the address sanitizer keeps freed memory resident on purpose
        QVERIFY2(maxRssKiB() - rssBefore < 10 * 1024,
                 qPrintable(QString::number(maxRssKiB() - rssBefore)));
#else
        Q_UNUSED(rssBefore);
#endif
    }
};

QTEST_GUILESS_MAIN(TestHostileSettings)
#include "tst_hostilesettings.moc"
