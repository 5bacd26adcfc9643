#pragma once

#include "core/portchoice.h"

#include <QString>
#include <QStringList>

namespace zuno {

class Settings;

// What the command line asks for. Parsing needs no application object, so that help, version
// and every error are given before any window could open.
struct CommandLine
{
    enum class Action
    {
        Panel,   // start the panel
        Help,    // print helpText()
        Version, // print versionText()
        Ports,   // --map and/or --list-ports, then end
        Send,    // --send: the commands to one projector, the replies on stdout
        Status,  // --status: the readings of every projector named, on stdout
        Error    // print `error` on stderr and end with kBadUsageExit
    };
    Action action = Action::Panel;
    QString error; // one line naming the bad value

    StartUpChoice startUp; // --port N|DEVICE, --baud, --address: for this run only
    // Qt's -platform, when given: the panel's window system.
    QString platform;
    // Where the session log goes: --log, else the store's [Log] "File"; empty: no log.
    QString sessionLogFile;

    bool listPorts = false; // --list-ports
    int mapPort = 0;        // --map COMn=DEVICE: n (0: no --map) ...
    QString mapDevice;      // ... and DEVICE

    // The headless commands (--send, --status): standard output, exit codes, no window.
    enum class Format
    {
        Text,
        Json,
        Csv
    };
    QStringList commands; // --send, in order, as given
    // --status: each --port as given, with what it opens; the start-up's port (stored) when none
    // is given. Each --address's prefix; the stored address when none is given.
    struct Port
    {
        QString given; // as on the command line ("5", "COM5", "/dev/ttyUSB0", "tcp://...")
        std::int16_t port = 0;
        QString device;
    };
    QList<Port> ports;
    QList<QByteArray> addresses;
    int replyMs = 0; // --reply-ms; 0: the panel's reply window
    Format format = Format::Text;
};

inline constexpr int kBadUsageExit = 2;
// The longest --reply-ms: ten minutes.
inline constexpr int kMaxReplyMs = 600000;

// Parses the program's arguments (the program's name first). Qt's own options (-platform,
// -style ...) are accepted and left to the application object. `settings` gives the session
// log's file when --log does not.
CommandLine parseCommandLine(const QStringList& arguments, const Settings& settings);

QString helpText();
QString versionText();

// Runs --map and --list-ports: the output for stdout and stderr, and the exit code.
struct PortCommandsResult
{
    QString out;
    QString err;
    int exitCode = 0;
};
PortCommandsResult runPortCommands(const CommandLine& line, Settings& settings);

} // namespace zuno
