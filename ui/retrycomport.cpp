#include "ui/retrycomport.h"

#include <QLabel>
#include <QMessageBox>

namespace zuno::RetryComport {

namespace {
std::function<void(const QString&)>& hook()
{
    static std::function<void(const QString&)> instance;
    return instance;
}
} // namespace

void show(QWidget* parent, const QString& reason)
{
    if (hook()) {
        hook()(reason);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"), QStringLiteral("Retry Comport"),
                    QMessageBox::Ok, parent);
    box.setInformativeText(reason);
    // The reason carries device paths, lock files and the system's words: they show as written,
    // line breaks and all, never read as markup or links.
    for (QLabel* label : box.findChildren<QLabel*>()) {
        if (label->text() == reason)
            label->setTextFormat(Qt::PlainText);
    }
    box.exec();
}

void setHookForTesting(std::function<void(const QString& reason)> newHook)
{
    hook() = std::move(newHook);
}

} // namespace zuno::RetryComport
