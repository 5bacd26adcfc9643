#include "core/echorendering.h"
#include "core/replydecoder.h"

#include <QTest>

using Kind = zuno::StatusLineUpdate::Kind;

class TestReplyDecoder : public QObject
{
    Q_OBJECT

  private slots:
    void decodes_data();
    void decodes();
    void typedReadings_data();
    void typedReadings();
};

namespace {

constexpr Kind replace = Kind::Replace, append = Kind::Append, none = Kind::Unchanged;

void echoRow(const char* name, const char* sendText, const QString& echo, qsizetype collected,
             Kind kind, const QString& text)
{
    QTest::newRow(name) << QByteArray(sendText) << echo << collected << kind << text;
}

// A whole reply, given to the decoder as the receive path does: the rendering of the collection.
void row(const char* name, const char* sendText, const QByteArray& reply, Kind kind,
         const QString& text = {})
{
    echoRow(name, sendText, zuno::renderEcho(reply).text, reply.size(), kind, text);
}

} // namespace

void TestReplyDecoder::decodes_data()
{
    QTest::addColumn<QByteArray>("sendText");
    QTest::addColumn<QString>("echo");
    QTest::addColumn<qsizetype>("collected");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("text");

    const QString hours = QStringLiteral(" Hour Use");
    row("status 0 0", "CR0\r", "00\r", replace, " Power ON");
    row("status 8 0", "CR0\r", "80\r", replace, " Stand by");
    row("status 4 0", "CR0\r", "40\r", replace, " Count down");
    row("status 2 0", "CR0\r", "20\r", replace, " Cooling down");
    row("status 1 0", "CR0\r", "10\r", replace, " Power abnormality");
    row("status 0 8", "CR0\r", "08\r", replace, " Temperature abnormality");
    row("status 1 8", "CR0\r", "18\r", replace, " Temperature abnormality");
    row("status 2 8", "CR0\r", "28\r", replace, " Temperature abnormality");
    row("status 4 8", "CR0\r", "48\r", replace, " Temperature abnormality");
    row("status 8 8", "CR0\r", "88\r", replace, " Temperature abnormality");
    row("status 2 1", "CR0\r", "21\r", replace, " Lamp Failure");
    row("status 8 1", "CR0\r", "81\r", replace, " Lamp Failure");
    row("status 3 0: no pattern", "CR0\r", "30\r", none);
    row("status 0 1: no pattern", "CR0\r", "01\r", none);
    row("status after ACK: no pattern", "CR0\r", "\00600\r", none);
    row("status after a space: no pattern", "CR0\r", " 00\r", none);
    row("status: later characters do not matter", "CR0\r", "8012\r", replace, " Stand by");
    row("input 1", "CR1\r", "1\r", replace, " Input 1");
    row("input 2", "CR1\r", "2\r", replace, " Input 2");
    row("input 3", "CR1\r", "3\r", replace, " Input 3");
    row("input 4", "CR1\r", "4\r", replace, " Wired");
    row("input 5", "CR1\r", "5\r", replace, " Wireless/Viewer");
    row("input: only the first character counts", "CR1\r", "29\r", replace, " Input 2");
    row("input 0: no pattern", "CR1\r", "0\r", none);
    row("input 6: no pattern", "CR1\r", "6\r", none);
    row("reversal 1 1", "CR4\r", "11\r", replace, " Normally");
    row("reversal 1 0", "CR4\r", "10\r", replace, " Top/Bottom reversal");
    row("reversal 0 1", "CR4\r", "01\r", replace, " Left/Right reversal");
    row("reversal 0 0", "CR4\r", "00\r", replace, " Top/Bottom , Left/Right reversal");
    row("reversal 8 0: no pattern", "CR4\r", "80\r", none);
    row("lamp hours: leading zero blanked", "CR3\r", "01234\r", append, "   1 2 3 4  " + hours);
    row("lamp hours all zero", "CR3\r", "00000\r", append, QString(12, u' ') + hours);
    row("lamp hours: later zeros stay", "CR3\r", "10200\r", append, " 1 0 2 0 0  " + hours);
    row("lamp hours: four digits", "CR3\r", "1234\r", none);
    row("lamp hours: six digits", "CR3\r", "012345\r", none);
    row("temperatures: separators not shown", "CR6\r", "01234X56789Y98765\r", replace,
        " 0 1 2 3 4 deg C 5 6 7 8 9 deg C 9 8 7 6 5 deg C ");
    row("temperatures: sixteen characters", "CR6\r", "+25.0 +30.5 +41.\r", none);
    row("temperatures: eighteen characters", "CR6\r", "+25.0 +30.5 +41.20\r", none);
    // Only the exact command, case and CR included, selects a decoder.
    row("lower-case command", "cr0\r", "00\r", none);
    row("command without CR", "CR0", "00\r", none);
    row("command with address prefix", "A001CR0\r", "00\r", none);
    row("STATUS 2 is echoed only", "CRA\r", "00\r", none);
    row("console lamp status not decoded", "CR LAMPSTS\r", "000 1I\r", none);
    // The decoder takes any rendering; pieces past its end are taken as far as they go.
    echoRow("status, empty echo", "CR0\r", {}, 0, none, {});
    echoRow("lamp hours, echo under five characters", "CR3\r", " 1 ", 6, append, hours);
    echoRow("temperatures, echo ends inside the second reading", "CR6\r", " 1 2 3 4 5 _ 6 7", 18,
            replace, " 1 2 3 4 5 deg C 6 7 deg C  deg C ");
}

