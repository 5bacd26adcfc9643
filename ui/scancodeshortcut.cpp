#include "ui/scancodeshortcut.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace zuno {

ScanCodeShortcut::ScanCodeShortcut(QWidget* window, int key, quint32 scanCode)
    : QObject(window), m_window(window), m_key(key), m_scanCode(scanCode)
{
    // Key events go to the control with the focus, so they are watched application-wide.
    qApp->installEventFilter(this);
}

bool ScanCodeShortcut::matches(QObject* watched, const QKeyEvent& event) const
{
    const auto* widget = qobject_cast<const QWidget*>(watched);
    const Qt::KeyboardModifiers chord =
        event.modifiers() & ~(Qt::MetaModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier);
    return widget && widget->window() == m_window && chord == Qt::ControlModifier &&
           event.key() != m_key && event.nativeScanCode() == m_scanCode;
}

bool ScanCodeShortcut::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) &&
        matches(watched, *static_cast<QKeyEvent*>(event))) {
        // Taking the override keeps any other shortcut from acting on the chord as well: the key
        // press that follows is then this shortcut's alone.
        event->accept();
        if (type == QEvent::KeyPress)
            emit activated();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zuno
