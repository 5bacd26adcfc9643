#include "console/catalogue.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using namespace zuno;

namespace {

// The command text of an item: everything before its first "[".
QByteArray commandOf(const QByteArray& item)
{
    const qsizetype bracket = item.indexOf('[');
    return bracket < 0 ? item : item.left(bracket);
}

// What follows "[CR]" (or the bare "[CR" of three set items): separator and description.
QByteArray afterMarker(const QByteArray& item)
{
    const qsizetype marker = item.indexOf("[CR");
    const qsizetype end = marker + (item.mid(marker, 4) == "[CR]" ? 4 : 3);
    return item.mid(end);
}

const QStringList kSourceNames = {"DIGITAL",     "ANALOG",      "VIDEO",       "S-VIDEO",
                                  "YPBPR",       "YCBCR",       "SDI1",        "SDI2",
                                  "SCART",       "HDCP",        "HDMI",        "LINKA-YCBCR",
                                  "LINKB-YCBCR", "DUAL-YCBCR1", "DUAL-YCBCR2", "DUAL-YCBCR3",
                                  "DUAL-YCBCR4", "DUAL-RGB1",   "DUAL-RGB2"};

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

  private slots:
    void lists_data();
    void lists();
    void embeddedBytesMatchSourceFiles_data();
    void embeddedBytesMatchSourceFiles();
    void itemFormat_data();
    void itemFormat();
    void parameterPlaceholders();
    void exactItems_data();
    void exactItems();
    void generatedRuns_data();
    void generatedRuns();
    void setListRunBoundaries();
    void readListSeparators();
};

void TestCatalogue::lists_data()
{
    QTest::addColumn<CatalogueList>("list");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("longest");

    QTest::newRow("basic") << CatalogueList::Basic << 44 << QByteArray("C00[CR]     :POWER ON")
                           << QByteArray("C01[CR]     :POWER OFF(Quick Power OFF)");
    QTest::newRow("set") << CatalogueList::Set << 800
                         << QByteArray("CF CONT UP[CR]  \t\t:Set Contrast value")
                         << QByteArray("CF SHUTKEYPROT ON[CR]  \t\t:Set valid / invalid use of key "
                                       "on the top panel on Shutter control function");
    QTest::newRow("read") << CatalogueList::Read << 149
                          << QByteArray("CR CONT[CR] \t:Get Contrast value")
                          << QByteArray("CR SERSYS[CR] \t:Get selected current signal. When in "
                                        "Auto mode, it returns a result by Auto detect");
}

// Counts, the item each list opens on, the single longest item, and the range checks.
void TestCatalogue::lists()
{
    QFETCH(CatalogueList, list);
    QFETCH(int, count);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, longest);

    QCOMPARE(Catalogue::count(list), count);
    QCOMPARE(Catalogue::item(list, 0), first);
    QVERIFY(Catalogue::item(list, -1).isEmpty());
    QVERIFY(Catalogue::item(list, count).isEmpty());
    QVERIFY(!Catalogue::item(list, count - 1).isEmpty());

    QList<int> longestPositions;
    qsizetype maxLength = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype length = Catalogue::item(list, i).size();
        if (length > maxLength) {
            maxLength = length;
            longestPositions.clear();
        }
        if (length == maxLength)
            longestPositions.append(i);
    }
    QCOMPARE(longestPositions.size(), 1);
    QCOMPARE(Catalogue::item(list, longestPositions.first()), longest);

    const QStringList texts = Catalogue::items(list);
    QCOMPARE(texts.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(texts.at(i).toLatin1(), Catalogue::item(list, i));
}

void TestCatalogue::embeddedBytesMatchSourceFiles_data()
{
    QTest::addColumn<CatalogueList>("list");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("basic") << CatalogueList::Basic << "basic.txt";
    QTest::newRow("set") << CatalogueList::Set << "set.txt";
    QTest::newRow("read") << CatalogueList::Read << "read.txt";
}

