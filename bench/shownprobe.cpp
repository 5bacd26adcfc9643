#include "bench/shownprobe.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstdio>
#include <unistd.h>

namespace zuno::bench {

namespace {
class FirstPaint : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Queued, so the whole window is painted and flushed before the report.
            QMetaObject::invokeMethod(this, &FirstPaint::report, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void report()
    {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        char buffer[64];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
        QCoreApplication::quit();
    }

    bool m_seen = false;
};
} // namespace

void reportWhenShown(QObject& window)
{
    window.installEventFilter(new FirstPaint(&window));
}

} // namespace zuno::bench
