#include "app/commandline.h"

#include "core/commandextraction.h"
#include "core/panellayout.h"
#include "core/storednumber.h"
#include "links/portinventory.h"
#include "links/portnaming.h"
#include "settings/settings.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace zuno {

namespace {
// The options Qt's application objects take for themselves; the panel's application object
// reads them after parsing, so they must not count as unknown here.
constexpr const char* kQtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "name",          "title",   "visual"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

CommandLine failure(const QString& error)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = QStringLiteral("zuno: ") + error;
    return line;
}

// "5" or "COM5" (any case): the number; -1 for anything else.
int comNumberOf(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:COM)?([0-9]{1,9})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString quoted(const QString& value)
{
    return u'\'' + value + u'\'';
}

// A device as --port and --map take it: a serial device server's address (tcp:// or
// rfc2217://, the scheme in any case, written in lower case), a path made absolute, or a bare
// name, which names a device in /dev.
// Empty, with the reason in `error`, for anything else.
QString deviceOf(const QString& text, QString* error)
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    // A COM name where a device belongs, or a COM number mistyped ("COM5:").
    static const QRegularExpression comName(QStringLiteral("^COM[^/]*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("the device is missing");
        return {};
    }
    // What could not be read as text came in as replacement characters: no such path exists.
    if (text.contains(QChar::ReplacementCharacter)) {
        *error = QStringLiteral("the path is not valid text in the system's encoding");
        return {};
    }
    if (const QRegularExpressionMatch match = scheme.match(text); match.hasMatch()) {
        const QString name = match.captured(1).toLower();
        const QString device = name + QStringLiteral("://") + text.mid(match.capturedLength());
        if (name != QLatin1String("tcp") && name != QLatin1String("rfc2217"))
            *error = QStringLiteral("unknown scheme %1").arg(quoted(match.captured(1)));
        else if (!tcpAddressOf(device))
            *error = QStringLiteral("not %1://HOST:PORT with a PORT from 1 to 65535").arg(name);
        else
            return device;
        return {};
    }
    if (comName.match(text).hasMatch()) {
        *error = QStringLiteral("neither a COM number nor a device");
        return {};
    }
    if (!text.contains(u'/'))
        return QStringLiteral("/dev/") + text;
    return QFileInfo(text).absoluteFilePath();
}

