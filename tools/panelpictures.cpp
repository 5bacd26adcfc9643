// Takes the pictures of the panel shown in the README: full and compact height,
// rendered offscreen, with a sample exchange on the echo and status lines.
#include "link/form1.h"
#include "settings/portsettings.h"
#include "testing/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TempStore::setUpProcess();
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    zuno::Form1 form;
    form.show();
    // "STATUS" with the address 001, answered "00" and CR: what a technician sees.
    form.AddressPrefix = "A001";
    form.Hyouji("CR0\r", zuno::Form1::kTransmit);
    form.RxBuffer = "00\r";
    zuno::SendText = "CR0\r";
    form.Hyouji(form.RxBuffer, zuno::Form1::kReceive);
    form.setFixedHeight(zuno::Form1::fullClientHeight());
    const bool full = form.grab().save(out.filePath(QStringLiteral("panel-full.png")));
    form.setFixedHeight(zuno::Form1::compactClientHeight());
    const bool compact = form.grab().save(out.filePath(QStringLiteral("panel-compact.png")));
    return full && compact ? 0 : 1;
}
