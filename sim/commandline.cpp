#include "sim/commandline.h"

#include "sim/portregistration.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

namespace zuno::sim {

namespace {

const char kDescription[] =
    R"(Simulates one to four projectors on a serial line, for testing the panel
without hardware. It opens a pseudo-terminal and prints its device path on the
first line of standard output; open that device (or the --link path) as the
serial port. With --tcp it serves the line on a TCP port instead, as a serial
device server does, and prints its address (tcp://HOST:PORT) on the first
line. Every following line is the log: commands received (RX), replies sent
(TX), noise, state changes and line events, with timestamps and control bytes
spelled out ([CR], [LF], [ACK], [0xNN]).

Protocol. A command is the bytes up to CR, optionally preceded by an address:
"A001" to "A004" for one projector, "AFFF" for all. Projector k (address A00k)
executes unprefixed commands, its own and "AFFF" ones; it answers its own, and
unprefixed ones only when it is projector 1. "AFFF" commands get no answer;
other "A" + three digit addresses reach nobody and get no answer.
  CR0  status: 80 standby, 40 count down, 00 power on, 20 cooling down, or a
       fault (--fault); two characters + CR
  CR1  input "1".."4" (set by C05..C08) + CR
  CR3  lamp hours, five digits + CR; they count while the power is on
  CR4  mounting, two characters (--reversal, default 11) + CR
  CR6  three temperatures "035.0 038.5 041.0" (17 characters) + CR
  CR7  lamp mode "00" + CR
  CR9  PC type "001" + CR
  CRA  extended status: status, input and mounting (5 characters) + CR
  C00  power on: standby -> count down (--warmup-ms) -> power on
  C01  power off: power on or count down -> cooling down (--cooldown-ms) -> standby
  Any other "C" + two hexadecimal digits, "CF <text>" or "CR <text>" is
  acknowledged with ACK (0x06) alone. Power commands are acknowledged as well
  when they change nothing (a fault status never changes).
  Anything else gets "?" + CR. An empty command (a bare CR, or an address and
  CR) gets no answer.
Replies start --reply-delay-ms after the CR and go out at line speed (ten bit
times a character). Input beyond 1024 bytes without CR is thrown away.

Faults on demand: --silent, --split, --late-ms, --noise, --hangup-after. At a
hang-up the pseudo-terminal closes (its device node disappears) and the --link
is removed, as a pulled USB adapter's device would go; with --reopen-after-ms a
new pseudo-terminal opens later (with --reopen-on-input as soon as a line arrives
on standard input), the link points to it, and counting towards the next hang-up
starts again. On --tcp a hang-up drops the client and stops
listening, as a server that goes away; a reopen listens on the same port again.
A TCP client that closes its sending side still gets its replies; then the
connection ends.
Output is dropped while no client has the device open or is connected.
SIGINT, SIGTERM and SIGHUP end the simulator, remove the link and take the --register entry
back: a line that mapped the port before stands again as it was, an entry the simulator added
goes (only while the entry still names the simulator's line).)";

bool readNumber(const QCommandLineParser& parser, const QString& name, qint64 low, qint64 high,
                qint64& value, QString& error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qint64 number = parser.value(name).toLongLong(&ok);
    if (!ok || number < low || number > high) {
        error = QStringLiteral("--%1 takes a number from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    value = number;
    return true;
}

bool readNumber(const QCommandLineParser& parser, const QString& name, int low, int high,
                int& value, QString& error)
{
    qint64 wide = value;
    if (!readNumber(parser, name, qint64(low), qint64(high), wide, error))
        return false;
    value = static_cast<int>(wide);
    return true;
}

// "CODE" faults every projector, "K=CODE" projector K; a code is two printable characters.
bool readFault(const QString& text, int projectorCount, QMap<int, QByteArray>& faults,
               QString& error)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:([1-4])=)?([!-~]{2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch() || match.captured(1).toInt() > projectorCount) {
        error = QStringLiteral("--fault takes CODE or K=CODE (K a simulated projector, CODE two "
                               "characters such as 81), not \"%1\"")
                    .arg(text);
        return false;
    }
    faults.insert(match.captured(1).toInt(), match.captured(2).toLatin1());
    return true;
}

} // namespace

QString parseCommandLine(const QStringList& arguments, CommandLine& result)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    parser.addOption(help);
    const auto option = [&](const char* name, const char* text, const char* value = nullptr) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(text));
        if (value)
            o.setValueName(QString::fromLatin1(value));
        parser.addOption(o);
    };
    option("projectors", "Projectors on the line, 1 to 4 (default 1).", "N");
    option("baud", "Line speed, 9600 or 19200 (default 9600).", "BAUD");
    option("reply-delay-ms", "From a command's CR to its reply (default 20).", "MS");
    option("warmup-ms", "Count down after power on (default 3000).", "MS");
    option("cooldown-ms", "Cooling down after power off (default 3000).", "MS");
    option("fault",
           "Latched status for all projectors, or K=CODE for projector K: 10, 08, 18, 28, 48, "
           "88, 21, 81 or any two characters. May be repeated.",
           "[K=]CODE");
    option("lamp-hours", "Lamp hours at start, 0 to 99999 (default 1200).", "H");
    option("lamp-hour-ms", "Power-on time that adds one lamp hour (default 3600000).", "MS");
    option("reversal", "Mounting reply: 11, 10, 01 or 00 (default 11).", "XY");
    option("silent", "Execute commands but never answer.");
    option("split", "Write every reply character with a write of its own, spaced.");
    option("split-gap-ms", "Spacing of those writes (default 10).", "MS");
    option("late-ms",
           "Answer this late instead of after --reply-delay-ms, e.g. 1500 to miss "
           "the panel's reply window.",
           "MS");
    option("noise", "Put this many random bytes a second on the line.", "BYTES_PER_S");
    option("hangup-after", "Close the line after N commands (and their replies).", "N");
    option("reopen-after-ms", "After a hang-up, open a new pseudo-terminal this much later.", "MS");
    option("reopen-on-input",
           "After a hang-up, open a new pseudo-terminal once a line arrives on standard input.");
    option("link",
           "Create a symbolic link at PATH to the device (replaced when it is a "
           "link already, removed at exit).",
           "PATH");
    option("tcp",
           "Serve the line on a TCP port as a serial device server does (PORT 0: any free "
           "one), one client at a time, instead of the pseudo-terminal; with --link as well, on "
           "both. HOST defaults to 127.0.0.1.",
           "[HOST:]PORT");
    option("register",
           "Write COMn=<link or device> into section [Ports] of the panel's settings store; "
           "with --tcp, COMn=tcp://HOST:PORT.",
           "COMn");
    option("config-home", "Folder of ZUNO.conf (default $XDG_CONFIG_HOME or ~/.config).", "DIR");