// "COMn" (any case) with n from 1 to 15: n; 0 for anything else.
int mappedPortOf(const QString& text)
{
    const int number =
        text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? comNumberOf(text) : -1;
    return isValidPortNumber(number) ? number : 0;
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const Settings& settings)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("port"));
    const QCommandLineOption baud(QStringLiteral("baud"), {}, QStringLiteral("speed"));
    const QCommandLineOption address(QStringLiteral("address"), {}, QStringLiteral("address"));
    const QCommandLineOption log(QStringLiteral("log"), {}, QStringLiteral("file"));
    const QCommandLineOption listPorts(QStringLiteral("list-ports"));
    const QCommandLineOption map(QStringLiteral("map"), {}, QStringLiteral("mapping"));
    const QCommandLineOption unmap(QStringLiteral("unmap"), {}, QStringLiteral("port"));
    const QCommandLineOption send(QStringLiteral("send"), {}, QStringLiteral("command"));
    const QCommandLineOption status(QStringLiteral("status"));
    const QCommandLineOption replyMs(QStringLiteral("reply-ms"), {}, QStringLiteral("ms"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("format"));
    parser.addOptions({help, version, port, baud, address, log, listPorts, map, unmap, send, status,
                       replyMs, format});
    for (const char* name : kQtOptionsWithValue)
        parser.addOption({QString::fromLatin1(name), {}, QStringLiteral("value")});
    for (const char* name : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument %1")
                           .arg(quoted(parser.positionalArguments().constFirst())));

    CommandLine line;
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::Help;
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
        return line;
    }

    const QStringList portValues = parser.values(port);
    for (const QString& value : portValues) {
        CommandLine::Port named;
        named.given = value;
        const int number = comNumberOf(value);
        if (number >= 0) {
            if (!isValidPortNumber(number))
                return failure(QStringLiteral("--port %1: a COM number is 1 to 15").arg(value));
            named.port = std::int16_t(number);
        } else {
            QString error;
            named.device = deviceOf(value, &error);
            if (named.device.isEmpty())
                return failure(QStringLiteral("--port %1: %2; give a COM number (1 to 15), a "
                                              "device, tcp://HOST:PORT or rfc2217://HOST:PORT")
                                   .arg(quoted(value), error));
        }
        line.ports << named;
    }
    if (!line.ports.isEmpty()) {
        line.startUp.port = line.ports.constFirst().port;
        line.startUp.device = line.ports.constFirst().device;
    }
    if (parser.isSet(baud)) {
        const QString value = parser.value(baud);
        if (value == QLatin1String("9600") || value == QLatin1String("19200"))
            line.startUp.bitsPerSecond = value.toInt();
        else
            return failure(
                QStringLiteral("--baud %1: the speed is 9600 or 19200").arg(quoted(value)));
    }
    for (const QString& value : parser.values(address)) {
        std::optional<QByteArray> prefix;
        for (const AddressOptionSpec& option : addressOptions()) {
            if (value.compare(QLatin1String(option.caption), Qt::CaseInsensitive) == 0)
                prefix = QByteArray(option.prefix);
        }
        if (!prefix)
            return failure(QStringLiteral("--address %1: the address is SINGLE, ALL, 001, 002, "
                                          "003 or 004")
                               .arg(quoted(value)));
        line.addresses << *prefix;
    }
    if (!line.addresses.isEmpty())
        line.startUp.address = line.addresses.constFirst();
    // Each --map and --unmap in the order given; a port named twice would leave it to chance
    // which one counts.
    const QStringList mapValues = parser.values(map), unmapValues = parser.values(unmap);
    qsizetype maps = 0, unmaps = 0;
    for (const QString& option : parser.optionNames()) {
        CommandLine::Mapping mapping;
        if (option == map.names().constFirst()) {
            const QString value = mapValues.at(maps++);
            const qsizetype equals = value.indexOf(u'=');
            mapping.port = equals < 0 ? 0 : mappedPortOf(value.left(equals));
            if (mapping.port == 0)
                return failure(QStringLiteral("--map %1: expected COMn=DEVICE with n from 1 to 15")
                                   .arg(quoted(value)));
            QString error;
            mapping.device = deviceOf(value.mid(equals + 1), &error);
            if (mapping.device.isEmpty())
                return failure(QStringLiteral("--map %1: %2; give COMn=DEVICE, or --unmap COMn to "
                                              "remove a mapping")
                                   .arg(quoted(value), error));
        } else if (option == unmap.names().constFirst()) {
            const QString value = unmapValues.at(unmaps++);
            mapping.port = mappedPortOf(value);
            if (mapping.port == 0)
                return failure(QStringLiteral("--unmap %1: expected COMn with n from 1 to 15")
                                   .arg(quoted(value)));
        } else {
            continue;
        }
        for (const CommandLine::Mapping& earlier : std::as_const(line.mappings)) {
            if (earlier.port == mapping.port)
                return failure(
                    QStringLiteral("COM%1 is mapped or unmapped twice").arg(mapping.port));
        }
        line.mappings.append(mapping);
    }
    line.listPorts = parser.isSet(listPorts);
    if (line.listPorts || !line.mappings.isEmpty())
        line.action = CommandLine::Action::Ports;
    line.platform = parser.value(QStringLiteral("platform"));

    // The headless commands.
    line.commands = parser.values(send);
    for (const QString& command : std::as_const(line.commands)) {
        if (commandTextOf(command).isEmpty())
            return failure(QStringLiteral("--send %1: the command is empty").arg(quoted(command)));
    }
    const bool sending = !line.commands.isEmpty();
    const bool reading = parser.isSet(status);
    const QString headlessName = sending ? QStringLiteral("--send") : QStringLiteral("--status");
    if (sending && reading)
        return failure(QStringLiteral("--send and --status: give one of them"));
    if ((sending || reading) && line.action == CommandLine::Action::Ports)
        return failure(QStringLiteral("%1 does not combine with --list-ports, --map or --unmap")
                           .arg(headlessName));
    if (!sending && !reading) {
        for (const QCommandLineOption* only : {&replyMs, &format}) {
            if (parser.isSet(*only))
                return failure(QStringLiteral("--%1 goes with --send or --status")
                                   .arg(only->names().constFirst()));
        }
    }
    if (!reading) {
        if (line.ports.size() > 1)
            return failure(QStringLiteral("--port is given %1 times: only --status reads "
                                          "several ports")
                               .arg(line.ports.size()));
        if (line.addresses.size() > 1)
            return failure(QStringLiteral("--address is given %1 times: only --status reads "
                                          "several projectors")
                               .arg(line.addresses.size()));
    } else if (line.addresses.contains(QByteArray("AFFF"))) {
        return failure(QStringLiteral("--status --address ALL: a broadcast gets no answer; name "
                                      "the projectors (SINGLE, 001 to 004)"));
    }
    if (parser.isSet(replyMs)) {
        bool ok = false;
        line.replyMs = parser.value(replyMs).toInt(&ok);
        if (!ok || line.replyMs < 1 || line.replyMs > kMaxReplyMs)
            return failure(QStringLiteral("--reply-ms %1: a time from 1 to %2 ms")
                               .arg(quoted(parser.value(replyMs)))
                               .arg(kMaxReplyMs));
    }
    if (parser.isSet(format)) {
        const QString value = parser.value(format);
        if (value == QLatin1String("text"))
            line.format = CommandLine::Format::Text;
        else if (value == QLatin1String("json"))
            line.format = CommandLine::Format::Json;
        else if (value == QLatin1String("csv") && reading)
            line.format = CommandLine::Format::Csv;
        else
            return failure(QStringLiteral("--format %1: %2 writes %3")
                               .arg(quoted(value), headlessName,
                                    reading ? QStringLiteral("text, json or csv")
                                            : QStringLiteral("text or json")));
    }
    if (sending)
        line.action = CommandLine::Action::Send;
    else if (reading)
        line.action = CommandLine::Action::Status;

    line.sessionLogFile = parser.isSet(log) ? parser.value(log) : settings.logFile();
    if (parser.isSet(log) && line.sessionLogFile.isEmpty())
        return failure(QStringLiteral("--log '': the log needs a file name"));
    return line;
}

