// The zuno program's start-up exactly as it runs (the command line read, the panel loaded from its
// module), reporting when the panel window is painted: the subject of the start-up measurement.
#include "app/program.h"
#include "bench/shownprobe.h"

int main(int argc, char* argv[])
{
    return zuno::runProgram(argc, argv,
                            [](QObject& window) { zuno::bench::reportWhenShown(window); });
}
