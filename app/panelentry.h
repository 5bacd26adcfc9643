#pragma once

class QObject;

namespace zuno {

struct CommandLine;

// What the program hands the panel module (app/panelmodule.cpp, installed as
// /usr/lib/zuno/libzuno_panel.so). The `zuno` program itself is a Qt Core program: the headless
// commands, --help and every refusal of an option run without loading Qt Gui or Qt Widgets; only
// the panel loads the module, and with it the window libraries.
struct PanelStart
{
    int* argc; // the program's arguments, for the application object
    char** argv;
    const CommandLine* line; // parsed, Action::Panel
    // Called with the panel window once it exists (the benchmark watches its first paint); may be
    // null.
    void (*windowCreated)(QObject& window);
};

using RunPanel = int (*)(const PanelStart& start);
inline constexpr char kRunPanelSymbol[] = "zuno_run_panel";

} // namespace zuno
