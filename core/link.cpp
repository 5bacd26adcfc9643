#include "core/link.h"

#include <memory>

namespace zuno {

void openLink(Link& link, QObject* context, int port, int bitsPerSecond,
              std::function<void()> onOpened, std::function<void(const QString&)> onFailed)
{
    // Whichever answer comes first takes both connections down with it.
    auto answers = std::make_shared<std::pair<QMetaObject::Connection, QMetaObject::Connection>>();
    const auto forget = [answers] {
        QObject::disconnect(answers->first);
        QObject::disconnect(answers->second);
    };
    answers->first = QObject::connect(&link, &Link::opened, context, [forget, onOpened] {
        const auto answer = onOpened;
        forget();
        answer();
    });
    answers->second = QObject::connect(&link, &Link::openFailed, context,
                                       [forget, onFailed](const QString& reason) {
                                           const auto answer = onFailed;
                                           forget();
                                           answer(reason);
                                       });
    link.open(port, bitsPerSecond);
}

} // namespace zuno
