#pragma once

class QObject;

namespace zuno::bench {

// For start-up measurements: once `window` (a widget) has been painted for the first time, prints
// "shown" on standard output, then waits until standard input closes and quits the
// application. Meanwhile the parent reads this process's memory figures.
void reportWhenShown(QObject& window);

} // namespace zuno::bench
