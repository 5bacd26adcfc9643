#include "console/catalogue.h"
#include "console/commandextraction.h"

#include <QtTest>

using namespace zuno;

class TestCommandExtraction : public QObject
{
    Q_OBJECT

  private slots:
    void fromListItem_data();
    void fromListItem();
    void fromTextBox_data();
    void fromTextBox();
    void everyCatalogueItemRoundTrips_data();
    void everyCatalogueItemRoundTrips();
};

void TestCommandExtraction::fromListItem_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("textBox");

    QTest::newRow("basic item with description")
        << QStringLiteral("C00[CR]     :POWER ON") << QByteArray("C00\r") << "C00[CR]";
    QTest::newRow("read item with tab separator")
        << QStringLiteral("CR CONT[CR] \t:Get Contrast value") << QByteArray("CR CONT\r")
        << "CR CONT[CR]";
    QTest::newRow("marker without closing bracket")
        << QStringLiteral("CF INPUT2 DIGITAL[CR") << QByteArray("CF INPUT2 DIGITAL\r")
        << "CF INPUT2 DIGITAL[CR]";
    QTest::newRow("placeholders kept") << QStringLiteral("CF CONT 0%%[CR]  :Set Contrast")
                                       << QByteArray("CF CONT 0%%\r") << "CF CONT 0%%[CR]";
    QTest::newRow("cut at the first bracket only")
        << QStringLiteral("CF X[A][CR] :x") << QByteArray("CF X\r") << "CF X[CR]";
    QTest::newRow("no marker at all")
        << QStringLiteral("CF GAMMA 1 ") << QByteArray("CF GAMMA 1 \r") << "CF GAMMA 1 [CR]";
    QTest::newRow("item that begins with a bracket")
        << QStringLiteral("[CR]  :nothing") << QByteArray("\r") << "[CR]";
}

void TestCommandExtraction::fromListItem()
{
    QFETCH(QString, item);
    QFETCH(QByteArray, command);
    QFETCH(QString, textBox);

    QCOMPARE(consoleCommandFrom(item), command);
    QCOMPARE(textBoxTextFor(item), textBox);
    const ExtractedCommand both = extractFromItem(item);
    QCOMPARE(both.consoleCommand, command);
    QCOMPARE(both.textBoxText, textBox);
}

void TestCommandExtraction::fromTextBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("marker shown") << "C00[CR]" << QByteArray("C00\r");
    QTest::newRow("marker removed") << "C00" << QByteArray("C00\r");
    QTest::newRow("typing after the marker") << "C00[CR]xyz" << QByteArray("C00\r");
    QTest::newRow("begins with a bracket") << "[abc" << QByteArray("\r");
    QTest::newRow("empty box gives a bare CR") << "" << QByteArray("\r");
    QTest::newRow("no trimming, no case change")
        << "  cf gamma 1  " << QByteArray("  cf gamma 1  \r");
    QTest::newRow("parameter digits typed") << "CF CONT 042[CR]" << QByteArray("CF CONT 042\r");
    QTest::newRow("Latin-1 letter is one byte")
        << QString::fromUtf8("C\u00e9[CR]") << QByteArray("C\xe9\r");
    QTest::newRow("beyond Latin-1 becomes ?")
        << QString::fromUtf8("C\u20ac0") << QByteArray("C?0\r");
    QTest::newRow("surrogate pair becomes one ?")
        << QString::fromUtf8("C\U0001F600\U0001F6000") << QByteArray("C??0\r");
    QTest::newRow("control characters pass unchanged")
        << QStringLiteral("C\t0\r") << QByteArray("C\t0\r\r");
}

void TestCommandExtraction::fromTextBox()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, command);
    QCOMPARE(consoleCommandFrom(text), command);
}

void TestCommandExtraction::everyCatalogueItemRoundTrips_data()
{
    QTest::addColumn<CatalogueList>("list");
    QTest::newRow("basic") << CatalogueList::Basic;
    QTest::newRow("set") << CatalogueList::Set;
    QTest::newRow("read") << CatalogueList::Read;
}

// The text box set from an item, read back by the text box's own change step, must send
// exactly what choosing the item sent; and the command is the item's bytes before "[".
void TestCommandExtraction::everyCatalogueItemRoundTrips()
{
    QFETCH(CatalogueList, list);
    const QStringList items = Catalogue::items(list);
    QVERIFY(!items.isEmpty());
    for (int i = 0; i < items.size(); ++i) {
        const ExtractedCommand chosen = extractFromItem(items[i]);
        const QByteArray raw = Catalogue::item(list, i);
        const QByteArray expected = raw.left(raw.indexOf('[')) + '\r';
        QVERIFY2(chosen.consoleCommand == expected, raw.constData());
        QVERIFY2(consoleCommandFrom(chosen.textBoxText) == expected, raw.constData());
        QVERIFY2(chosen.textBoxText.endsWith(QLatin1String("[CR]")), raw.constData());
    }
}

QTEST_GUILESS_MAIN(TestCommandExtraction)
#include "tst_commandextraction.moc"
