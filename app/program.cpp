#include "app/program.h"

#include "app/commandline.h"
#include "app/headless.h"
#include "app/panelentry.h"
#include "core/terminationsignals.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>

#include <cstdio>

namespace zuno {

namespace {

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// The window systems that need a display; every other platform (offscreen, vnc, linuxfb ...)
// draws without one and is left to try.
bool needsDisplay(const QString& platforms)
{
    if (platforms.isEmpty())
        return true; // Qt's default: xcb or wayland
    // "wayland;xcb" lists fallbacks; "xcb:option" carries options.
    for (const QString& platform : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString name = platform.section(u':', 0, 0).trimmed();
        if (!name.startsWith(QLatin1String("xcb")) && !name.startsWith(QLatin1String("wayland")))
            return false;
    }
    return true;
}

int runHeadless(int argc, char* argv[], const CommandLine& line, Settings& settings)
{
    QCoreApplication app(argc, argv);
    HeadlessRun run(line, settings);
    QObject::connect(&run, &HeadlessRun::finished, &app, &QCoreApplication::exit);
    // SIGTERM, SIGINT and SIGHUP close the ports before the end.
    runOnTerminationSignals(&run, [&run] { run.interrupt(); });
    QTimer::singleShot(0, &run, &HeadlessRun::start);
    return app.exec();
}

QString programFolder(const char* argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return self.exists() ? QFileInfo(self.symLinkTarget()).absolutePath()
                         : QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

int runPanel(int argc, char* argv[], const CommandLine& line, void (*windowCreated)(QObject&))
{
    const QString platform =
        line.platform.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : line.platform;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        needsDisplay(platform)) {
        print(stderr, QStringLiteral("zuno: no display (DISPLAY and WAYLAND_DISPLAY are not set), "
                                     "so the panel cannot open; without one, zuno --send, "
                                     "--status, --list-ports and --map work\n"));
        return 1;
    }
    // The module where the package installs it beside the programs, else where the build put it.
    QStringList problems;
    for (const QString& path :
         {QDir(programFolder(argv[0])).filePath(QStringLiteral(ZUNO_PANEL_MODULE_FROM_PROGRAMS)),
          QStringLiteral(ZUNO_PANEL_MODULE_IN_BUILD)}) {
        QLibrary module(path);
        if (auto run = reinterpret_cast<RunPanel>(module.resolve(kRunPanelSymbol))) {
            int count = argc;
            return run({&count, argv, &line, windowCreated});
        }
        problems << module.errorString();
    }
    print(stderr, QStringLiteral("zuno: the panel cannot be loaded: %1\n")
                      .arg(problems.join(QStringLiteral("; "))));
    return 1;
}

} // namespace

int runProgram(int argc, char* argv[], void (*windowCreated)(QObject& window))
{
    // A reader that goes away (| head, a session log into a pipe whose reader ended) makes a
    // write fail, which is reported, instead of ending the program before its closing steps:
    // the address stored, the ports closed in order.
    ignoreBrokenPipes();
    QCoreApplication::setApplicationName(QStringLiteral("ZUNO"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZUNO_VERSION));

    // Everything but the panel itself is answered without loading a window library, so no
    // window can open and no display is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Settings settings;
    const CommandLine line = parseCommandLine(arguments, settings);
    switch (line.action) {
    case CommandLine::Action::Error:
        print(stderr, line.error + u'\n');
        return kBadUsageExit;
    case CommandLine::Action::Help:
        print(stdout, helpText());
        return 0;
    case CommandLine::Action::Version:
        print(stdout, versionText());
        return 0;
    case CommandLine::Action::Ports: {
        const PortCommandsResult result = runPortCommands(line, settings);
        print(stdout, result.out);
        print(stderr, result.err);
        return result.exitCode;
    }
    case CommandLine::Action::Send:
    case CommandLine::Action::Status:
        return runHeadless(argc, argv, line, settings);
    case CommandLine::Action::Panel:
        break;
    }
    return runPanel(argc, argv, line, windowCreated);
}

} // namespace zuno
