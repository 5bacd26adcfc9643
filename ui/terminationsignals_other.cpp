#include "ui/terminationsignals.h"

namespace zuno {

// Without POSIX signals the program ends through its window and the desktop session alone.
bool endOnTerminationSignals(PanelWindow&)
{
    return false;
}

} // namespace zuno
