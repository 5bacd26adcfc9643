#include "core/catalogue.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using namespace zuno;

namespace {

constexpr auto Basic = CatalogueList::Basic;
constexpr auto Set = CatalogueList::Set;
constexpr auto Read = CatalogueList::Read;

// The item each list opens on, each list's longest item, and every deviation of the data;
// the format check leaves these pinned items to this table.
const std::tuple<const char*, CatalogueList, int, QByteArray> kExactItems[] = {
    {"basic: first", Basic, 0, "C00[CR]     :POWER ON"},
    {"basic: longest", Basic, 1, "C01[CR]     :POWER OFF(Quick Power OFF)"},
    {"set: first", Set, 0, "CF CONT UP[CR]  \t\t:Set Contrast value"},
    {"set: longest", Set, 728,
     "CF SHUTKEYPROT ON[CR]  \t\t:Set valid / invalid use of key on the top panel on Shutter "
     "control function"},
    {"set: 480I trailing space", Set, 113, "CF ORGMODE 480I[CR] "},
    {"set: INPUT2 open marker", Set, 186, "CF INPUT2 DIGITAL[CR"},
    {"set: INPUT3 open marker", Set, 205, "CF INPUT3 DIGITAL[CR"},
    {"set: INPUT4 open marker", Set, 224, "CF INPUT4 DIGITAL[CR"},
    {"set: SDREEN keyword", Set, 271, "CF SDREEN NATURAL[CR]"},
    {"set: 3LAMPAUTO two tabs", Set, 326, "CF LAMPMODE 3LAMPAUTO[CR]\t\t"},
    {"set: 3LAMP123 two tabs", Set, 327, "CF LAMPMODE 3LAMP123[CR]\t\t"},
    {"set: 3LAMP234 two tabs", Set, 328, "CF LAMPMODE 3LAMP234[CR]\t\t"},
    {"set: 3LAMP134 two tabs", Set, 329, "CF LAMPMODE 3LAMP134[CR]\t\t"},
    {"set: 3LAMP124 two tabs", Set, 330, "CF LAMPMODE 3LAMP124[CR]\t\t"},
    {"set: BLENDBLKALL trailing space", Set, 628, "CF BLENDBLKALL DN[CR] "},
    {"set: BLENDTESTPAT trailing space", Set, 630, "CF BLENDTESTPAT OFF[CR] "},
    {"set: RSENS semicolon", Set, 701,
     "CF RSENS ALL[CR] \t\t;Select location of infrared remote receiver of remote control"},
    {"set: FDEFAULT tab at the end", Set, 782,
     "CF FDEFAULT RST[CR]  \t\t:Set the value to Factory Default \t"},
    {"read: first", Read, 0, "CR CONT[CR] \t:Get Contrast value"},
    {"read: longest", Read, 28,
     "CR SERSYS[CR] \t:Get selected current signal. When in Auto mode, it returns a result by Auto "
     "detect"},
    {"read: CF LAMPINTERVAL", Read, 68, "CF LAMPINTERVAL[CR]:Get setting of lamp interval mode"},
    {"read: CF LAMPLIFEFCONTRL", Read, 69,
     "CF LAMPLIFEFCONTRL[CR]:Get setting of lamp life control mode"},
    {"read: CMTGXY GREEEN", Read, 95, "CR CMTGXY GREEEN[CR] :Get setting value of Target xy"},
    {"read: CMTGG GREEEN", Read, 101, "CR CMTGG GREEEN[CR] :Get setting value of Target g"},
};

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

  private slots:
    // Per list: the pinned items, count, nothing out of range, a single item of the longest
    // length, the "%" items, the embedded bytes joined by LF equal to the source file in the
    // tree, and every other item in the list's format (command text, "[CR]", separator and
    // description; a bare set item ends at "[CR]").
    void lists_data()
    {
        QTest::addColumn<CatalogueList>("list");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("longest");
        QTest::addColumn<int>("placeholders"); // items with "%" in the command text
        QTest::addColumn<int>("hints");        // of those, items described ":% = 0-9"
        QTest::addColumn<QString>("format");
        QTest::newRow("basic") << Basic << 44 << 39 << 0 << 0
                               << R"(^C([0-9A-F]{2}|R[0-9])\[CR\]     :[ -~]+$)";
        QTest::newRow("set") << Set << 800 << 101 << 66 << 32
                             << R"(^CF( [A-Z0-9/%-]+)+\[CR\]([ \t]*:[ -~]*)?$)";
        QTest::newRow("read") << Read << 149 << 98 << 0 << 0
                              << R"(^CR( [A-Z0-9/%-]+)+\[CR\]( *| \t):[ -~]+$)";
    }
    void lists()
    {
        QFETCH(CatalogueList, list);
        QFETCH(int, count);
        QFETCH(int, longest);
        QFETCH(int, placeholders);
        QFETCH(int, hints);
        QFETCH(QString, format);
        QCOMPARE(Catalogue::count(list), count);
        QVERIFY(Catalogue::item(list, -1).isEmpty() && Catalogue::item(list, count).isEmpty());
        QList<int> pinned;
        for (const auto& [name, pinnedList, position, text] : kExactItems) {
            pinned << (pinnedList == list ? position : -1);
            QVERIFY2(pinnedList != list || Catalogue::item(list, position) == text, name);
        }
        const QRegularExpression pattern(format);
        QByteArray joined;
        int longestItems = 0, placeholderItems = 0, hintItems = 0;
        for (int i = 0; i < count; ++i) {
            const QByteArray item = Catalogue::item(list, i);
            joined += item + '\n';
            QVERIFY2(item.size() <= longest, item.constData());
            longestItems += item.size() == longest;
            const bool placeholder = item.left(item.indexOf('[')).contains('%');
            const bool hint = item.contains(":% = 0-9");
            QVERIFY2((placeholder || !hint) && (list == Set || !item.contains('%')),
                     item.constData());
            placeholderItems += placeholder;
            hintItems += hint;
            QVERIFY2(pinned.contains(i) || pattern.match(QString::fromLatin1(item)).hasMatch(),
                     item.constData());
            // The basic codes stand in ascending order, the status reads last.
            if (list == Basic && i > 0)
                QVERIFY2(Catalogue::item(list, i - 1) < item, item.constData());
        }
        QCOMPARE(longestItems, 1);
        QCOMPARE(placeholderItems, placeholders);
        QCOMPARE(hintItems, hints);
        QFile source(
            QFINDTESTDATA(QString("../../core/catalogue/%1.txt").arg(QTest::currentDataTag())));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(joined, source.readAll());
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
