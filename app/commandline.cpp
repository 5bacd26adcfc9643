#include "app/commandline.h"

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

// A device as --port and --map take it: a serial device server's address, or a path made
// absolute. Empty when it is neither.
QString deviceOf(const QString& text)
{
    if (isTcpDevice(text))
        return tcpAddressOf(text) ? text : QString();
    if (text.trimmed().isEmpty())
        return {};
    return QFileInfo(text).absoluteFilePath();
}

QString quoted(const QString& value)
{
    return u'\'' + value + u'\'';
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
    parser.addOptions({help, version, port, baud, address, log, listPorts, map});
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

    if (parser.isSet(port)) {
        const QString value = parser.value(port);
        const int number = comNumberOf(value);
        if (number >= 0) {
            if (!isValidPortNumber(number))
                return failure(QStringLiteral("--port %1: a COM number is 1 to 15").arg(value));
            line.startUp.port = std::int16_t(number);
        } else {
            line.startUp.device = deviceOf(value);
            if (line.startUp.device.isEmpty())
                return failure(QStringLiteral("--port %1: not a COM number (1 to 15), a device "
                                              "path or tcp://HOST:PORT")
                                   .arg(quoted(value)));
        }
    }
    if (parser.isSet(baud)) {
        const QString value = parser.value(baud);
        if (value == QLatin1String("9600") || value == QLatin1String("19200"))
            line.startUp.bitsPerSecond = value.toInt();
        else
            return failure(
                QStringLiteral("--baud %1: the speed is 9600 or 19200").arg(quoted(value)));
    }
    if (parser.isSet(address)) {
        const QString value = parser.value(address);
        for (const AddressOptionSpec& option : addressOptions()) {
            if (value.compare(QLatin1String(option.caption), Qt::CaseInsensitive) == 0)
                line.startUp.address = QByteArray(option.prefix);
        }
        if (!line.startUp.address)
            return failure(QStringLiteral("--address %1: the address is SINGLE, ALL, 001, 002, "
                                          "003 or 004")
                               .arg(quoted(value)));
    }
    if (parser.isSet(map)) {
        const QString value = parser.value(map);
        const qsizetype equals = value.indexOf(u'=');
        const QString com = value.left(equals);
        line.mapPort = equals < 0 || !com.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
                           ? -1
                           : comNumberOf(com);
        line.mapDevice = equals < 0 ? QString() : deviceOf(value.mid(equals + 1));
        if (!isValidPortNumber(line.mapPort))
            return failure(QStringLiteral("--map %1: expected COMn=DEVICE with n from 1 to 15")
                               .arg(quoted(value)));
        if (line.mapDevice.isEmpty())
            return failure(QStringLiteral("--map %1: the device is missing or no "
                                          "tcp://HOST:PORT")
                               .arg(quoted(value)));
    }
    line.listPorts = parser.isSet(listPorts);
    if (line.listPorts || line.mapPort != 0)
        line.action = CommandLine::Action::Ports;

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
        "Usage: zuno [options]\n"
        "Controls and tests a data projector over an RS-232C serial line.\n"
        "Without options the panel opens the port, speed and address of the last run.\n"
        "\n"
        "Options:\n"
        "  --port N|DEVICE      open COM N (1 to 15), or DEVICE (a device path or\n"
        "                       tcp://HOST:PORT), for this run; nothing is stored\n"
        "  --baud 9600|19200    the line speed for this run; nothing is stored\n"
        "  --address ADDRESS    SINGLE, ALL, 001, 002, 003 or 004 for this run; stored on\n"
        "                       closing only once another address is picked in the panel\n"
        "  --log FILE           write the session log to FILE (default: [Log] File in the\n"
        "                       settings file)\n"
        "  --list-ports         list COM1 to COM15 with their devices, and the serial\n"
        "                       devices present with the COM number that reaches each\n"
        "  --map COMn=DEVICE    name DEVICE as COM n in the [Ports] section of the settings\n"
        "                       file, by its /dev/serial/by-id link when it has one\n"
        "  -h, --help           show this help\n"
        "  --version            show the version\n"
        "\n"
        "Qt's own options (-platform, -style ...) are accepted.\n"
        "Settings file: $XDG_CONFIG_HOME/ZUNO.conf (default ~/.config/ZUNO.conf).\n"
        "Exit status: 0 on success, 1 when the settings file cannot be written, 2 for a bad\n"
        "option or value.\n");
}

PortCommandsResult runPortCommands(const CommandLine& line, Settings& settings)
{
    PortCommandsResult result;
    if (line.mapPort != 0) {
        const QString byId = isTcpDevice(line.mapDevice)
                                 ? QString()
                                 : byIdLinkFor(line.mapDevice, serialByIdFolder());
        const QString target = byId.isEmpty() ? line.mapDevice : byId;
        if (!settings.storePortEntry(line.mapPort, target)) {
            result.err = QStringLiteral("zuno: %1 could not be written\n").arg(settings.location());
            result.exitCode = 1;
            return result;
        }
        result.out = QStringLiteral("%1 written to [Ports] in %2%3\n")
                         .arg(mappingLine(line.mapPort, target), settings.location(),
                              isTcpDevice(target) || QFileInfo::exists(target)
                                  ? QString()
                                  : QStringLiteral(" (the device is not present now)"));
    }
    if (line.listPorts)
        result.out += inventoryText(
            takeInventory(PortNaming(settings), systemSerialDevices(), serialByIdFolder()));
    return result;
}

} // namespace zuno
