#pragma once

#include <QObject>

class QKeyEvent;
class QWidget;

namespace zuno {

// Ctrl and the key at one place on the keyboard, whatever letter the keyboard layout gives it:
// in a Cyrillic or Greek layout the K key produces another letter, which a QShortcut for Ctrl+K
// does not match. This one matches the key's native scan code wherever the produced key is not
// the shortcut's own letter (that one is left to the QShortcut). Meta held as well does not
// hinder it.
class ScanCodeShortcut : public QObject
{
    Q_OBJECT
  public:
    // window: where the chord counts, whichever of its controls has the focus; key: the letter
    // the QShortcut handles; scanCode: that key's native scan code.
    ScanCodeShortcut(QWidget* window, int key, quint32 scanCode);

  signals:
    void activated();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool matches(QObject* watched, const QKeyEvent& event) const;

    QWidget* m_window;
    int m_key;
    quint32 m_scanCode;
};

} // namespace zuno
