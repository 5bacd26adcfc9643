// Takes the pictures shown in the README: the panel at full and compact height, with a sample
// exchange on the echo and status lines, and the history window after a few more exchanges,
// rendered offscreen.
#include "testing/fakepanel.h"
#include "testing/testsupport.h"
#include "ui/historywindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TempStore::setUpProcess();
    TempStore::writeRaw("[StartUP]\nComPort=5\nBaudRate=96\n");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    FakePanel panel;
    FakeLink& link = panel.link;
    zuno::PanelWindow& window = panel.window;
    panel.session.start();
    // "STATUS" to projector 001, answered "00" and CR: what a technician sees. STATUS is
    // clicked as a program clicks it, so the keyboard focus stays on POWER "On".
    window.controls().addressOptions[2]->click();
    panel.button(zuno::PanelButton::Status)->click();
    link.arrive("00\r");
    window.setFixedHeight(zuno::PanelWindow::fullClientHeight());
    const bool full = window.grab().save(out.filePath(QStringLiteral("panel-full.png")));
    window.setFixedHeight(zuno::PanelWindow::compactClientHeight());
    const bool compact = window.grab().save(out.filePath(QStringLiteral("panel-compact.png")));

    // Each reply comes after about the time a projector takes at 9600 bit/s.
    const auto exchange = [&](zuno::PanelButton button, const QByteArray& reply, int replyMs) {
        panel.button(button)->click();
        QThread::msleep(replyMs);
        link.arrive(reply);
    };
    using B = zuno::PanelButton;
    exchange(B::PowerOn, "\x06", 9);
    exchange(B::Status, "40\r", 14);
    exchange(B::LampTime, "01234\r", 17);
    exchange(B::Temp, "025.0 025.5 026.0\r", 32);
    exchange(B::InputMode, "3\r", 12);
    window.controls().addressOptions[1]->click();
    panel.button(B::Status)->click();
    panel.session.exchange().replyTimerFired();
    window.controls().historyAction->trigger();
    auto* history = window.findChild<zuno::HistoryWindow*>();
    QCoreApplication::processEvents();
    const bool listed =
        history && history->grab().save(out.filePath(QStringLiteral("history.png")));
    return full && compact && listed ? 0 : 1;
}
