#include "core/replydecoder.h"

#include "core/echorendering.h"

#include <algorithm>
#include <span>

namespace zuno {

namespace {

// The read commands whose replies are put into words, exactly as the panel sends them.
constexpr QByteArrayView kStatusCommand = "CR0\r";
constexpr QByteArrayView kInputCommand = "CR1\r";
constexpr QByteArrayView kLampHoursCommand = "CR3\r";
constexpr QByteArrayView kReversalCommand = "CR4\r";
constexpr QByteArrayView kTemperatureCommand = "CR6\r";

// The two length-bound replies, CR included: five digits, and three five-character readings
// with one separator between each.
constexpr qsizetype kLampHoursReplyLength = 6;
constexpr qsizetype kTemperatureReplyLength = 18;

// A pattern is the echo rendering of a reply's first characters (a blank in front of each).
struct Pattern
{
    QStringView rendering;
    QStringView caption;
};

// Power status: the first two reply characters. First match wins.
constexpr Pattern kPowerStatus[] = {
    {u" 0 0", u" Power ON"},
    {u" 8 0", u" Stand by"},
    {u" 4 0", u" Count down"},
    {u" 2 0", u" Cooling down"},
    {u" 1 0", u" Power abnormality"},
    {u" 0 8", u" Temperature abnormality"},
    {u" 1 8", u" Temperature abnormality"},
    {u" 2 8", u" Temperature abnormality"},
    {u" 4 8", u" Temperature abnormality"},
    {u" 8 8", u" Temperature abnormality"},
    {u" 2 1", u" Lamp Failure"},
    {u" 8 1", u" Lamp Failure"},
};

// Input selection: the first reply character.
constexpr Pattern kInput[] = {
    {u" 1", u" Input 1"}, {u" 2", u" Input 2"},         {u" 3", u" Input 3"},
    {u" 4", u" Wired"},   {u" 5", u" Wireless/Viewer"},
};

// Mounting (image reversal) setting: the first two reply characters.
constexpr Pattern kReversal[] = {
    {u" 1 1", u" Normally"},
    {u" 1 0", u" Top/Bottom reversal"},
    {u" 0 1", u" Left/Right reversal"},
    {u" 0 0", u" Top/Bottom , Left/Right reversal"},
};

constexpr QStringView kHourUse = u" Hour Use";
constexpr QStringView kDegC = u" deg C ";

// Up to count characters of the echo from a 1-based position; whatever is there when the echo
// is shorter.
QStringView piece(QStringView echo, qsizetype position, qsizetype count)
{
    const qsizetype from = std::clamp<qsizetype>(position - 1, 0, echo.size());
    return echo.sliced(from, std::clamp<qsizetype>(count, 0, echo.size() - from));
}

StatusLineUpdate matchPrefix(QStringView echo, qsizetype width, std::span<const Pattern> table)
{
    const QStringView head = piece(echo, 1, width);
    for (const Pattern& pattern : table) {
        if (head == pattern.rendering)
            return {StatusLineUpdate::Kind::Replace, pattern.caption.toString()};
    }
    return {};
}

// Leading zeros become blanks so the figures keep their columns; the blanks between the
// rendered digits and the leading blank of the CR token stay as they are.
StatusLineUpdate decodeLampHours(QStringView echo)
{
    const QStringView figures = piece(echo, 1, echo.size() - 5);
    QString text;
    text.reserve(figures.size() + kHourUse.size());
    bool significant = false;
    for (const QChar c : figures) {
        if (!significant && (c == u' ' || c == u'0')) {
            text += u' ';
        } else {
            text += c;
            significant = true;
        }
    }
    text += kHourUse;
    return {StatusLineUpdate::Kind::Append, text};
}

// The rendered reply holds three readings at reply characters 1-5, 7-11 and 13-17, i.e. echo
// positions 1-10 (with the leading blank), 14-22 and 26-34.
StatusLineUpdate decodeTemperatures(QStringView echo)
{
    QString text;
    text.reserve(10 + 9 + 9 + 3 * kDegC.size());
    text += piece(echo, 1, 10);
    text += kDegC;
    text += piece(echo, 14, 9);
    text += kDegC;
    text += piece(echo, 26, 9);
    text += kDegC;
    return {StatusLineUpdate::Kind::Replace, text};
}

// A figure of a reply as a number: an optional sign, digits, at most one decimal point, nothing
// else (the status line shows any characters; a script must not read letters as a value).
std::optional<double> figureOf(QByteArrayView text)
{
    bool ok = false;
    const QByteArray figure = text.toByteArray();
    static constexpr QByteArrayView kAllowed = "+-.0123456789";
    for (const char c : figure) {
        if (!kAllowed.contains(c))
            return std::nullopt;
    }
    const double value = figure.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

QByteArrayView readCommandText(ReadCommand command)
{
    switch (command) {
    case ReadCommand::Status:
        return kStatusCommand;
    case ReadCommand::Input:
        return kInputCommand;
    case ReadCommand::LampHours:
        return kLampHoursCommand;
    case ReadCommand::Setting:
        return kReversalCommand;
    case ReadCommand::Temperatures:
        return kTemperatureCommand;
    }
    return {};
}

QString readCommandName(ReadCommand command)
{
    switch (command) {
    case ReadCommand::Status:
        return QStringLiteral("STATUS");
    case ReadCommand::Input:
        return QStringLiteral("INPUT MODE");
    case ReadCommand::LampHours:
        return QStringLiteral("LAMP TIME");
    case ReadCommand::Setting:
        return QStringLiteral("SETTING");
    case ReadCommand::Temperatures:
        return QStringLiteral("TEMP");
    }
    return {};
}

TypedReading decodeTypedReply(ReadCommand command, QByteArrayView reply)
{
    TypedReading reading;
    const QString echo = renderEcho(reply).text;
    const auto unexpected = [&] {
        reading.error =
            QStringLiteral("unexpected reply to %1:%2")
                .arg(readCommandName(command), reply.isEmpty() ? QStringLiteral(" (none)") : echo);
        return reading;
    };
    // The pattern tables read the reply's first characters, as the status line does.
    const auto words = [&](qsizetype width, std::span<const Pattern> table) {
        const StatusLineUpdate update = matchPrefix(echo, width, table);
        if (update.kind == StatusLineUpdate::Kind::Unchanged)
            return unexpected();
        reading.words = update.text.trimmed();
        return reading;
    };
    switch (command) {
    case ReadCommand::Status:
        return words(4, kPowerStatus);
    case ReadCommand::Input:
        return words(2, kInput);
    case ReadCommand::Setting:
        return words(4, kReversal);
    case ReadCommand::LampHours: {
        // Five digits and CR; the status line takes any five characters, a number only digits.
        if (reply.size() != kLampHoursReplyLength || !reply.endsWith('\r'))
            return unexpected();
        for (const char c : reply.first(5)) {
            if (c < '0' || c > '9')
                return unexpected();
        }
        reading.lampHours = reply.first(5).toByteArray().toInt();
        return reading;
    }
    case ReadCommand::Temperatures: {
        // Three five-character readings at reply characters 1-5, 7-11 and 13-17, then CR.
        if (reply.size() != kTemperatureReplyLength || !reply.endsWith('\r'))
            return unexpected();
        for (int i = 0; i < 3; ++i) {
            const std::optional<double> value = figureOf(reply.sliced(6 * i, 5));
            if (!value)
                return unexpected();
            reading.temperatures[std::size_t(i)] = *value;
        }
        return reading;
    }
    }
    return unexpected();
}

StatusLineUpdate decodeReply(QByteArrayView sendText, QStringView echo, qsizetype collected)
{
    if (sendText == kStatusCommand)
        return matchPrefix(echo, 4, kPowerStatus);
    if (sendText == kInputCommand)
        return matchPrefix(echo, 2, kInput);
    if (sendText == kReversalCommand)
        return matchPrefix(echo, 4, kReversal);
    // The length-bound decoders act once, at the event that completes the reply.
    if (sendText == kLampHoursCommand && collected == kLampHoursReplyLength)
        return decodeLampHours(echo);
    if (sendText == kTemperatureCommand && collected == kTemperatureReplyLength)
        return decodeTemperatures(echo);
    return {};
}

} // namespace zuno
