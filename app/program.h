#pragma once

class QObject;

namespace zuno {

// The whole `zuno` program: the command line, the headless commands, the port commands, and the
// panel loaded from its module when it is asked for. `windowCreated` is handed to the panel (see
// PanelStart); main() gives none.
int runProgram(int argc, char* argv[], void (*windowCreated)(QObject& window) = nullptr);

} // namespace zuno