    result.helpText = parser.helpText();
    if (!parser.parse(arguments))
        return parser.errorText();
    if (parser.isSet(help)) {
        result.helpRequested = true;
        return {};
    }
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument \"%1\"")
            .arg(parser.positionalArguments().first());

    SimOptions& sim = result.sim;
    QString error;
    const int kMaxMs = 24 * 3600 * 1000;
    if (!readNumber(parser, QStringLiteral("projectors"), 1, 4, sim.projectorCount, error) ||
        !readNumber(parser, QStringLiteral("reply-delay-ms"), 0, kMaxMs, sim.replyDelayMs, error) ||
        !readNumber(parser, QStringLiteral("warmup-ms"), 0, kMaxMs, sim.warmupMs, error) ||
        !readNumber(parser, QStringLiteral("cooldown-ms"), 0, kMaxMs, sim.cooldownMs, error) ||
        !readNumber(parser, QStringLiteral("lamp-hours"), 0, 99999, sim.lampHoursStart, error) ||
        !readNumber(parser, QStringLiteral("lamp-hour-ms"), qint64(1), qint64(1) << 40,
                    sim.lampHourMs, error) ||
        !readNumber(parser, QStringLiteral("split-gap-ms"), 1, 60000, sim.splitGapMs, error) ||
        !readNumber(parser, QStringLiteral("late-ms"), 0, kMaxMs, sim.replyDelayMs, error) ||
        !readNumber(parser, QStringLiteral("noise"), 0, 100000, sim.noiseBytesPerSecond, error) ||
        !readNumber(parser, QStringLiteral("hangup-after"), 1, 1000000, sim.hangupAfterCommands,
                    error) ||
        !readNumber(parser, QStringLiteral("reopen-after-ms"), 0, kMaxMs, result.reopenAfterMs,
                    error))
        return error;

    if (parser.isSet(QStringLiteral("baud"))) {
        const QString baud = parser.value(QStringLiteral("baud"));
        if (baud != QLatin1String("9600") && baud != QLatin1String("19200"))
            return QStringLiteral("--baud takes 9600 or 19200");
        sim.baud = baud.toInt();
    }
    if (parser.isSet(QStringLiteral("reversal"))) {
        static const QRegularExpression pattern(QStringLiteral("^[01]{2}$"));
        const QString reversal = parser.value(QStringLiteral("reversal"));
        if (!pattern.match(reversal).hasMatch())
            return QStringLiteral("--reversal takes 11, 10, 01 or 00");
        sim.reversal = reversal.toLatin1();
    }
    for (const QString& fault : parser.values(QStringLiteral("fault")))
        if (!readFault(fault, sim.projectorCount, sim.faults, error))
            return error;
    sim.silent = parser.isSet(QStringLiteral("silent"));
    sim.split = parser.isSet(QStringLiteral("split"));
    result.reopenOnInput = parser.isSet(QStringLiteral("reopen-on-input"));
    for (const char* reopen : {"reopen-after-ms", "reopen-on-input"}) {
        if (parser.isSet(QString::fromLatin1(reopen)) &&
            !parser.isSet(QStringLiteral("hangup-after")))
            return QStringLiteral("--%1 needs --hangup-after").arg(QLatin1String(reopen));
    }

    result.linkPath = parser.value(QStringLiteral("link"));
    if (parser.isSet(QStringLiteral("link")) && result.linkPath.isEmpty())
        return QStringLiteral("--link needs a path");
    if (parser.isSet(QStringLiteral("tcp"))) {
        static const QRegularExpression pattern(
            QStringLiteral("^(?:(\\[[0-9A-Fa-f:.]+\\]|[^:\\[\\]]+):)?([0-9]{1,5})$"));
        const auto match = pattern.match(parser.value(QStringLiteral("tcp")));
        const int port = match.captured(2).toInt();
        if (!match.hasMatch() || port > 65535)
            return QStringLiteral("--tcp takes [HOST:]PORT with a port from 0 to 65535");
        QString host = match.captured(1);
        if (host.startsWith(u'['))
            host = host.mid(1, host.size() - 2);
        result.tcpHost = host.isEmpty() ? QStringLiteral("127.0.0.1") : host;
        result.tcpPort = port;
        result.usePty = !result.linkPath.isEmpty();
    }
    result.portName = parser.value(QStringLiteral("register"));
    if (parser.isSet(QStringLiteral("register")) && !isPortName(result.portName))
        return QStringLiteral("--register takes COM1 to COM15");
    result.configHome = parser.value(QStringLiteral("config-home"));
    if (result.configHome.isEmpty())
        result.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (result.configHome.isEmpty())
        result.configHome = QDir::homePath() + QStringLiteral("/.config");
    return {};
}

} // namespace zuno::sim