QString versionText()
{
    return QStringLiteral("ZUNO %1\n").arg(QStringLiteral(ZUNO_VERSION));
}

QString helpText()
{
    return QStringLiteral(
        "Usage: zuno [--port N|DEVICE] [--baud 9600|19200] [--address A] [--log FILE]\n"
        "       zuno --send COMMAND [--send COMMAND ...] [--port P] [--baud B] [--address A]\n"
        "            [--reply-ms MS] [--format text|json] [--log FILE]\n"
        "       zuno --status [--port P ...] [--address A ...] [--reply-ms MS]\n"
        "            [--format text|json|csv] [--log FILE]\n"
        "       zuno --list-ports | --map COMn=DEVICE ... --unmap COMn ... | --help | --version\n"
        "Controls and tests a data projector over an RS-232C serial line.\n"
        "Without --send or --status the panel opens the port, speed and address of the last\n"
        "run; --send and --status need no display and print their results instead.\n"
        "\n"
        "Options:\n"
        "  --port N|DEVICE      open COM N (1 to 15), or DEVICE, for this run; nothing is\n"
        "                       stored\n"
        "  --baud 9600|19200    the line speed for this run; nothing is stored\n"
        "  --address ADDRESS    SINGLE, ALL, 001, 002, 003 or 004 for this run; the panel\n"
        "                       stores it on closing only once another address is picked\n"
        "  --log FILE           write the session log to FILE (default: [Log] File in the\n"
        "                       settings file)\n"
        "  --send COMMAND       send COMMAND (as the console takes it: \"CR0\", \"C00\",\n"
        "                       \"CF BRIGHT UP\"; [CR] at its end optional) and print the\n"
        "                       reply, one line per command; repeat for more commands\n"
        "  --status             read STATUS, INPUT MODE, LAMP TIME, SETTING and TEMP from\n"
        "                       every projector on every --port (side by side) and --address\n"
        "                       (one after the other), one line per projector\n"
        "  --reply-ms MS        wait up to MS ms for each reply (default 1000)\n"
        "  --format FORMAT      text (default), json (one object a line) or, for --status,\n"
        "                       csv (with a header line)\n"
        "  --list-ports         list COM1 to COM15 with their devices, and the serial\n"
        "                       devices present with the COM number that reaches each\n"
        "  --map COMn=DEVICE    name DEVICE as COM n in the [Ports] section of the settings\n"
        "                       file, by its /dev/serial/by-id link when it has one; may\n"
        "                       be given for several ports\n"
        "  --unmap COMn         remove COM n from the [Ports] section\n"
        "  -h, --help           show this help\n"
        "  --version            show the version\n"
        "\n"
        "DEVICE is a device path, a name in /dev (ttyUSB0 is /dev/ttyUSB0), or a serial\n"
        "device server's tcp://HOST:PORT or rfc2217://HOST:PORT.\n"
        "Qt's own options (-platform, -style ...) are accepted.\n"
        "Settings file: $XDG_CONFIG_HOME/ZUNO.conf (default ~/.config/ZUNO.conf); --send and\n"
        "--status read it and never write it.\n"
        "Exit status: 0 on success (every command answered; a broadcast to ALL expects no\n"
        "answer); 1 when a port could not be opened, the settings file cannot be written, or\n"
        "the panel has no display; 2 for a bad option or value; 3 when a command or projector\n"
        "did not answer; 130 when ended by a signal.\n");
}

