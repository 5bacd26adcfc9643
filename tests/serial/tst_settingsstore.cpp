#include "core/storednumber.h"
#include "serial/settingsstore.h"
#include "testing/testsupport.h"

#include <QtTest>

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
        QVERIFY(!QFile::exists(TempStore::filePath())); // reading creates nothing
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
            FileSizeLimit diskFull(before.size() - 1);
            QVERIFY(!Store::write("StartUP", "ADRESS", "A001"));
        }
        QCOMPARE(TempStore::readRaw(), before);
        QCOMPARE(Store::read("StartUP", "ComPort", "DATAC"), QStringLiteral("3"));
        QVERIFY(Store::write("StartUP", "ADRESS", "A001"));
        QCOMPARE(Store::read("StartUP", "ADRESS", "DATAD"), QStringLiteral("A001"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
