#include "core/echorendering.h"

#include <QTest>

using zuno::renderEcho;

class TestEchoRendering : public QObject
{
    Q_OBJECT

  private slots:
    void rendersEachByte_data();
    void rendersEachByte();
    void everyByteFitsItsToken();
};

static void row(const char* name, const QByteArray& bytes, const char* text, bool ack = false,
                bool cr = false, bool space = false)
{
    QTest::newRow(name) << bytes << QString::fromLatin1(text) << ack << cr << space;
}

// Token per byte, and which legends the line calls for.
void TestEchoRendering::rendersEachByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("ack");
    QTest::addColumn<bool>("cr");
    QTest::addColumn<bool>("space");

    row("nothing: a lone blank", {}, " ");
    row("ACK", "\x06", "  [ACK] ", true);
    row("CR", "00\r", " 0 0  [CR] ", false, true);
    row("LF: two blanks after, no legend", "\n", "  [LF]  ");
    row("space", "CF KEYDIS", " C F _ K E Y D I S ", false, false, true);
    row("other control codes", QByteArray("\0\x05\x07\t\x0c\x1f", 6), " ? ? ? ? ? ? ");
    row("\"!\" and \"z\" shown, \"{\" to DEL not", "!z{~\x7f", " ! z ? ? ? ");
    row("high bit set, twins of ACK CR space included", "\x80\x86\x8d\xa0\xff", " ? ? ? ? ? ");
    row("letters and digits as themselves", "Az09[]", " A z 0 9 [ ] ");
    row("all three legends, legend byte last", "a \x06z\r", " a _  [ACK] z  [CR] ", true, true,
        true);
}

void TestEchoRendering::rendersEachByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFETCH(bool, ack);
    QFETCH(bool, cr);
    QFETCH(bool, space);
    const auto rendering = renderEcho(bytes);
    QCOMPARE(rendering.text, expected);
    QCOMPARE(rendering.showAck, ack);
    QCOMPARE(rendering.showCr, cr);
    QCOMPARE(rendering.showSpace, space);
}

// All 256 byte values in one line: the text is sized exactly for its tokens and shows no raw
// control or non-ASCII character.
void TestEchoRendering::everyByteFitsItsToken()
{
    QByteArray bytes;
    for (int code = 0; code < 256; ++code)
        bytes += char(code);
    const QString text = renderEcho(bytes).text;
    QCOMPARE(text.size(), 1 + 2 * 253 + 7 + 6 + 7);
    for (const QChar c : text)
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() <= 0x7a, qPrintable(text));
}

QTEST_GUILESS_MAIN(TestEchoRendering)
#include "tst_echorendering.moc"
