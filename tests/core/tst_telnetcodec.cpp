#include "core/telnetcodec.h"

#include <QtTest>

using namespace zuno;

namespace {
// Bytes written as hex pairs, "FF FB 2C", for readable rows.
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

struct Decoded
{
    QByteArray data;
    QByteArray answers;
};

// A codec that has said its start, fed `stream` cut at `cuts`.
Decoded decodeIn(TelnetCodec& codec, const QByteArray& stream, QList<qsizetype> cuts = {})
{
    Decoded out;
    qsizetype from = 0;
    cuts << stream.size();
    for (const qsizetype cut : cuts) {
        out.data += codec.decode(QByteArrayView(stream).sliced(from, cut - from), out.answers);
        from = cut;
    }
    return out;
}
} // namespace

// The client side of RFC 2217 on the bytes a server sends: data kept, Telnet removed and answered
// by the rules of RFC 1143, however the bytes are cut into reads.
class TestTelnetCodec : public QObject
{
    Q_OBJECT

  private slots:
    void recognisesNegotiationAtTheStart_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<bool>("telnet");
        QTest::newRow("WILL") << hex("FF FB 01") << true;
        QTest::newRow("DONT") << hex("FF FE") << true;
        QTest::newRow("SB") << hex("FF FA 2C") << true;
        QTest::newRow("only IAC so far") << hex("FF") << false;
        QTest::newRow("doubled 0xFF: data") << hex("FF FF") << false;
        QTest::newRow("a NOP alone") << hex("FF F1") << false;
        QTest::newRow("a reply") << QByteArray("\x06") << false;
    }
    void recognisesNegotiationAtTheStart()
    {
        QFETCH(QByteArray, first);
        QFETCH(bool, telnet);
        QCOMPARE(isTelnetNegotiation(first), telnet);
    }

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<bool>("binary"); // the server agreed to binary first
        QTest::newRow("plain reply")
            << QByteArray("80\r") << QByteArray("80\r") << QByteArray() << true;
        QTest::newRow("doubled 0xFF")
            << hex("41 FF FF 42") << hex("41 FF 42") << QByteArray() << true;
        QTest::newRow("asked options agreed: no answer")
            << hex("FF FD 2C 30 FF FB 00 FF FD 00 31") << QByteArray("01") << QByteArray() << false;
        QTest::newRow("options not asked for: refused unless the client does them")
            << hex("FF FB 01 FF FD 18 FF FB 03 FF FD 03") << QByteArray()
            << hex("FF FE 01 FF FC 18 FF FD 03 FF FB 03") << true;
        QTest::newRow("an agreed option withdrawn is confirmed once")
            << hex("FF FC 00 FF FC 00") << QByteArray() << hex("FF FE 00") << true;
        QTest::newRow("subnegotiation with a doubled IAC")
            << hex("34 FF FA 2C 6A FF FF 00 FF F0 35") << QByteArray("45") << QByteArray() << true;
        QTest::newRow("over-long subnegotiation skipped")
            << hex("FF FA 2C") + QByteArray(100, 'x') + hex("FF F0 36") << QByteArray("6")
            << QByteArray() << true;
        QTest::newRow("subnegotiation left open by a command")
            << hex("FF FA 2C 01 FF FB 01 37") << QByteArray("7") << hex("FF FE 01") << true;
        QTest::newRow("NOP, go-ahead, stray SE")
            << hex("FF F1 38 FF F9 FF F0 39") << QByteArray("89") << QByteArray() << true;
        QTest::newRow("CR NUL outside binary")
            << hex("0D 00 0D 0A 0D 00") << hex("0D 0D 0A 0D") << QByteArray() << false;
        QTest::newRow("CR NUL in binary") << hex("0D 00") << hex("0D 00") << QByteArray() << true;
    }
    // Every cut of the stream into two or three reads gives what one read gives.
    void decodes()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answers);
        QFETCH(bool, binary);
        const QByteArray prefix = binary ? hex("FF FB 00") : QByteArray();
        for (qsizetype a = 0; a <= stream.size(); ++a) {
            for (qsizetype b = a; b <= stream.size(); ++b) {
                TelnetCodec codec;
                codec.start();
                decodeIn(codec, prefix);
                const Decoded got = decodeIn(codec, stream, {a, b});
                QVERIFY2(got.data == data && got.answers == answers,
                         qPrintable(QStringLiteral("cut at %1, %2: data %3, answers %4")
                                        .arg(a)
                                        .arg(b)
                                        .arg(got.data.toHex(' '), got.answers.toHex(' '))));
            }
        }
    }

    // The start, the server's answer to the COM-port option and its confirmations of the line.
    void negotiatesTheComPort()
    {
        TelnetCodec codec;
        QCOMPARE(codec.start(), hex("FF FB 2C FF FB 00 FF FD 00"));
        QVERIFY(!codec.heardTelnet() && codec.comPort() == TelnetCodec::ComPort::Asked);
        Decoded got = decodeIn(codec, hex("FF FD 2C FF FD 00 FF FB 00"));
        QVERIFY(codec.heardTelnet() && got.answers.isEmpty());
        QCOMPARE(codec.comPort(), TelnetCodec::ComPort::Agreed);

        QCOMPARE(TelnetCodec::lineSettings(19200), hex("FF FA 2C 01 00 00 4B 00 FF F0"
                                                       "FF FA 2C 02 08 FF F0"
                                                       "FF FA 2C 03 01 FF F0"
                                                       "FF FA 2C 04 01 FF F0"));
        // A value byte 0xFF is doubled inside the subnegotiation.
        QCOMPARE(TelnetCodec::lineSettings(255).left(10), hex("FF FA 2C 01 00 00 00 FF FF FF"));

        decodeIn(codec, hex("FF FA 2C 65 00 00 4B 00 FF F0 FF FA 2C 66 08 FF F0 FF FA 2C 67 01"));
        QVERIFY(!codec.lineSettingsConfirmed());
        decodeIn(codec, hex("FF F0 FF FA 2C 68 01 FF F0"));
        QVERIFY(codec.lineSettingsConfirmed());
        QCOMPARE(codec.confirmedBitsPerSecond(), 19200u);

        TelnetCodec refused;
        refused.start();
        got = decodeIn(refused, hex("FF FE 2C"));
        QVERIFY(got.answers.isEmpty());
        QCOMPARE(refused.comPort(), TelnetCodec::ComPort::Refused);
    }

    // Going out, 0xFF is doubled; a CR carries a NUL until the server agreed to binary.
    void encodes()
    {
        TelnetCodec codec;
        codec.start();
        QCOMPARE(codec.encode(hex("43 FF 0D")), hex("43 FF FF 0D 00"));
        decodeIn(codec, hex("FF FD 00"));
        QCOMPARE(codec.encode(hex("43 FF 0D")), hex("43 FF FF 0D"));
    }
};

QTEST_GUILESS_MAIN(TestTelnetCodec)
#include "tst_telnetcodec.moc"
