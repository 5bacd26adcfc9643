#pragma once

#include <QObject>

#include <functional>

namespace zuno {

// SIGTERM, SIGINT and SIGHUP run `onSignal` on `context`'s event loop instead of ending the
// process where it stands, so a program can finish in order (store what it must, close its
// port, remove what it made). False when that could not be set up, and on systems without
// these signals. A second call replaces the action.
bool runOnTerminationSignals(QObject* context, std::function<void()> onSignal);

// A write to a reader that went away (a pipe, a socket) fails with EPIPE, which the writer
// handles, instead of ending the process. Nothing on systems without SIGPIPE.
void ignoreBrokenPipes();

} // namespace zuno
