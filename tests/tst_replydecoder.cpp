#include "link/echo.h"
#include "link/replydecoder.h"
#include "link/rxbuffer.h"

#include <QTest>

using zuno::StatusLineUpdate;
using Kind = zuno::StatusLineUpdate::Kind;

namespace {

// Decodes a complete reply the way the receive path does: render it, then decode the rendering.
StatusLineUpdate decodeWhole(const QByteArray& sendText, const QByteArray& reply)
{
    return zuno::decodeReply(sendText, zuno::renderEcho(reply).text, reply.size());
}

QString applied(QString caption, const StatusLineUpdate& update)
{
    switch (update.kind) {
    case Kind::Replace:
        return update.text;
    case Kind::Append:
        return caption + update.text;
    case Kind::Unchanged:
        break;
    }
    return caption;
}

const QString kHourUse = QStringLiteral(" Hour Use");

} // namespace

class TestReplyDecoder : public QObject
{
    Q_OBJECT

  private slots:
    void decodesCompleteReply_data();
    void decodesCompleteReply();
    void shortEchoStaysInRange_data();
    void shortEchoStaysInRange();
    void replyInPieces_data();
    void replyInPieces();
    void bufferBound_data();
    void bufferBound();
    void deviceThatKeepsSending();
};

void TestReplyDecoder::decodesCompleteReply_data()
{
    QTest::addColumn<QByteArray>("sendText");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("text");

    const struct
    {
        const char* reply;
        const char* text;
    } status[] = {
        {"00\r", " Power ON"},
        {"80\r", " Stand by"},
        {"40\r", " Count down"},
        {"20\r", " Cooling down"},
        {"10\r", " Power abnormality"},
        {"08\r", " Temperature abnormality"},
        {"18\r", " Temperature abnormality"},
        {"28\r", " Temperature abnormality"},
        {"48\r", " Temperature abnormality"},
        {"88\r", " Temperature abnormality"},
        {"21\r", " Lamp Failure"},
        {"81\r", " Lamp Failure"},
    };
    for (const auto& row : status) {
        QTest::addRow("status %.2s", row.reply)
            << QByteArray("CR0\r") << QByteArray(row.reply) << Kind::Replace << row.text;
    }

    const auto replace = Kind::Replace;
    const auto append = Kind::Append;
    const auto none = Kind::Unchanged;
    const QString hours = kHourUse;
    const struct
    {
        const char* name;
        const char* sendText;
        const char* reply;
        Kind kind;
        QString text;
    } rows[] = {
        {"status 3 0: no pattern", "CR0\r", "30\r", none, {}},
        {"status 0 1: no pattern", "CR0\r", "01\r", none, {}},
        {"status after ACK: no pattern", "CR0\r", "\00600\r", none, {}},
        {"status after a space: no pattern", "CR0\r", " 00\r", none, {}},
        {"status: later characters do not matter", "CR0\r", "8012\r", replace, " Stand by"},
        {"input 1", "CR1\r", "1\r", replace, " Input 1"},
        {"input 2", "CR1\r", "2\r", replace, " Input 2"},
        {"input 3", "CR1\r", "3\r", replace, " Input 3"},
        {"input 4", "CR1\r", "4\r", replace, " Wired"},
        {"input 5", "CR1\r", "5\r", replace, " Wireless/Viewer"},
        {"input: only the first character counts", "CR1\r", "29\r", replace, " Input 2"},
        {"input 0: no pattern", "CR1\r", "0\r", none, {}},
        {"input 6: no pattern", "CR1\r", "6\r", none, {}},
        {"reversal 1 1", "CR4\r", "11\r", replace, " Normally"},
        {"reversal 1 0", "CR4\r", "10\r", replace, " Top/Bottom reversal"},
        {"reversal 0 1", "CR4\r", "01\r", replace, " Left/Right reversal"},
        {"reversal 0 0 (power-on pattern)", "CR4\r", "00\r", replace,
         " Top/Bottom , Left/Right reversal"},
        {"reversal 8 0: no pattern", "CR4\r", "80\r", none, {}},
        {"lamp hours 0 1 2 3 4", "CR3\r", "01234\r", append, "   1 2 3 4  " + hours},
        {"lamp hours all zero", "CR3\r", "00000\r", append, QString(12, u' ') + hours},
        {"lamp hours: later zeros stay", "CR3\r", "10200\r", append, " 1 0 2 0 0  " + hours},
        {"lamp hours: two leading zeros", "CR3\r", "00903\r", append, "     9 0 3  " + hours},
        {"lamp hours: four digits", "CR3\r", "1234\r", none, {}},
        {"lamp hours: six digits", "CR3\r", "012345\r", none, {}},
        {"temperatures", "CR6\r", "+25.0 +30.5 +41.2\r", replace,
         " + 2 5 . 0 deg C + 3 0 . 5 deg C + 4 1 . 2 deg C "},
        {"temperatures: separators not shown", "CR6\r", "01234X56789Y98765\r", replace,
         " 0 1 2 3 4 deg C 5 6 7 8 9 deg C 9 8 7 6 5 deg C "},
        {"temperatures: sixteen characters", "CR6\r", "+25.0 +30.5 +41.\r", none, {}},
        {"temperatures: eighteen characters", "CR6\r", "+25.0 +30.5 +41.20\r", none, {}},
        // Only the exact command, case and CR included, selects a decoder.
        {"lower-case command", "cr0\r", "00\r", none, {}},
        {"command without CR", "CR0", "00\r", none, {}},
        {"command with CR LF", "CR0\r\n", "00\r", none, {}},
        {"command with address prefix", "A001CR0\r", "00\r", none, {}},
        {"lamp hours command without CR", "CR3", "01234\r", none, {}},
        {"temperature command in lower case", "cr6\r", "+25.0 +30.5 +41.2\r", none, {}},
        {"STATUS 2 is echoed only", "CRA\r", "00\r", none, {}},
        {"no command yet", "", "00\r", none, {}},
        {"console lamp status not decoded", "CR LAMPSTS\r", "000 1I\r", none, {}},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.name) << QByteArray(row.sendText) << QByteArray(row.reply) << row.kind
                                << row.text;
    }
}

