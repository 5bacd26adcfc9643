#include "link/echo.h"

#include <QTest>

using zuno::renderEcho;

class TestEcho : public QObject
{
    Q_OBJECT

  private slots:
    void rendersEachByte_data();
    void rendersEachByte();
    void legends_data();
    void legends();
    void ordinaryTextWithCr_data();
    void ordinaryTextWithCr();
    void noByteShowsRaw();
    void fullCollection();
};

void TestEcho::rendersEachByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing: a lone blank") << QByteArray() << " ";
    QTest::newRow("ACK") << QByteArray("\x06") << "  [ACK] ";
    QTest::newRow("CR") << QByteArray("\r") << "  [CR] ";
    QTest::newRow("LF: two blanks after") << QByteArray("\n") << "  [LF]  ";
    QTest::newRow("space, code 32") << QByteArray(" ") << " _ ";
    QTest::newRow("NUL, code 0") << QByteArray(1, '\0') << " ? ";
    QTest::newRow("ENQ, code 5 (below ACK)") << QByteArray("\x05") << " ? ";
    QTest::newRow("BEL, code 7 (above ACK)") << QByteArray("\x07") << " ? ";
    QTest::newRow("tab, code 9") << QByteArray("\t") << " ? ";
    QTest::newRow("code 31") << QByteArray("\x1f") << " ? ";
    QTest::newRow("\"!\", code 33") << QByteArray("!") << " ! ";
    QTest::newRow("\"z\", code 122") << QByteArray("z") << " z ";
    QTest::newRow("\"{\", code 123") << QByteArray("{") << " ? ";
    QTest::newRow("\"~\", code 126") << QByteArray("~") << " ? ";
    QTest::newRow("DEL, code 127") << QByteArray("\x7f") << " ? ";
    QTest::newRow("code 0x80") << QByteArray("\x80") << " ? ";
    QTest::newRow("code 0xFF") << QByteArray("\xff") << " ? ";
    QTest::newRow("0x86: ACK with the high bit is no ACK") << QByteArray("\x86") << " ? ";
    QTest::newRow("0x8D: CR with the high bit is no CR") << QByteArray("\x8d") << " ? ";
    QTest::newRow("0xA0: space with the high bit is no space") << QByteArray("\xa0") << " ? ";
    QTest::newRow("letters and digits as themselves") << QByteArray("Az09[]") << " A z 0 9 [ ] ";
    QTest::newRow("addressed power-on") << QByteArray("A004C00\r") << " A 0 0 4 C 0 0  [CR] ";
    QTest::newRow("command with spaces")
        << QByteArray("CF KEYDIS RC\r") << " C F _ K E Y D I S _ R C  [CR] ";
    QTest::newRow("acknowledge then CR LF") << QByteArray("\x06\r\n") << "  [ACK]  [CR]  [LF]  ";
}

void TestEcho::rendersEachByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(renderEcho(bytes).text, expected);
}

void TestEcho::legends_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ack");
    QTest::addColumn<bool>("cr");
    QTest::addColumn<bool>("space");

    QTest::newRow("plain text: none") << QByteArray("CR0") << false << false << false;
    QTest::newRow("ACK") << QByteArray("\x06") << true << false << false;
    QTest::newRow("CR") << QByteArray("00\r") << false << true << false;
    QTest::newRow("space") << QByteArray("CF KEYDIS") << false << false << true;
    QTest::newRow("LF has no legend") << QByteArray("\n") << false << false << false;
    QTest::newRow("other control codes have none")
        << QByteArray("\x05\x07\x0c\x0e\x1f", 5) << false << false << false;
    QTest::newRow("high-bit twins have none")
        << QByteArray("\x86\x8d\xa0") << false << false << false;
    QTest::newRow("all three, legend byte last") << QByteArray("a \x06z\r") << true << true << true;
}

void TestEcho::legends()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ack);
    QFETCH(bool, cr);
    QFETCH(bool, space);
    const auto rendering = renderEcho(bytes);
    QCOMPARE(rendering.showAck, ack);
    QCOMPARE(rendering.showCr, cr);
    QCOMPARE(rendering.showSpace, space);
}

// The reply decoder finds reply characters by position, so an ordinary text followed by CR
// must render to 2n + 7 characters with the j-th character's token at positions 2j, 2j + 1.
void TestEcho::ordinaryTextWithCr_data()
{
    QTest::addColumn<QByteArray>("ordinary");

    QTest::newRow("CR alone") << QByteArray();
    QTest::newRow("one digit") << QByteArray("5");
    QTest::newRow("lamp-hours reply") << QByteArray("01234");
    QTest::newRow("temperature reply") << QByteArray("+25.0 +30.5 +41.2");
    QTest::newRow("every kind of ordinary byte") << QByteArray("! z{\x7f\x80\xff\x01\x1f\x00Q", 11);
}

void TestEcho::ordinaryTextWithCr()
{
    QFETCH(QByteArray, ordinary);
    const QString text = renderEcho(ordinary + '\r').text;
    const qsizetype n = ordinary.size();
    QCOMPARE(text.size(), 2 * n + 7);
    QCOMPARE(text.first(1), u" ");
    for (qsizetype j = 1; j <= n; ++j) {
        // 1-based positions 2j and 2j + 1 are indexes 2j - 1 and 2j.
        QCOMPARE(text.sliced(2 * j - 1, 2), renderEcho(ordinary.sliced(j - 1, 1)).text.sliced(1));
    }
    QCOMPARE(text.sliced(2 * n + 1), u" [CR] ");
}

void TestEcho::noByteShowsRaw()
{
    for (int code = 0; code < 256; ++code) {
        const QString text = renderEcho(QByteArray(1, char(code))).text;
        QVERIFY2(text.startsWith(u' ') && text.endsWith(u' '), qPrintable(QString::number(code)));
        for (const QChar c : text) {
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() <= 0x7a,
                     qPrintable(QStringLiteral("byte %1 shows U+%2")
                                    .arg(code)
                                    .arg(c.unicode(), 4, 16, QLatin1Char('0'))));
        }
    }
}

// A full collection of the longest token: the size is exact and nothing is lost.
void TestEcho::fullCollection()
{
    const QByteArray bytes(4096, '\x06');
    const auto rendering = renderEcho(bytes);
    QCOMPARE(rendering.text.size(), 1 + 7 * 4096);
    QCOMPARE(rendering.text.count(u"[ACK]"), 4096);
    QVERIFY(rendering.showAck);
}

QTEST_GUILESS_MAIN(TestEcho)
#include "tst_echo.moc"
