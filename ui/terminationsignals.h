#pragma once

namespace zuno {

class PanelWindow;

// SIGTERM, SIGINT and SIGHUP end the panel in order (PanelWindow::endSession, on the event loop)
// instead of ending the process where it stands, so the address is stored and the port closed.
// False when that could not be set up, and on systems without these signals.
bool endOnTerminationSignals(PanelWindow& panel);

} // namespace zuno
