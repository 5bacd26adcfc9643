#include "serial/portlink.h"
#include "ui/panelwindow.h"
#include "ui/terminationsignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The panel's fills and frames show their colours under Fusion on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    zuno::PortLink link;
    zuno::PanelWindow window(link);
    zuno::endOnTerminationSignals(window);
    window.start();
    window.show();
    return app.exec();
}
