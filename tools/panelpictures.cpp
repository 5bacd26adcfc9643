// Takes the pictures of the panel shown in the README: full and compact height,
// rendered offscreen, with a sample exchange on the echo and status lines.
#include "testing/fakepanel.h"
#include "testing/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TempStore::setUpProcess();
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    FakePanel panel;
    FakeLink& link = panel.link;
    zuno::PanelWindow& window = panel.window;
    link.open(5, 9600);
    window.show();
    // "STATUS" to projector 001, answered "00" and CR: what a technician sees. STATUS is
    // clicked as a program clicks it, so the keyboard focus stays on POWER "On".
    window.controls().addressOptions[2]->click();
    panel.button(zuno::PanelButton::Status)->click();
    link.arrive("00\r");
    window.setFixedHeight(zuno::PanelWindow::fullClientHeight());
    const bool full = window.grab().save(out.filePath(QStringLiteral("panel-full.png")));
    window.setFixedHeight(zuno::PanelWindow::compactClientHeight());
    const bool compact = window.grab().save(out.filePath(QStringLiteral("panel-compact.png")));
    return full && compact ? 0 : 1;
}
