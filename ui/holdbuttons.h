#pragma once

#include <QHash>
#include <QObject>

class QPushButton;
class QWidget;

namespace zuno {

class Exchange;

// The hold buttons of a window: a press of any mouse button, or of Space while the button has
// the focus, starts the exchange's hold of the button's repeat key; the release ends it. A hold
// never runs on without its button held: it also ends when a Space-held button loses the focus,
// when the held button hides, and when the window loses the focus to another.
class HoldButtons : public QObject
{
    Q_OBJECT
  public:
    HoldButtons(Exchange& exchange, QWidget* window);

    // The button repeats the command of this repeat key while it is held. It has no click action
    // of its own, so its click on Space's release sends nothing more.
    void add(QPushButton* button, int repeatKey);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void press(QPushButton* button, bool byKeyboard);
    void release();

    Exchange& m_exchange;
    QWidget* m_window;
    QHash<const QObject*, int> m_repeatKeys;
    QPushButton* m_held = nullptr;
    bool m_heldByKeyboard = false; // the hold came from Space, not the mouse
};

} // namespace zuno
