#include "core/storednumber.h"
#include "settings/initext.h"
#include "settings/settings.h"
#include "testing/testsupport.h"

#include <QLockFile>
#include <QtTest>

#include <atomic>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using zuno::Settings;

// The settings on a real file in a temporary folder.
class TestSettings : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::clear(); }

    // A file replaced by another of the same size within one tick of the file system's clock is
    // read anew, not taken for the one read before.
    void sameSizeReplacementReadAnew()
    {
        for (const char digit : QByteArrayView("123456")) {
            TempStore::writeRaw(QByteArray("[StartUP]\nComPort=") + digit + '\n');
            QCOMPARE(Settings().text("StartUP", "ComPort", "missing"), QString(QLatin1Char(digit)));
        }
    }

    // The session log's file, written by hand, may start from the home folder as in a shell.
    void logFileFromTheHomeFolder()
    {
        const QString home = QDir::homePath();
        const QList<std::pair<QByteArray, QString>> rows{{"~/zuno.log", home + "/zuno.log"},
                                                         {"$HOME/logs/a", home + "/logs/a"},
                                                         {"${HOME}/b", home + "/b"},
                                                         {" /var/log/zuno ", "/var/log/zuno"},
                                                         {"~other/c", "~other/c"},
                                                         {"$HOMEX/d", "$HOMEX/d"},
                                                         {"logs/~/e", "logs/~/e"}};
        for (const auto& [written, path] : rows) {
            TempStore::writeRaw("[Log]\nFile=" + written + '\n');
            QCOMPARE(Settings().logFile(), path);
        }
    }

    // What the typed writers store is what the panel reads back, in the file's own codes.
    void typedWritesReadBack()
    {
        Settings settings;
        QVERIFY(settings.storePortChoice({12, 9600}) && settings.storeAddress("A002"));
        QVERIFY(settings.storePortEntry(3, " /dev/ttyACM0 "));
        QCOMPARE(TempStore::readRaw(), "[StartUP]\nComPort=12\nBaudRate=96\nADRESS=A002\n\n[Ports]"
                                       "\nCOM3=\" /dev/ttyACM0 \"\n");
        QCOMPARE(settings.portEntry(3), QStringLiteral("/dev/ttyACM0"));
        QVERIFY(settings.storePortChoice({12, 19200}));
        const zuno::StoredStartUp stored = Settings().startUp();
        QVERIFY(stored.port == 12 && stored.bitsPerSecond == 19200 && stored.address == "A002");
        QVERIFY(settings.removePortEntry(3) && settings.portEntry(3).isEmpty());
    }

    // A write changes the value on the key's line, or adds a line or a section, and leaves
    // every other byte; the key is found as QSettings finds it.
    void editsOnlyTheChangedLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text"); // a null text removes the key
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, const QByteArray& before, const char* key,
                            const QString& text, const QByteArray& after) {
            QTest::newRow(name) << before << QString(key) << text << after;
        };
        const QByteArray notes = "; my notes\n\n[Ports]\n  COM5 = /dev/x   ; adapter\nodd line\n";
        // clang-format off
        row("spacing and comment around the value kept", notes + "[StartUP]\n ComPort =  3 ; last\n\n",
            "ComPort", "12", notes + "[StartUP]\n ComPort =  12 ; last\n\n");
        row("added after the section's last entry", "[StartUP]\nADRESS=A001\n\n; next\n[Ports]\nCOM1=/d\n",
            "ComPort", "4", "[StartUP]\nADRESS=A001\nComPort=4\n\n; next\n[Ports]\nCOM1=/d\n");
        row("new section at the end, no final line break", "[Ports]\nCOM1=/d",
            "ComPort", "4", "[Ports]\nCOM1=/d\n\n[StartUP]\nComPort=4\n");
        row("section in other case is another section", "[startup]\nComPort=1\n",
            "ComPort", "4", "[startup]\nComPort=1\n\n[StartUP]\nComPort=4\n");
        row("key written with an escape", "[StartUP]\nCom%50ort=1\n", "ComPort", "4", "[StartUP]\nCom%50ort=4\n");
        row("the last of twice the key and the section", "[StartUP]\nComPort=1\n[Ports]\n[StartUP]\nComPort=2\n",
            "ComPort", "4", "[StartUP]\nComPort=1\n[Ports]\n[StartUP]\nComPort=4\n");
        row("value spanning lines in quotes", "[StartUP]\nComPort=\"1\n2\"\nADRESS=A001\n",
            "ComPort", "4", "[StartUP]\nComPort=4\nADRESS=A001\n");
        row("quote left open at the end", "[StartUP]\nComPort=\"3\nADRESS=A003\n",
            "ADRESS", "A001", "[StartUP]\nComPort=\"3\nADRESS=A003\n\"\nADRESS=A001\n");
        row("CR LF line ends", "[StartUP]\r\nComPort=1\r\n", "ADRESS", "", "[StartUP]\r\nComPort=1\r\nADRESS=\r\n");
        row("already holds it, quoted", "[StartUP]\nComPort = \" 3\" ; q\n", "ComPort", " 3", "[StartUP]\nComPort = \" 3\" ; q\n");
        row("already holds it, escaped", "[StartUP]\nADRESS=\\x41\\60\\x30\\61\n", "ADRESS", "A001", "[StartUP]\nADRESS=\\x41\\60\\x30\\61\n");
        row("removed wherever it stands", "[Ports]\n  COM5=/a ; old\nCOM6=/b\n[Ports]\nCOM5=/c\n",
            "COM5", QString(), "[Ports]\nCOM6=/b\n[Ports]\n");
        // A backslash at the end carries a line over: a new entry is kept out of its reach.
        row("after a line carried over", "[StartUP]\nComPort=3\\\n", "ADRESS", "A001",
            "[StartUP]\nComPort=3\\\n\nADRESS=A001\n");
        row("after a backslash at the very end", "[Ports]\nCOM1=x\\", "COM2", "y",
            "[Ports]\nCOM1=x\\\n\nCOM2=y\n");
        // clang-format on
    }
    void editsOnlyTheChangedLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QByteArray, after);
        TempStore::writeRaw(before);
        const QString section = key.startsWith("COM") ? "Ports" : "StartUP";
        QVERIFY(text.isNull() ? Settings().remove(section, key)
                              : Settings().store(section, {{key, text}}));
        QCOMPARE(TempStore::readRaw(), after);
        QCOMPARE(Settings().text(section, key, "missing"), text.isNull() ? "missing" : text);
        QCOMPARE(Settings().text("Ports", "COM1", "-"), TempStore::value("Ports", "COM1", "-"));
    }

    // A line taken over for a while (the simulator's --register) and given back stands again
    // byte for byte, or goes when there was none; a port mapped elsewhere meanwhile keeps that.
    void lineTakenOverComesBack_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("meanwhile"); // another writer's entry, made while taken
        QTest::addColumn<QByteArray>("after");
        // clang-format off
        QTest::newRow("indented, spaced, commented, CR LF")
            << QByteArray("[Ports]\r\n  COM7 =  /dev/serial/by-id/usb-x  ; mine\r\nCOM8=/a\r\n") << QByteArray()
            << QByteArray("[Ports]\r\n  COM7 =  /dev/serial/by-id/usb-x  ; mine\r\nCOM8=/a\r\n");
        QTest::newRow("twice, quoted over two lines")
            << QByteArray("[Ports]\nCOM7=/old\nCOM%37=\"/a\n b\"\n") << QByteArray()
            << QByteArray("[Ports]\nCOM7=/old\nCOM%37=\"/a\n b\"\n");
        QTest::newRow("last line without a break, one added after it")
            << QByteArray("[Ports]\nCOM7=/a") << QByteArray("COM9")
            << QByteArray("[Ports]\nCOM7=/a\nCOM9=/other\n");
        QTest::newRow("none before") << QByteArray("[Ports]\nCOM1=/a\n") << QByteArray()
                                     << QByteArray("[Ports]\nCOM1=/a\n");
        QTest::newRow("mapped elsewhere meanwhile") << QByteArray("[Ports]\nCOM7=/a\n") << QByteArray("COM7")
                                                    << QByteArray("[Ports]\nCOM7=/other\n");
        // clang-format on
    }
    void lineTakenOverComesBack()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, meanwhile);
        QFETCH(QByteArray, after);
        using namespace zuno::IniText;
        const std::optional<QByteArray> line = entryLine(before, "Ports", "COM7");
        QByteArray text = withChanges(before, "Ports", {{"COM7", QStringLiteral("/dev/pts/9")}});
        if (!meanwhile.isEmpty())
            text = withChanges(text, "Ports", {{meanwhile, QStringLiteral("/other")}});
        QCOMPARE(withChanges(text, "Ports", {{"COM7", std::nullopt, "/dev/pts/9", line}}), after);
    }

    // Texts the file format gives a meaning to read back exactly as written.
    void awkwardTextsReadBack()
    {
        // clang-format off
        const QStringList texts{"a;b", "96, 192", "say \"hi\"", "C:\\dev\\x", "k=v", " lead", "trail ", "\t",
            "é 日本 😀", "@Variant(x)", "@@", "line\nend", "\x01" "f", QString(), QString::fromUtf8("nul\0" "1", 5)};
        // clang-format on
        for (const QString& text : texts) {
            QVERIFY(Settings().store("Ports", {{"COM9", text}}));
            QCOMPARE(Settings().text("Ports", "COM9", "missing"), text);
            QCOMPARE(TempStore::value("Ports", "COM9", "missing"), text);
            const QByteArray raw = TempStore::readRaw(); // the same text again changes nothing
            QVERIFY(Settings().store("Ports", {{"COM9", text}}) && TempStore::readRaw() == raw);
        }
        // A key with characters the format escapes is found again, not added twice.
        QVERIFY(Settings().store("Ports", {{"tcp host:1", "x"}}) &&
                Settings().store("Ports", {{"tcp host:1", "y"}}));
        QCOMPARE(TempStore::readRaw().count("tcp%20host%3A1="), 1);
        QCOMPARE(Settings().text("Ports", "tcp host:1", "missing"), QStringLiteral("y"));
    }

    // A store that is a link (settings kept elsewhere) stays a link; the file it names changes.
    // A store that already holds the text is not touched at all.
    void linkStaysAndEqualTextWritesNothing()
    {
        const QString target = QFileInfo(TempStore::filePath()).path() + "/dotfiles/zuno.conf";
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QFile::remove(target);
        QVERIFY(QFile::link(target, TempStore::filePath()));
        QVERIFY(Settings().store("StartUP", {{"ComPort", "5"}, {"BaudRate", "96"}}));
        QVERIFY(QFileInfo(TempStore::filePath()).isSymLink());
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[StartUP]\nComPort=5\nBaudRate=96\n"));

        // An old time, so that any rewrite would show.
        const QDateTime old = QDateTime::currentDateTime().addDays(-3);
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        const auto inode = [&] {
            struct stat info = {};
            return ::stat(QFile::encodeName(target).constData(), &info) == 0 ? info.st_ino : 0;
        };
        const auto before = inode();
        QVERIFY(Settings().store("StartUP", {{"ComPort", "5"}}));
        QVERIFY(Settings().remove("StartUP", "ADRESS"));
        QCOMPARE(inode(), before);
        QCOMPARE(QFileInfo(target).lastModified(), old);
        QVERIFY(Settings().store("StartUP", {{"ComPort", "6"}}));
        QVERIFY(inode() != before);
    }

    // A store beyond 64 KiB is not written, not even to remove a key (the session's reading and
    // closing on one are tested with the session), and no write makes it that large.
    void oversizedStoreIsLeftAlone()
    {
        const QByteArray big = "[StartUP]\nComPort=3\n;" + QByteArray(64 * 1024, 'x') + '\n';
        TempStore::writeRaw(big);
        QVERIFY(!Settings().remove("StartUP", "ComPort"));
        QCOMPARE(TempStore::readRaw(), big);
        TempStore::clear();
        QVERIFY(!Settings().store("Notes", {{"Text", QString(64 * 1024, QLatin1Char('x'))}}));
        QVERIFY(!QFile::exists(TempStore::filePath()));
    }

    // A file the user may not write is not written, and the write says why: a read-only file
    // (also for the superuser), a link to a device node (such as /dev/null). A file of another
    // user that the superuser writes keeps its owner.
    void writesOnlyWhatItMay_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("problem"); // empty: written
        QTest::newRow("read-only") << "read-only"
                                   << "ZUNO.conf is read-only";
        QTest::newRow("link to a device node") << "device"
                                               << "is not a regular file but a device";
        QTest::newRow("another user's") << "owner"
                                        << "";
    }
    void writesOnlyWhatItMay()
    {
        QFETCH(QString, what);
        QFETCH(QString, problem);
        const QString path = TempStore::filePath(), node = path + ".node";
        const QByteArray before = "[StartUP]\nComPort=3\n";
        TempStore::writeRaw(before);
        if (what == "read-only")
            QVERIFY(QFile::setPermissions(path,
                                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if ((what == "device" || what == "owner") && ::geteuid() != 0)
            QSKIP("only the superuser makes device nodes and files of other users");
        if (what == "device")
            QVERIFY(QFile::remove(path) &&
                    ::mknod(QFile::encodeName(node), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                    QFile::link(node, path));
        if (what == "owner")
            QVERIFY(::chown(QFile::encodeName(path), 4242, 4343) == 0);
        const auto cleanUp = qScopeGuard([&] { QFile::remove(node); });

        Settings settings;
        QCOMPARE(settings.storeAddress("A001"), problem.isEmpty());
        QVERIFY2(settings.writeProblem().contains(problem), qPrintable(settings.writeProblem()));
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(path), &info) == 0);
        if (what == "device")
            QVERIFY(S_ISCHR(info.st_mode) && info.st_rdev == makedev(1, 3));
        if (what == "owner")
            QVERIFY(info.st_uid == 4242 && info.st_gid == 4343 && (info.st_mode & 0777) == 0644);
        if (what != "device")
            QCOMPARE(TempStore::readRaw(), problem.isEmpty() ? before + "ADRESS=A001\n" : before);
    }

    // A write that would change nothing is answered at once, even while another program holds
    // the lock (waiting for it would give up after ten seconds, and fail).
    void unchangedWriteWaitsForNoLock()
    {
        TempStore::writeRaw("[StartUP]\nADRESS=A001\n");
        std::atomic<bool> locked = false, done = false;
        std::thread holder([&] {
            QLockFile lock(TempStore::filePath() + ".lock");
            locked = lock.lock();
            while (!done)
                std::this_thread::yield();
        });
        const auto release = qScopeGuard([&] {
            done = true;
            holder.join();
        });
        QTRY_VERIFY(locked);
        QVERIFY(Settings().storeAddress("A001"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
