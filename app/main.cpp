#include "app/commandline.h"
#include "core/terminationsignals.h"
#include "session/session.h"
#include "settings/settings.h"
#include "ui/panelwindow.h"

#include <QApplication>

#include <cstdio>

namespace {
void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
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
    zuno::Settings settings;
    const zuno::CommandLine line = zuno::parseCommandLine(arguments, settings);
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
        const zuno::PortCommandsResult result = zuno::runPortCommands(line, settings);
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
    zuno::Session session(settings);
    zuno::PanelWindow window(session);
    // What the operator should know goes to standard error as well as into the panel.
    QObject::connect(&session, &zuno::Session::notice, &session, [](const QString& text) {
        print(stderr, QStringLiteral("zuno: %1\n").arg(text));
    });
    // SIGTERM, SIGINT and SIGHUP end the session in order: the address stored, the port closed.
    zuno::runOnTerminationSignals(&session, [&session] {
        session.end();
        QCoreApplication::quit();
    });
    // The session log, when one is asked for, sees the whole run from the start-up's port on.
    if (!line.sessionLogFile.isEmpty())
        session.startLog(line.sessionLogFile);
    // The panel shows itself once the start-up has its port, or after the port dialog.
    session.start(line.startUp);
    return app.exec();
}
