#include "core/portchoice.h"
#include "core/storednumber.h"

#include <QtTest>

class TestStoredNumber : public QObject
{
    Q_OBJECT
  private slots:
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
};

QTEST_GUILESS_MAIN(TestStoredNumber)
#include "tst_storednumber.moc"
