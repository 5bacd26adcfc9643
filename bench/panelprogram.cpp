// The panel program's start-up, exactly as the tool starts, reporting when its window is
// painted: the subject of the start-up measurement.
#include "bench/shownprobe.h"
#include "links/portlink.h"
#include "ui/panelwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    zuno::PortLink link;
    zuno::PanelWindow window(link);
    window.start();
    window.show();
    zuno::bench::reportWhenShown(window);
    return app.exec();
}
