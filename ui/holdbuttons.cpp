#include "ui/holdbuttons.h"

#include "core/exchange.h"

#include <QKeyEvent>
#include <QPushButton>

namespace zuno {

namespace {
// A press or release of Space by the key itself, not by the keyboard's auto-repeat.
bool isSpaceStroke(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_Space && !key->isAutoRepeat();
}
} // namespace

HoldButtons::HoldButtons(Exchange& exchange, QWidget* window)
    : QObject(window), m_exchange(exchange), m_window(window)
{
    window->installEventFilter(this);
}

void HoldButtons::add(QPushButton* button, int repeatKey)
{
    m_repeatKeys.insert(button, repeatKey);
    button->installEventFilter(this);
}

void HoldButtons::press(QPushButton* button, bool byKeyboard)
{
    // A second press, on this or another hold button, changes nothing while a hold runs.
    if (m_exchange.isHolding())
        return;
    m_held = button;
    m_heldByKeyboard = byKeyboard;
    m_exchange.startHold(m_repeatKeys.value(button));
}

void HoldButtons::release()
{
    m_held = nullptr;
    m_exchange.endHold();
}

bool HoldButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowDeactivate && m_exchange.isHolding())
            release();
        return false;
    }
    // A button being destroyed is no push button any more by then: it has nothing to hold.
    auto* button = qobject_cast<QPushButton*>(watched);
    if (!button)
        return false;
    // The keyboard's own repeat sends pairs of auto-repeated releases and presses of Space: they
    // neither end the hold nor start another.
    const bool spaceKey = isSpaceStroke(event);
    const bool keyboardHold = m_heldByKeyboard && button == m_held;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        press(button, false);
        break;
    case QEvent::KeyPress:
        if (spaceKey)
            press(button, true);
        break;
    case QEvent::KeyRelease:
    case QEvent::FocusOut:
        if (keyboardHold && (spaceKey || event->type() == QEvent::FocusOut))
            release();
        break;
    case QEvent::MouseButtonRelease:
        release();
        break;
    case QEvent::Hide:
        // A held button that disappears can no longer be released: the hold ends now.
        if (m_exchange.isHolding() && button == m_held)
            release();
        break;
    default:
        break;
    }
    return false;
}

} // namespace zuno