// The items put back together with LF give the source file byte for byte, so neither the
// embedding nor the splitting can drift from the text files in the source tree.
void TestCatalogue::embeddedBytesMatchSourceFiles()
{
    QFETCH(CatalogueList, list);
    QFETCH(QString, fileName);

    const QString path = QFINDTESTDATA("../console/catalogue/" + fileName);
    QVERIFY2(!path.isEmpty(), qPrintable("source list not found: " + fileName));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray source = file.readAll();

    QByteArray joined;
    for (int i = 0; i < Catalogue::count(list); ++i)
        joined += Catalogue::item(list, i) + '\n';
    QCOMPARE(joined, source);
}

void TestCatalogue::itemFormat_data()
{
    QTest::addColumn<CatalogueList>("list");
    QTest::addColumn<QString>("commandPattern");
    QTest::newRow("basic") << CatalogueList::Basic << "^C([0-9A-F]{2}|R[0-9])$";
    QTest::newRow("set") << CatalogueList::Set << "^CF( [A-Z0-9/%-]+)+$";
    QTest::newRow("read") << CatalogueList::Read << "^CR( [A-Z0-9/%-]+)+$";
}

// Every item: command text, "[CR]", optional separator and description. The known
// deviations of the set list are the only items allowed to break the pattern.
void TestCatalogue::itemFormat()
{
    QFETCH(CatalogueList, list);
    QFETCH(QString, commandPattern);

    const QRegularExpression command(commandPattern);
    static const QRegularExpression readListCfCommand("^CF( [A-Z0-9/%-]+)+$");
    static const QRegularExpression tail("^([ \\t]*)([:;][ -~]*)?$");
    const bool isSet = list == CatalogueList::Set;
    const bool isRead = list == CatalogueList::Read;

    for (int i = 0; i < Catalogue::count(list); ++i) {
        const QByteArray item = Catalogue::item(list, i);
        const QByteArray cmd = commandOf(item);
        const QString where = QString("item %1: %2").arg(i).arg(QString::fromLatin1(item));

        const bool readListCf = isRead && (i == 68 || i == 69);
        QVERIFY2(
            (readListCf ? readListCfCommand : command).match(QString::fromLatin1(cmd)).hasMatch(),
            qPrintable(where));
        // The basic codes stand in ascending order, the status reads last.
        if (list == CatalogueList::Basic && i > 0)
            QVERIFY2(commandOf(Catalogue::item(list, i - 1)) < cmd, qPrintable(where));

        const bool openMarker = isSet && (i == 186 || i == 205 || i == 224);
        const QByteArray marker = item.mid(cmd.size(), 4);
        QVERIFY2(openMarker ? item.size() == cmd.size() + 3 && marker == "[CR" : marker == "[CR]",
                 qPrintable(where));

        QByteArray rest = afterMarker(item);
        if (isSet && i == 782) {
            QVERIFY2(rest.endsWith('\t'), qPrintable(where));
            rest.chop(1);
        }
        const QRegularExpressionMatch parts = tail.match(QString::fromLatin1(rest));
        QVERIFY2(parts.hasMatch(), qPrintable(where));
        const QString separator = parts.captured(1);
        const QString description = parts.captured(2);

        if (description.startsWith(';'))
            QVERIFY2(isSet && i == 701, qPrintable(where));
        if (list == CatalogueList::Basic)
            QVERIFY2(separator == "     " && !description.isEmpty(), qPrintable(where));
        if (isRead)
            QVERIFY2(!description.isEmpty() && !separator.contains("\t\t"), qPrintable(where));
        if (isSet && description.isEmpty()) {
            // Bare items end at "[CR]"; only the listed ones keep a separator behind it.
            const bool trailingSpace = i == 113 || i == 628 || i == 630;
            const bool twoTabs = i >= 326 && i <= 330;
            const QString expected = trailingSpace ? " " : twoTabs ? "\t\t" : "";
            QCOMPARE(separator, expected);
        }
    }
}

