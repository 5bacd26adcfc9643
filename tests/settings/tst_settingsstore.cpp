#include "core/storednumber.h"
#include "settings/settingsstore.h"
#include "testing/testsupport.h"

#include <QtTest>

#include <sys/stat.h>

namespace Store = zuno::SettingsStore;

// The settings store on a real file in a temporary folder.
class TestSettingsStore : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::clear(); }

    void storeRoundTrip()
    {
        QCOMPARE(Store::read("StartUP", "ComPort", "DATAC"), QStringLiteral("DATAC"));
        QVERIFY(Store::remove("Ports", "COM1"));
        QVERIFY(!QFile::exists(TempStore::filePath())); // reading or removing creates nothing
        QVERIFY(Store::write("StartUP", "ComPort", "7"));
        QVERIFY(Store::write("StartUP", "ADRESS", ""));
        QCOMPARE(Store::read("StartUP", "ComPort", "DATAC"), QStringLiteral("7"));
        // An empty text is an empty entry, not a missing one.
        QCOMPARE(Store::read("StartUP", "ADRESS", "DATAD"), QString());
        QVERIFY(TempStore::readRaw().contains("[StartUP]"));
        QVERIFY(TempStore::readRaw().contains("ComPort=7"));
    }

    void handEditedValues()
    {
        TempStore::writeRaw("[StartUP]\nComPort=\" 7\"\nBaudRate=96, 192\nADRESS=A001\n");
        QCOMPARE(zuno::readStoredPortNumber(Store::read("StartUP", "ComPort", "DATAC")), 7);
        // An unquoted comma makes a list in the file format; it still reads as its text.
        QCOMPARE(Store::read("StartUP", "BaudRate", "DATAb"), QStringLiteral("96, 192"));
        QCOMPARE(int(zuno::readStoredBaudCode(Store::read("StartUP", "BaudRate", "DATAb"))), 96);
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
        QVERIFY(text.isNull() ? Store::remove(section, key) : Store::write(section, key, text));
        QCOMPARE(TempStore::readRaw(), after);
        QCOMPARE(Store::read(section, key, "missing"), text.isNull() ? "missing" : text);
    }

    // Texts the file format gives a meaning to read back exactly as written.
    void awkwardTextsReadBack()
    {
        // clang-format off
        const QStringList texts{"a;b", "96, 192", "say \"hi\"", "C:\\dev\\x", "k=v", " lead", "trail ", "\t",
            "é 日本 😀", "@Variant(x)", "@@", "line\nend", "\x01" "f", QString(), QString::fromUtf8("nul\0" "1", 5)};
        // clang-format on
        for (const QString& text : texts) {
            QVERIFY(Store::write("Ports", "COM9", text));
            QCOMPARE(Store::read("Ports", "COM9", "missing"), text);
            QCOMPARE(TempStore::value("Ports", "COM9", "missing"), text);
            const QByteArray raw = TempStore::readRaw(); // the same text again changes nothing
            QVERIFY(Store::write("Ports", "COM9", text) && TempStore::readRaw() == raw);
        }
        // A key with characters the format escapes is found again, not added twice.
        QVERIFY(Store::write("Ports", "tcp host:1", "x") &&
                Store::write("Ports", "tcp host:1", "y"));
        QCOMPARE(TempStore::readRaw().count("tcp%20host%3A1="), 1);
        QCOMPARE(Store::read("Ports", "tcp host:1", "missing"), QStringLiteral("y"));
    }

    // A store that is a link (settings kept elsewhere) stays a link; the file it names changes.
    // A store that already holds the text is not touched at all.
    void linkStaysAndEqualTextWritesNothing()
    {
        const QString target = QFileInfo(TempStore::filePath()).path() + "/dotfiles/zuno.conf";
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QFile::remove(target);
        QVERIFY(QFile::link(target, TempStore::filePath()));
        QVERIFY(Store::write("StartUP", {{"ComPort", "5"}, {"BaudRate", "96"}}));
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
        QVERIFY(Store::write("StartUP", "ComPort", "5"));
        QVERIFY(Store::remove("StartUP", "ADRESS"));
        QCOMPARE(inode(), before);
        QCOMPARE(QFileInfo(target).lastModified(), old);
        QVERIFY(Store::write("StartUP", "ComPort", "6"));
        QVERIFY(inode() != before);
    }

    // A store beyond 64 KiB is not read (its keys read as missing) and not written.
    void oversizedStoreIsLeftAlone()
    {
        const QByteArray big = "[StartUP]\nComPort=3\n;" + QByteArray(64 * 1024, 'x') + '\n';
        TempStore::writeRaw(big);
        QVERIFY(Store::isTooLarge());
        QCOMPARE(Store::read("StartUP", "ComPort", "DATAC"), QStringLiteral("DATAC"));
        QVERIFY(!Store::write("StartUP", "ComPort", "4"));
        QVERIFY(!Store::remove("StartUP", "ComPort"));
        QCOMPARE(TempStore::readRaw(), big);
        // Nor does a write make it that large.
        TempStore::clear();
        QVERIFY(!Store::write("Notes", "Text", QString(64 * 1024, u'x')));
        QVERIFY(!QFile::exists(TempStore::filePath()));
    }

    void failedWriteIsReported()
    {
        // A folder where the store's file should be cannot be written, not even by the superuser.
        QVERIFY(QDir().mkpath(TempStore::filePath()));
        QVERIFY(!Store::write("StartUP", "ComPort", "4"));
        QCOMPARE(Store::read("StartUP", "ComPort", "DATAC"), QStringLiteral("DATAC"));
        QVERIFY(QDir(TempStore::filePath()).removeRecursively());

        // A full disk: the write is refused whole and what was stored stays readable.
        QVERIFY(Store::write("Ports", "COM1", QString(200, u'x')));
        QVERIFY(Store::write("StartUP", "ComPort", "3"));
        const QByteArray before = TempStore::readRaw();
        {
            FileSizeLimit diskFull(before.size() + 20);
            QVERIFY(!Store::write("StartUP", {{"ADRESS", "A001"}, {"BaudRate", "192"}}));
        }
        QCOMPARE(TempStore::readRaw(), before);
        // No copy is left beside the store.
        QCOMPARE(
            QDir(QFileInfo(TempStore::filePath()).path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"ZUNO.conf"});
        QCOMPARE(Store::read("StartUP", "ComPort", "DATAC"), QStringLiteral("3"));
        QVERIFY(Store::write("StartUP", "ADRESS", "A001"));
        QCOMPARE(Store::read("StartUP", "ADRESS", "DATAD"), QStringLiteral("A001"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
