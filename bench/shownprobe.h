#pragma once

class QWidget;

namespace zuno::bench {

// For start-up measurements: once `window` has been painted for the first time, prints
// "shown" on standard output, then waits until standard input closes and quits the
// application. Meanwhile the parent reads this process's memory figures.
void reportWhenShown(QWidget& window);

} // namespace zuno::bench