void TestReplyDecoder::decodesCompleteReply()
{
    QFETCH(QByteArray, sendText);
    QFETCH(QByteArray, reply);
    QFETCH(Kind, kind);
    QFETCH(QString, text);
    const auto update = decodeWhole(sendText, reply);
    QCOMPARE(update.kind, kind);
    QCOMPARE(update.text, text);
}

// The decoder takes any rendering; pieces it needs past the end are taken as far as they go.
void TestReplyDecoder::shortEchoStaysInRange_data()
{
    QTest::addColumn<QByteArray>("sendText");
    QTest::addColumn<QString>("echo");
    QTest::addColumn<qsizetype>("collected");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("status, empty echo")
        << QByteArray("CR0\r") << QString() << qsizetype(0) << Kind::Unchanged << QString();
    QTest::newRow("status, half a pattern")
        << QByteArray("CR0\r") << " 0 " << qsizetype(1) << Kind::Unchanged << QString();
    QTest::newRow("input, one character")
        << QByteArray("CR1\r") << " " << qsizetype(0) << Kind::Unchanged << QString();
    QTest::newRow("lamp hours, echo under five characters")
        << QByteArray("CR3\r") << " 1 " << qsizetype(6) << Kind::Append << kHourUse;
    QTest::newRow("temperatures, echo ends inside the first reading")
        << QByteArray("CR6\r") << " 1 2" << qsizetype(18) << Kind::Replace
        << " 1 2 deg C  deg C  deg C ";
    QTest::newRow("temperatures, echo ends inside the second reading")
        << QByteArray("CR6\r") << " 1 2 3 4 5 _ 6 7" << qsizetype(18) << Kind::Replace
        << " 1 2 3 4 5 deg C 6 7 deg C  deg C ";
}

void TestReplyDecoder::shortEchoStaysInRange()
{
    QFETCH(QByteArray, sendText);
    QFETCH(QString, echo);
    QFETCH(qsizetype, collected);
    QFETCH(Kind, kind);
    QFETCH(QString, text);
    const auto update = zuno::decodeReply(sendText, echo, collected);
    QCOMPARE(update.kind, kind);
    QCOMPARE(update.text, text);
}

