// The main window's link engine: transmit, echo, receive, decode, holds and timers.
#include "link/echo.h"
#include "link/form1.h"
#include "link/replydecoder.h"
#include "link/rxbuffer.h"
#include "panel/buttontable.h"
#include "panel/paneltable.h"
#include "settings/portsettings.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

namespace zuno {

namespace {
constexpr int kHoldRepeatMs = 100;
constexpr int kHoldReplyMs = 150;
constexpr int kHoldDisplayClearMs = 200;
constexpr int kAfterHoldReplyMs = 500;
constexpr int kAfterHoldDisplayClearMs = 1000;
constexpr int kMenuOnRepeatMs = 200;
constexpr int kToggleThresholdTwips = 7000;

const QString kNoReplyMark = QStringLiteral(" X X X X ");
const QString kPortClosedMark = QStringLiteral(" PORT CLOSED ");
} // namespace

void Form1::wireButtons()
{
    for (const ButtonSpec& spec : panelButtons()) {
        QPushButton* button = m_buttons.value(QString::fromLatin1(spec.name));
        switch (spec.kind) {
        case ButtonKind::Click:
            // Enter acts on the focused button like Space, as technicians expect of a panel.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this, [this, &spec] { clickButton(spec); });
            break;
        case ButtonKind::Hold:
            // Holds act on press and release of any mouse button (seen by the event filter);
            // they have no click action, so the keyboard cannot start one.
            m_holdButtons.insert(button, &spec);
            break;
        case ButtonKind::Action:
            button->setAutoDefault(true);
            break;
        }
    }
    connect(m_buttons.value(QStringLiteral("Command16")), &QPushButton::clicked, this,
            &Form1::Command16_Click);
    connect(m_buttons.value(QStringLiteral("Command33")), &QPushButton::clicked, this,
            &Form1::Command33_Click);
    connect(m_buttons.value(QStringLiteral("Command74")), &QPushButton::clicked, this,
            &Form1::Command74_Click);
    for (QRadioButton* option : std::as_const(m_options)) {
        // A click only chooses the prefix for the next transmission.
        connect(option, &QRadioButton::clicked, this,
                [this, option] { AddressPrefix = addressPrefixOf(option->objectName()); });
    }
}

void Form1::clickButton(const ButtonSpec& spec)
{
    SendText = QByteArray(spec.command) + '\r';
    Hyouji(SendText, kTransmit);
    if (qstrcmp(spec.name, "Command23") == 0)
        Timer1.setInterval(kMenuOnRepeatMs);
}

void Form1::pressHoldButton(const ButtonSpec& spec)
{
    if (HoldActive != 0)
        return;
    HoldActive = 1;
    RepeatKey = std::uint8_t(spec.repeatKey);
    SendText = QByteArray(spec.command) + '\r';
    m_heldButton = m_buttons.value(QString::fromLatin1(spec.name));
    Cont_M_down();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != this)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto modifiers =
            key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (key->key() == Qt::Key_K && modifiers == Qt::ControlModifier) {
            togglePanelSize();
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::Hide: {
        const ButtonSpec* spec = m_holdButtons.value(watched);
        if (!spec)
            return false;
        auto* button = static_cast<QPushButton*>(watched);
        if (event->type() == QEvent::MouseButtonRelease)
            Cont_M_up();
        else if (event->type() == QEvent::Hide) {
            // A held button that disappears can no longer be released: end the hold now.
            if (HoldActive && button == m_heldButton)
                Cont_M_up();
        } else
            pressHoldButton(*spec);
        return false;
    }
    default:
        return false;
    }
}

bool Form1::event(QEvent* event)
{
    // A hold never runs on without its button held: losing the window ends it like a release.
    if (event->type() == QEvent::WindowDeactivate && HoldActive)
        Cont_M_up();
    return QWidget::event(event);
}

void Form1::togglePanelSize()
{
    const int outerTwips = frameGeometry().height() * kTwipsPerPixel;
    setFixedHeight(outerTwips >= kToggleThresholdTwips ? compactClientHeight()
                                                       : fullClientHeight());
}

