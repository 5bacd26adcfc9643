// The panel, a module the `zuno` program loads only when a window is asked for (see
// app/panelentry.h): Qt Gui and Qt Widgets come with it.
#include "app/commandline.h"
#include "app/panelentry.h"
#include "core/terminationsignals.h"
#include "session/session.h"
#include "settings/settings.h"
#include "ui/panelwindow.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// While the application object starts, Qt's messages are held back: when no window system
// answers (a display that is set but gone), Qt ends the program with advice to reinstall it.
// Instead the operator reads one line that says what is wrong and what works without a display,
// and the program ends with status 1.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
QtMessageHandler previousHandler = nullptr;

void holdWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
        print(stderr,
              QStringLiteral("zuno: the panel cannot open a window: no display or window system "
                             "answered (platform %1); without one, zuno --send, --status, "
                             "--list-ports and --map work\n")
                  .arg(platform.isEmpty() ? QStringLiteral("xcb or wayland") : platform));
        std::_Exit(1);
    }
    heldMessages.push_back({type, QByteArray(context.category), text});
}

void replayHeldMessages()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : std::exchange(heldMessages, {})) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

} // namespace

extern "C" Q_DECL_EXPORT int zuno_run_panel(const zuno::PanelStart& start)
{
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.zuno"));
    previousHandler = qInstallMessageHandler(holdWhileStarting);
    QApplication app(*start.argc, start.argv);
    replayHeldMessages();
    // The panel's fills and frames show their colours under Fusion on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    zuno::Settings settings;
    zuno::Session session(settings);
    zuno::PanelWindow window(session);
    if (start.windowCreated)
        start.windowCreated(window);
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
    if (!start.line->sessionLogFile.isEmpty())
        session.startLog(start.line->sessionLogFile);
    // The panel shows itself once the start-up has its port, or after the port dialog.
    session.start(start.line->startUp);
    return QApplication::exec();
}
