#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace zuno {

// What a decoded reply does to the status line.
struct StatusLineUpdate
{
    enum class Kind
    {
        Unchanged,
        Replace,
        Append
    };
    Kind kind = Kind::Unchanged;
    QString text; // the new caption (Replace) or the text to append to the current caption (Append)
};

// Decodes the reply collected so far into status-line words when the last panel command is one
// of the five decoded read commands. sendText: the last panel command with its CR (e.g.
// "CR0\r"); echo: the RxD rendering of the whole collection just drawn; collected: the number of
// bytes in the collection.
StatusLineUpdate decodeReply(QByteArrayView sendText, QStringView echo, qsizetype collected);

// The five read commands the status line decodes, as a script asks for them.
enum class ReadCommand
{
    Status,      // "CR0": power
    Input,       // "CR1": input selection
    LampHours,   // "CR3": lamp hours
    Setting,     // "CR4": mounting (image reversal)
    Temperatures // "CR6": three temperatures
};
// The command as the panel sends it, CR included ("CR0\r").
QByteArrayView readCommandText(ReadCommand command);
// The button's caption, for messages ("STATUS", "LAMP TIME" ...).
QString readCommandName(ReadCommand command);

// A whole read reply as data, by the status line's rules: the words of the power, input and
// setting tables (without the status line's leading blank), the lamp hours as a number, the
// three temperatures in degrees Celsius. A reply those rules do not decode, or whose figures are
// no numbers, gives `error` instead.
struct TypedReading
{
    QString words;                        // Status, Input, Setting
    std::optional<int> lampHours;         // LampHours
    std::array<double, 3> temperatures{}; // Temperatures
    QString error;                        // empty when the reply was decoded
    bool ok() const { return error.isEmpty(); }
};
// `reply`: every byte received for the command, its CR included.
TypedReading decodeTypedReply(ReadCommand command, QByteArrayView reply);

} // namespace zuno
