#include "settings/portsettings.h"
#include "settings/settingsstore.h"
#include "settings/storednumber.h"
#include "support/testsupport.h"

#include <QtTest>

namespace Store = zuno::SettingsStore;

class TestStoredNumber : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::clear(); }

    void portReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("15 is the last port") << "15" << 15;
        QTest::newRow("1 is the first port") << "1" << 1;
        QTest::newRow("blank before the number") << " 7" << 7;
        QTest::newRow("tab before the number") << "\t7" << 7;
        QTest::newRow("number then text") << "3abc" << 3;
        QTest::newRow("16 is no port") << "16" << 0;
        QTest::newRow("0 is no port") << "0" << 0;
        QTest::newRow("negative is no port") << "-1" << 0;
        QTest::newRow("default text") << "DATAC" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("too large for 16 bits") << "65539" << 0;
        QTest::newRow("too large for any variable") << "99999999999999999999999" << 0;
        QTest::newRow("sign then blank") << "- 3" << 0;
        QTest::newRow("plus sign") << "+4" << 4;
        QTest::newRow("fraction keeps the whole part") << "4.9" << 4;
        QTest::newRow("non-ASCII digits are no number") << QString::fromUtf8("\u0663") << 0;
    }
    void portReading()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QCOMPARE(int(zuno::readStoredPortNumber(text)), port);
    }

    void baudReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::newRow("96") << "96" << 96;
        QTest::newRow("blank 96") << " 96" << 96;
        QTest::newRow("192") << "192" << 192;
        QTest::newRow("9600 is not a code") << "9600" << 192;
        QTest::newRow("default text") << "DATAb" << 192;
        QTest::newRow("352 would wrap to 96 in 8 bits") << "352" << 192;
        QTest::newRow("huge") << "123456789012345678901234567890" << 192;
    }
    void baudReading()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QCOMPARE(int(zuno::readStoredBaudCode(text)), code);
        QCOMPARE(QString::fromLatin1(zuno::lineParameters(zuno::readStoredBaudCode(text))),
                 code == 96 ? QStringLiteral("9600,N,8,1") : QStringLiteral("19200,N,8,1"));
    }

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

QTEST_GUILESS_MAIN(TestStoredNumber)
#include "tst_storednumber.moc"
