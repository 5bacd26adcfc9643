#include "app/commandline.h"
#include "core/terminationsignals.h"
#include "links/portinventory.h"
#include "links/portlink.h"
#include "links/portnaming.h"
#include "session/sessionlog.h"
#include "ui/panelwindow.h"

#include <QApplication>

#include <cstdio>

namespace {
void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("ZUNO"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZUNO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.zuno"));

    // Everything but the panel itself is answered before an application object exists, so no
    // window can open and no display is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const zuno::CommandLine line = zuno::parseCommandLine(arguments);
    switch (line.action) {
    case zuno::CommandLine::Action::Error:
        print(stderr, line.error + u'\n');
        return zuno::kBadUsageExit;
    case zuno::CommandLine::Action::Help:
        print(stdout, zuno::helpText());
        return 0;
    case zuno::CommandLine::Action::Version:
        print(stdout, zuno::versionText());
        return 0;
    case zuno::CommandLine::Action::Ports: {
        const zuno::PortCommandsResult result = zuno::runPortCommands(line);
        print(stdout, result.out);
        print(stderr, result.err);
        return result.exitCode;
    }
    case zuno::CommandLine::Action::Panel:
        break;
    }

    QApplication app(argc, argv);
    // The panel's fills and frames show their colours under Fusion on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    zuno::StartUpChoice startUp = line.startUp;
    if (!line.runDevice.isEmpty()) {
        startUp.port = std::int16_t(zuno::portForRunDevice(line.runDevice));
        zuno::mapPortForThisRun(startUp.port, line.runDevice);
    }
    zuno::PortLink link;
    zuno::PanelWindow window(link);
    // SIGTERM, SIGINT and SIGHUP end the panel in order: the address stored, the port closed.
    zuno::runOnTerminationSignals(&window, [&window] { window.endSession(); });
    // The session log, when one is asked for, sees the whole run from the start-up's port on.
    std::unique_ptr<zuno::SessionLog> sessionLog;
    if (!line.sessionLogFile.isEmpty())
        sessionLog = zuno::startSessionLog(line.sessionLogFile, window.exchange(), link, [&window] {
            return zuno::portDescription(window.portChoice().port);
        });
    window.start(startUp);
    window.show();
    return app.exec();
}