void TestReplyDecoder::decodes()
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

// The readings a script gets: the status line's rules, values instead of columns of characters,
// and an error where the status line would stay unchanged or show what is no number.
void TestReplyDecoder::typedReadings_data()
{
    using zuno::ReadCommand;
    QTest::addColumn<ReadCommand>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("hours"); // -1: none
    QTest::addColumn<QList<double>>("degrees");
    QTest::addColumn<bool>("ok");
    const QList<double> none;
    const auto row = [&](const char* name, ReadCommand command, const QByteArray& reply,
                         const QString& words = {}, int hours = -1,
                         const QList<double>& degrees = {}, bool ok = true) {
        QTest::newRow(name) << command << reply << words << hours << degrees << ok;
    };
    const auto bad = [&](const char* name, ReadCommand command, const QByteArray& reply) {
        row(name, command, reply, {}, -1, none, false);
    };
    row("power on", ReadCommand::Status, "00\r", "Power ON");
    row("lamp failure", ReadCommand::Status, "81\r", "Lamp Failure");
    bad("status 3 0", ReadCommand::Status, "30\r");
    bad("status after ACK", ReadCommand::Status, "\x06");
    bad("status: nothing", ReadCommand::Status, "");
    row("input wireless", ReadCommand::Input, "5\r", "Wireless/Viewer");
    bad("input 6", ReadCommand::Input, "6\r");
    row("setting 0 0", ReadCommand::Setting, "00\r", "Top/Bottom , Left/Right reversal");
    row("lamp hours, leading zeros", ReadCommand::LampHours, "01200\r", {}, 1200);
    row("lamp hours zero", ReadCommand::LampHours, "00000\r", {}, 0);
    row("lamp hours most", ReadCommand::LampHours, "99999\r", {}, 99999);
    bad("lamp hours with a letter", ReadCommand::LampHours, "0120A\r");
    bad("lamp hours with a sign", ReadCommand::LampHours, "-1200\r");
    bad("lamp hours, four digits", ReadCommand::LampHours, "1200\r");
    bad("lamp hours without CR", ReadCommand::LampHours, "012000");
    row("temperatures", ReadCommand::Temperatures, "035.0 038.5 041.0\r", {}, -1,
        {35.0, 38.5, 41.0});
    row("temperatures below zero, any separator", ReadCommand::Temperatures, "-05.5/+12.0X100.0\r",
        {}, -1, {-5.5, 12.0, 100.0});
    bad("temperature with a letter", ReadCommand::Temperatures, "035.0 03B.5 041.0\r");
    bad("temperature with blanks", ReadCommand::Temperatures, "035.0  38.5 041.0\r");
    bad("temperatures, sixteen characters", ReadCommand::Temperatures, "035.0 038.5 41.0\r");
}

void TestReplyDecoder::typedReadings()
{
    QFETCH(zuno::ReadCommand, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, words);
    QFETCH(int, hours);
    QFETCH(QList<double>, degrees);
    QFETCH(bool, ok);
    const zuno::TypedReading reading = zuno::decodeTypedReply(command, reply);
    QCOMPARE(reading.ok(), ok);
    // An error names the command and shows the reply as the RxD line does.
    if (!ok)
        QVERIFY2(reading.error.startsWith("unexpected reply to " + zuno::readCommandName(command)),
                 qPrintable(reading.error));
    QCOMPARE(reading.words, words);
    QCOMPARE(reading.lampHours.value_or(-1), hours);
    if (!degrees.isEmpty())
        QCOMPARE(QList<double>(reading.temperatures.begin(), reading.temperatures.end()), degrees);
}

QTEST_GUILESS_MAIN(TestReplyDecoder)
#include "tst_replydecoder.moc"