void Form1::showLegends(bool ack, bool cr, bool space)
{
    if (ack)
        m_labels.value(QStringLiteral("Label19"))->show();
    if (cr)
        m_labels.value(QStringLiteral("Label28"))->show();
    if (space)
        m_labels.value(QStringLiteral("Label27"))->show();
}

void Form1::Hyouji(const QByteArray& text, std::uint8_t mode)
{
    QLabel* txd = m_labels.value(QStringLiteral("Label11"));
    QLabel* rxd = m_labels.value(QStringLiteral("Label12"));
    if (mode == kTransmit) {
        const QByteArray wire = AddressPrefix + text;
        const bool sent = m_comm.output(wire);
        rxd->setText(QString());
        RxBuffer.clear();
        const EchoRendering echo = renderEcho(wire);
        showLegends(echo.showAck, echo.showCr, echo.showSpace);
        txd->setText(echo.text);
        Timer2.start();
        AwaitingReply = 1;
        Timer4.start();
        // With the port closed nothing went out: say so instead of waiting for a reply.
        m_portClosedShown = !sent;
        if (!sent)
            rxd->setText(kPortClosedMark);
        return;
    }
    const EchoRendering echo = renderEcho(text);
    showLegends(echo.showAck, echo.showCr, echo.showSpace);
    rxd->setText(echo.text);
    const StatusLineUpdate update = decodeReply(SendText, echo.text, text.size());
    QLabel* status = m_labels.value(QStringLiteral("Label25"));
    if (update.kind == StatusLineUpdate::Kind::Replace)
        status->setText(update.text);
    else if (update.kind == StatusLineUpdate::Kind::Append)
        status->setText(status->text() + update.text);
}

void Form1::receive()
{
    if (m_comm.commEvent() != MSComm1::kEventReceive)
        return;
    const qsizetype before = RxBuffer.size();
    appendReceived(RxBuffer, m_comm.input());
    AwaitingReply = 0;
    // A full collection that took nothing new would redraw the same text: skip the work.
    if (RxBuffer.size() == before && before > 0)
        return;
    Hyouji(RxBuffer, kReceive);
}

void Form1::Cont_M_down()
{
    Timer1.setInterval(kHoldRepeatMs);
    Timer2.setInterval(kHoldReplyMs);
    Timer4.setInterval(kHoldDisplayClearMs);
    Hyouji(SendText, kTransmit);
    Timer1.start();
}

void Form1::Cont_M_up()
{
    RepeatKey = 0;
    Timer1.stop();
    Timer2.stop();
    Timer4.start();
    m_labels.value(QStringLiteral("Label11"))->setText(QString());
    m_labels.value(QStringLiteral("Label12"))->setText(QString());
    Timer2.setInterval(kAfterHoldReplyMs);
    Timer4.setInterval(kAfterHoldDisplayClearMs);
    RxBuffer.clear();
    HoldActive = 0;
    m_heldButton = nullptr;
}

void Form1::Timer1_Timer()
{
    if (RepeatKey == 0)
        return;
    SendText = repeatCommand(RepeatKey) + '\r';
    Hyouji(SendText, kTransmit);
    // Still running, the repeat timer already counts the next interval from this tick's due
    // time; restarting it here would add each tick's latency to every interval.
    if (!Timer1.isActive())
        Timer1.start();
}

void Form1::Timer2_Timer()
{
    if (AwaitingReply == 1 && !m_portClosedShown)
        m_labels.value(QStringLiteral("Label12"))->setText(kNoReplyMark);
    Timer2.stop();
    m_labels.value(QStringLiteral("Label27"))->hide();
    m_labels.value(QStringLiteral("Label28"))->hide();
    m_labels.value(QStringLiteral("Label19"))->hide();
    RxBuffer.clear();
    AwaitingReply = 0;
}

void Form1::Timer4_Timer()
{
    m_labels.value(QStringLiteral("Label11"))->setText(QString());
    m_labels.value(QStringLiteral("Label12"))->setText(QString());
    m_labels.value(QStringLiteral("Label25"))->setText(QString());
    Timer4.stop();
    m_portClosedShown = false;
}

} // namespace zuno