// The receive path: every piece is appended to the collection, the whole collection is
// rendered and decoded again, and the result is applied to the status line.
void TestReplyDecoder::replyInPieces_data()
{
    QTest::addColumn<QByteArray>("sendText");
    QTest::addColumn<QString>("initialCaption");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QStringList>("captions"); // the status line after each piece
    QTest::addColumn<QString>("lastEcho");

    QTest::newRow("status: 0, then 0 CR")
        << QByteArray("CR0\r") << QString() << QByteArrayList{"0", "0\r"}
        << QStringList{QString(), " Power ON"} << " 0 0  [CR] ";
    QTest::newRow("status: one character at a time")
        << QByteArray("CR0\r") << " Cooling down" << QByteArrayList{"1", "0", "\r"}
        << QStringList{" Cooling down", " Power abnormality", " Power abnormality"}
        << " 1 0  [CR] ";
    QTest::newRow("status 3 0 leaves the line as it was")
        << QByteArray("CR0\r") << " Stand by" << QByteArrayList{"3", "0\r"}
        << QStringList{" Stand by", " Stand by"} << " 3 0  [CR] ";
    QTest::newRow("input: first piece decides")
        << QByteArray("CR1\r") << QString() << QByteArrayList{"4", "\r"}
        << QStringList{" Wired", " Wired"} << " 4  [CR] ";

    // Lamp hours: one byte per event, appended behind the text already shown, exactly once
    // even when more characters follow.
    {
        const QByteArray reply = "01234\rX";
        QByteArrayList pieces;
        QStringList captions;
        for (qsizetype i = 0; i < reply.size(); ++i) {
            pieces << reply.sliced(i, 1);
            captions << (i < 5 ? QStringLiteral(" Power ON") : " Power ON   1 2 3 4  " + kHourUse);
        }
        QTest::newRow("lamp hours byte by byte, behind an earlier caption")
            << QByteArray("CR3\r") << " Power ON" << pieces << captions << " 0 1 2 3 4  [CR] X ";
    }
    QTest::newRow("lamp hours in two pieces")
        << QByteArray("CR3\r") << QString() << QByteArrayList{"000", "10\r"}
        << QStringList{QString(), "       1 0  " + kHourUse} << " 0 0 0 1 0  [CR] ";

    {
        const QByteArray reply = "+25.0 +30.5 +41.2\r\n";
        const QString decoded = " + 2 5 . 0 deg C + 3 0 . 5 deg C + 4 1 . 2 deg C ";
        QByteArrayList pieces;
        QStringList captions;
        for (qsizetype i = 0; i < reply.size(); ++i) {
            pieces << reply.sliced(i, 1);
            captions << (i < 17 ? QStringLiteral(" Power ON") : decoded);
        }
        QTest::newRow("temperatures byte by byte, then a trailing LF")
            << QByteArray("CR6\r") << " Power ON" << pieces << captions
            << " + 2 5 . 0 _ + 3 0 . 5 _ + 4 1 . 2  [CR]  [LF]  ";
    }
}

void TestReplyDecoder::replyInPieces()
{
    QFETCH(QByteArray, sendText);
    QFETCH(QString, initialCaption);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QStringList, captions);
    QFETCH(QString, lastEcho);
    QCOMPARE(captions.size(), pieces.size());

    QByteArray rxBuffer;
    QString caption = initialCaption;
    QString echo;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        zuno::appendReceived(rxBuffer, pieces[i]);
        echo = zuno::renderEcho(rxBuffer).text;
        caption = applied(caption, zuno::decodeReply(sendText, echo, rxBuffer.size()));
        QVERIFY2(caption == captions[i],
                 qPrintable(QStringLiteral("after piece %1: \"%2\"").arg(i + 1).arg(caption)));
    }
    QCOMPARE(echo, lastEcho);
}

void TestReplyDecoder::bufferBound_data()
{
    QTest::addColumn<qsizetype>("held");
    QTest::addColumn<qsizetype>("incoming");
    QTest::addColumn<qsizetype>("kept");

    const qsizetype limit = zuno::kRxBufferLimit;
    QTest::newRow("short reply kept whole") << qsizetype(0) << qsizetype(3) << qsizetype(3);
    QTest::newRow("nothing arriving") << qsizetype(10) << qsizetype(0) << qsizetype(10);
    QTest::newRow("one piece of exactly the limit") << qsizetype(0) << limit << limit;
    QTest::newRow("filling up to the limit") << limit - 5 << qsizetype(5) << limit;
    QTest::newRow("crossing the limit: the head is kept") << limit - 5 << qsizetype(100) << limit;
    QTest::newRow("one piece larger than the limit") << qsizetype(0) << 3 * limit << limit;
    QTest::newRow("already full: dropped") << limit << qsizetype(1) << limit;
}

void TestReplyDecoder::bufferBound()
{
    QFETCH(qsizetype, held);
    QFETCH(qsizetype, incoming);
    QFETCH(qsizetype, kept);

    QByteArray rxBuffer(held, 'a');
    QByteArray arriving;
    for (qsizetype i = 0; i < incoming; ++i)
        arriving += char('0' + i % 10);
    zuno::appendReceived(rxBuffer, arriving);

    QCOMPARE(rxBuffer.size(), kept);
    QCOMPARE(rxBuffer.first(held), QByteArray(held, 'a'));
    QCOMPARE(rxBuffer.sliced(held), arriving.first(kept - held));
}

// Noise after the reply window: the collection and its rendering stop growing at the limit, and
// the characters kept are the first ones.
void TestReplyDecoder::deviceThatKeepsSending()
{
    QByteArray rxBuffer;
    QByteArray sent;
    for (int event = 0; event < 200; ++event) {
        const QByteArray piece(37, char('A' + event % 26));
        sent += piece;
        zuno::appendReceived(rxBuffer, piece);
    }
    QCOMPARE(rxBuffer, sent.first(zuno::kRxBufferLimit));
    QCOMPARE(zuno::renderEcho(rxBuffer).text.size(), 1 + 2 * zuno::kRxBufferLimit);
}

QTEST_GUILESS_MAIN(TestReplyDecoder)
#include "tst_replydecoder.moc"