// Only the set list has "%" placeholders: 66 items in the command text, 32 items with a
// ":% = 0-9" description, each of them on an item that has placeholders itself.
void TestCatalogue::parameterPlaceholders()
{
    int withPlaceholder = 0;
    int withHint = 0;
    for (int i = 0; i < Catalogue::count(CatalogueList::Set); ++i) {
        const QByteArray item = Catalogue::item(CatalogueList::Set, i);
        const bool placeholder = commandOf(item).contains('%');
        withPlaceholder += placeholder;
        if (afterMarker(item).trimmed().startsWith(":% = 0-9")) {
            ++withHint;
            QVERIFY2(placeholder, item.constData());
        }
    }
    QCOMPARE(withPlaceholder, 66);
    QCOMPARE(withHint, 32);

    for (CatalogueList list : {CatalogueList::Basic, CatalogueList::Read})
        for (int i = 0; i < Catalogue::count(list); ++i)
            QVERIFY2(!Catalogue::item(list, i).contains('%'), Catalogue::item(list, i).constData());
}

// Items whose exact bytes matter: every deviation of the set list, and spots in the read
// list that would move if an item were lost, duplicated or reordered.
void TestCatalogue::exactItems_data()
{
    QTest::addColumn<CatalogueList>("list");
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("set: 480I trailing space")
        << CatalogueList::Set << 113 << QByteArray("CF ORGMODE 480I[CR] ");
    QTest::newRow("set: INPUT2 open marker")
        << CatalogueList::Set << 186 << QByteArray("CF INPUT2 DIGITAL[CR");
    QTest::newRow("set: INPUT3 open marker")
        << CatalogueList::Set << 205 << QByteArray("CF INPUT3 DIGITAL[CR");
    QTest::newRow("set: INPUT4 open marker")
        << CatalogueList::Set << 224 << QByteArray("CF INPUT4 DIGITAL[CR");
    QTest::newRow("set: SDREEN keyword")
        << CatalogueList::Set << 271 << QByteArray("CF SDREEN NATURAL[CR]");
    QTest::newRow("set: SCREEN after SDREEN")
        << CatalogueList::Set << 272 << QByteArray("CF SCREEN RST[CR]");
    QTest::newRow("set: LAMPMODE two tabs first")
        << CatalogueList::Set << 326 << QByteArray("CF LAMPMODE 3LAMPAUTO[CR]\t\t");
    QTest::newRow("set: LAMPMODE two tabs middle")
        << CatalogueList::Set << 328 << QByteArray("CF LAMPMODE 3LAMP234[CR]\t\t");
    QTest::newRow("set: LAMPMODE two tabs last")
        << CatalogueList::Set << 330 << QByteArray("CF LAMPMODE 3LAMP124[CR]\t\t");
    QTest::newRow("set: LAMPMODE after the tabs")
        << CatalogueList::Set << 331 << QByteArray("CF LAMPMODE 2LAMPAUTO[CR]");
    QTest::newRow("set: LANG eight spaces")
        << CatalogueList::Set << 351
        << QByteArray("CF LANG ENG[CR]  \t\t:Select English        Select language for OSD");
    QTest::newRow("set: BLENDBLKALL trailing space")
        << CatalogueList::Set << 628 << QByteArray("CF BLENDBLKALL DN[CR] ");
    QTest::newRow("set: BLENDTESTPAT trailing space")
        << CatalogueList::Set << 630 << QByteArray("CF BLENDTESTPAT OFF[CR] ");
    QTest::newRow("set: RSENS semicolon")
        << CatalogueList::Set << 701
        << QByteArray("CF RSENS ALL[CR] \t\t;Select location of infrared remote receiver of "
                      "remote control");
    QTest::newRow("set: FDEFAULT tab after description")
        << CatalogueList::Set << 782
        << QByteArray("CF FDEFAULT RST[CR]  \t\t:Set the value to Factory Default \t");
    QTest::newRow("set: INPUT1 percent in description")
        << CatalogueList::Set << 167
        << QByteArray("CF INPUT1 DIGITAL[CR]  \t:Select Input11 and also set input source to %1");
    QTest::newRow("set: PIPPOSITION tab then spaces")
        << CatalogueList::Set << 593
        << QByteArray("CF PIPPOSITION POS1[CR]\t        :Set PinP Position");
    QTest::newRow("set: last item") << CatalogueList::Set << 799 << QByteArray("CF VMUTE OFF[CR]");
    QTest::newRow("read: one space one tab")
        << CatalogueList::Read << 1 << QByteArray("CR BRIGHT[CR] \t:Get Brightness value");
    QTest::newRow("read: one space")
        << CatalogueList::Read << 9 << QByteArray("CR OFFSET-R[CR] :Get White Balance Red value");
    QTest::newRow("read: two spaces, trailing space")
        << CatalogueList::Read << 36 << QByteArray("CR SRCINI3[CR]  :Get Input3 source ");
    QTest::newRow("read: five spaces")
        << CatalogueList::Read << 53
        << QByteArray("CR VPOS[CR]     :Get setting status of V scale");
    QTest::newRow("read: no separator")
        << CatalogueList::Read << 56
        << QByteArray("CR SCREENASPECT[CR]:Getsetting status of Screen Aspect");
    QTest::newRow("read: CF in read list, first")
        << CatalogueList::Read << 68
        << QByteArray("CF LAMPINTERVAL[CR]:Get setting of lamp interval mode");
    QTest::newRow("read: CF in read list, second")
        << CatalogueList::Read << 69
        << QByteArray("CF LAMPLIFEFCONTRL[CR]:Get setting of lamp life control mode");
    QTest::newRow("read: back to CR")
        << CatalogueList::Read << 70 << QByteArray("CR LANG[CR] \t:Get selected language");
    QTest::newRow("read: GREEEN in CMTGXY")
        << CatalogueList::Read << 95
        << QByteArray("CR CMTGXY GREEEN[CR] :Get setting value of Target xy");
    QTest::newRow("read: CMTGXY MAGENDA, target g")
        << CatalogueList::Read << 98
        << QByteArray("CR CMTGXY MAGENDA[CR] :Get setting value of Target g");
    QTest::newRow("read: GREEEN in CMTGG")
        << CatalogueList::Read << 101
        << QByteArray("CR CMTGG GREEEN[CR] :Get setting value of Target g");
    QTest::newRow("read: four spaces")
        << CatalogueList::Read << 138
        << QByteArray("CR PTIME[CR]    :Get setting value of P-timer time");
    QTest::newRow("read: last item")
        << CatalogueList::Read << 148 << QByteArray("CR SERIALNO[CR] :Get value SERIAL NO.");
}