PortCommandsResult runPortCommands(const CommandLine& line, Settings& settings)
{
    PortCommandsResult result;
    for (const CommandLine::Mapping& mapping : line.mappings) {
        settings.reload(); // what stands there now is what is replaced
        const QString before = settings.portEntry(mapping.port);
        const QString place = QStringLiteral("[Ports] in ") + settings.location();
        QString target = mapping.device;
        if (!target.isEmpty() && !isTcpDevice(target)) {
            if (const QString byId = byIdLinkFor(target, serialByIdFolder()); !byId.isEmpty())
                target = byId;
        }
        const bool stored = target.isEmpty() ? settings.removePortEntry(mapping.port)
                                             : settings.storePortEntry(mapping.port, target);
        if (!stored) {
            result.err =
                QStringLiteral("zuno: COM%1 was not %2: %3\n")
                    .arg(mapping.port)
                    .arg(target.isEmpty() ? QStringLiteral("unmapped") : QStringLiteral("mapped"))
                    .arg(settings.writeProblem());
            result.exitCode = 1;
            return result;
        }
        if (target.isEmpty()) {
            result.out += before.isEmpty()
                              ? QStringLiteral("COM%1 is not mapped in %2: unchanged\n")
                                    .arg(mapping.port)
                                    .arg(place)
                              : QStringLiteral("%1 removed from %2\n")
                                    .arg(mappingLine(mapping.port, before), place);
            continue;
        }
        QStringList notes;
        if (!before.isEmpty() && before != target)
            notes << QStringLiteral("it was %1").arg(before);
        if (!isTcpDevice(target) && !QFileInfo::exists(target))
            notes << QStringLiteral("the device is not present now");
        result.out += QStringLiteral("%1 %2 %3%4\n")
                          .arg(mappingLine(mapping.port, target),
                               before == target ? QStringLiteral("unchanged in")
                                                : QStringLiteral("written to"),
                               place,
                               notes.isEmpty()
                                   ? QString()
                                   : QStringLiteral(" (%1)").arg(notes.join(QLatin1String("; "))));
    }
    if (line.listPorts && !settings.problem().isEmpty())
        result.err += QStringLiteral("zuno: %1: it is not read, so no [Ports] entry applies\n")
                          .arg(settings.problem());
    if (line.listPorts)
        result.out += inventoryText(
            takeInventory(PortNaming(settings), systemSerialDevices(), serialByIdFolder()));
    return result;
}

} // namespace zuno
