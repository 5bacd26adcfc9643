#pragma once

class QCoreApplication;

namespace zuno::sim {

// SIGINT, SIGTERM and SIGHUP end the event loop instead of the process, so that what the
// simulator made (its device link) is removed on the way out; SIGPIPE is ignored, so that a
// write to a reader that went away fails instead of ending the process. False when that could
// not be set up.
bool quitOnTerminationSignals(QCoreApplication& app);

} // namespace zuno::sim