void TestCatalogue::exactItems()
{
    QFETCH(CatalogueList, list);
    QFETCH(int, position);
    QFETCH(QByteArray, text);
    QCOMPARE(Catalogue::item(list, position), text);
}

void TestCatalogue::generatedRuns_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("firstTail");

    const auto run = [](const QString& keyword, const QStringList& members) {
        QStringList commands;
        for (const QString& member : members)
            commands.append(keyword + ' ' + member);
        return commands;
    };
    QStringList numberedSources;
    for (int input = 1; input <= 4; ++input)
        for (const QString& source : kSourceNames)
            numberedSources.append(QString::number(input) + ' ' + source);
    QStringList sizes;
    for (int main = 1; main <= 10; ++main)
        for (int sub = 1; sub <= 5; ++sub)
            sizes.append(QString("%1 %2").arg(main).arg(sub));

    QTest::newRow("SOURCE") << 148 << run("CF SOURCE", kSourceNames)
                            << QByteArray("[CR]  \t:Select Input Source");
    QTest::newRow("INPUT1") << 167 << run("CF INPUT1", kSourceNames)
                            << QByteArray(
                                   "[CR]  \t:Select Input11 and also set input source to %1");
    QTest::newRow("INPUT2") << 186 << run("CF INPUT2", kSourceNames) << QByteArray("[CR");
    QTest::newRow("INPUT3") << 205 << run("CF INPUT3", kSourceNames) << QByteArray("[CR");
    QTest::newRow("INPUT4") << 224 << run("CF INPUT4", kSourceNames) << QByteArray("[CR");
    QTest::newRow("PIPMAININP") << 387 << run("CF PIPMAININP", numberedSources)
                                << QByteArray("[CR]\t:Select PinP Input Mode");
    QTest::newRow("PIPSUBINP") << 463 << run("CF PIPSUBINP", numberedSources)
                               << QByteArray("[CR]\t:Select PinP Sub Input Mode");
    QTest::newRow("PIPSIZE") << 539 << run("CF PIPSIZE", sizes)
                             << QByteArray("[CR]\t:Select PinP Main and Sub Windows Size");
}

