// An empty top-level window: the least any Qt Widgets program here costs to start and to keep.
#include "bench/shownprobe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QWidget window;
    window.resize(679, 301); // the panel's compact size
    window.show();
    zuno::bench::reportWhenShown(window);
    return app.exec();
}
