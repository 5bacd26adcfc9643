#include "ui/retrycomport.h"

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
    box.exec();
}

void setHookForTesting(std::function<void(const QString& reason)> newHook)
{
    hook() = std::move(newHook);
}

} // namespace zuno::RetryComport
