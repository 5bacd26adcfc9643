#include "core/catalogue.h"
#include "core/commandextraction.h"

#include <QtTest>

using namespace zuno;

class TestCommandExtraction : public QObject
{
    Q_OBJECT

  private slots:
    // What SEND transmits for a text box text: cut at the first "[", nothing else touched.
    void fromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("marker shown") << "C00[CR]" << QByteArray("C00\r");
        QTest::newRow("no marker") << "C00" << QByteArray("C00\r");
        QTest::newRow("cut at the first bracket") << "CF X[A][CR] :x" << QByteArray("CF X\r");
        QTest::newRow("begins with a bracket") << "[abc" << QByteArray("\r");
        QTest::newRow("empty box gives a bare CR") << "" << QByteArray("\r");
        QTest::newRow("no trimming, no case change") << "  cf g 1  " << QByteArray("  cf g 1  \r");
        // Latin-1 letters are one byte each; beyond, one "?" per code point (a pair counts once).
        QTest::newRow("beyond Latin-1")
            << QString::fromUtf16(u"C\u00e9\u20ac\U0001F6000") << QByteArray("C\xe9??0\r");
        QTest::newRow("control characters kept") << "C\t0\r" << QByteArray("C\t0\r\r");
    }
    void fromText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, command);
        QCOMPARE(consoleCommandFrom(text), command);
    }

    // Every catalogue item, the marker without "]" and the "%" items included: choosing it
    // sends its bytes before "[", and the text box it fills sends the same bytes again.
    void everyCatalogueItemRoundTrips()
    {
        for (const auto list : {CatalogueList::Basic, CatalogueList::Set, CatalogueList::Read}) {
            const QStringList items = Catalogue::items(list);
            for (int i = 0; i < items.size(); ++i) {
                const QByteArray raw = Catalogue::item(list, i);
                const QByteArray command = raw.left(raw.indexOf('['));
                const ExtractedCommand chosen = extractFromItem(items[i]);
                QCOMPARE(chosen.consoleCommand, command + '\r');
                QCOMPARE(chosen.textBoxText, QString::fromLatin1(command + "[CR]"));
                QCOMPARE(consoleCommandFrom(chosen.textBoxText), command + '\r');
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandExtraction)
#include "tst_commandextraction.moc"
