#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace zuno {

// The most bytes one collection of received characters keeps. A device that keeps sending
// (wrong speed, noise) after the reply window has closed must not grow memory and redraw cost
// without limit; real replies are far shorter.
inline constexpr qsizetype kRxBufferLimit = 4096;

// Appends received bytes to the collection, keeping at most kRxBufferLimit bytes in all;
// bytes beyond the limit are dropped.
void appendReceived(QByteArray& rxBuffer, QByteArrayView incoming);

} // namespace zuno
