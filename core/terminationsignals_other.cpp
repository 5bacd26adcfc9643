#include "core/terminationsignals.h"

namespace zuno {

// Without POSIX signals a program ends through its windows and the desktop session alone.
bool runOnTerminationSignals(QObject*, std::function<void()>)
{
    return false;
}

void ignoreBrokenPipes() {}

} // namespace zuno