// Runs built by a rule, recomputed here: every item in order, the first one with its
// description, all others ending directly after "[CR]".
void TestCatalogue::generatedRuns()
{
    QFETCH(int, start);
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, firstTail);

    for (int i = 0; i < commands.size(); ++i) {
        const QByteArray expected = commands.at(i).toLatin1() + (i == 0 ? firstTail : "[CR]");
        QCOMPARE(Catalogue::item(CatalogueList::Set, start + i), expected);
    }
    // The run ends where the next keyword begins.
    const QByteArray next = Catalogue::item(CatalogueList::Set, start + int(commands.size()));
    QVERIFY(!next.startsWith(commands.first().section(' ', 0, 1).toLatin1() + ' '));
}

// The set list is made of runs sharing their first two words; where each run starts pins
// the order and length of every run, and which items carry a description is counted.
void TestCatalogue::setListRunBoundaries()
{
    const QList<int> expectedStarts = {
        0,   3,   6,   9,   12,  13,  14,  19,  23,  26,  29,  32,  35,  38,  41,  44,  47,
        49,  52,  66,  77,  81,  84,  87,  90,  93,  96,  99,  102, 122, 132, 142, 148, 167,
        186, 205, 224, 243, 261, 271, 272, 273, 274, 283, 287, 291, 295, 299, 303, 305, 307,
        309, 312, 315, 318, 321, 325, 338, 339, 343, 345, 351, 363, 367, 369, 374, 379, 385,
        387, 463, 539, 589, 591, 593, 601, 603, 608, 613, 614, 616, 620, 624, 627, 629, 631,
        632, 634, 636, 638, 641, 644, 651, 658, 660, 662, 664, 668, 676, 677, 679, 681, 683,
        688, 689, 691, 701, 710, 715, 718, 722, 725, 726, 728, 730, 733, 736, 738, 742, 747,
        749, 750, 758, 763, 765, 770, 771, 782, 783, 790, 792, 794, 798};

    QList<int> starts;
    QByteArray previousKeyword;
    int described = 0;
    for (int i = 0; i < Catalogue::count(CatalogueList::Set); ++i) {
        const QByteArray item = Catalogue::item(CatalogueList::Set, i);
        const QByteArray keyword = commandOf(item).split(' ').mid(0, 2).join(' ');
        if (keyword != previousKeyword)
            starts.append(i);
        previousKeyword = keyword;
        described += afterMarker(item).trimmed().size() > 0;
    }
    QCOMPARE(starts, expectedStarts);
    QCOMPARE(described, 156);
}

// The separator of every read item in order, one letter each: "0" none, "1", "2", "4", "5"
// that many spaces, "t" one space and one tab. A lost or moved item shifts the column.
void TestCatalogue::readListSeparators()
{
    const QByteArray expected = "ttttttttt111tttttttttttttttttttt212222tttttttttt11"
                                "ttt5t5011001ttttt000t1tt11111111111111111111111111"
                                "1111111111t11ttt1tt11111t11111t1t1101t42tttt15101";
    QByteArray column;
    for (int i = 0; i < Catalogue::count(CatalogueList::Read); ++i) {
        const QByteArray rest = afterMarker(Catalogue::item(CatalogueList::Read, i));
        const QByteArray separator = rest.left(rest.indexOf(':'));
        if (separator == " \t")
            column += 't';
        else if (separator.count(' ') == separator.size() && separator.size() < 10)
            column += char('0' + separator.size());
        else
            column += '?';
    }
    QCOMPARE(column, expected);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
