// The panel program's start-up, exactly as the tool starts, reporting when its window is
// painted: the subject of the start-up measurement.
#include "bench/shownprobe.h"
#include "session/session.h"
#include "settings/settings.h"
#include "ui/panelwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    zuno::Settings settings;
    zuno::Session session(settings);
    zuno::PanelWindow window(session);
    zuno::bench::reportWhenShown(window);
    session.start();
    return app.exec();
}
