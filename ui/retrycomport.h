#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zuno::RetryComport {

// Shows the port dialog's only message: "Retry Comport", titled "Error", with the
// exclamation icon and one OK button; the reason goes into the informative text.
void show(QWidget* parent, const QString& reason);

// Tests answer the message box here instead of a person: the hook receives the
// box's reason and nothing is shown. An empty hook restores the real box.
void setHookForTesting(std::function<void(const QString& reason)> hook);

} // namespace zuno::RetryComport
