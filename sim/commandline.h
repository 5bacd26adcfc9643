#pragma once

#include "sim/projectorsim.h"

#include <QString>
#include <QStringList>

namespace zuno::sim {

// What the command line asks for.
struct CommandLine
{
    SimOptions sim;
    QString linkPath;           // --link, empty = none
    QString tcpHost;            // --tcp: the address to listen on (127.0.0.1 unless given)
    int tcpPort = -1;           // --tcp: the port, 0 = any free one; -1 = no TCP
    bool usePty = true;         // a pseudo-terminal: without --tcp, or with --link as well
    QString portName;           // --register, empty = none
    QString configHome;         // folder of ZUNO.conf
    int reopenAfterMs = -1;     // --reopen-after-ms, -1 = stay closed after a hang-up
    bool reopenOnInput = false; // --reopen-on-input
    bool helpRequested = false;
    QString helpText;
};

// Reads the arguments (program name first) into result. Returns an error message, or an
// empty text when every argument is valid. helpText is always filled.
QString parseCommandLine(const QStringList& arguments, CommandLine& result);

} // namespace zuno::sim
