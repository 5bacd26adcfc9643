#include "link/form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Button fills show as designed under Fusion on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    zuno::Form1 window;
    window.load();
    window.show();
    return app.exec();
}
