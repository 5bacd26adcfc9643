#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace zuno {

// The most bytes one collection of received characters keeps. A device that keeps sending
// (wrong speed, noise) after the reply window has closed must not grow memory and redraw cost
// without limit; real replies are far shorter.
inline constexpr qsizetype kReplyCollectionLimit = 4096;

// Appends received bytes to the collection of the current exchange, keeping at most
// kReplyCollectionLimit bytes in all; bytes beyond the limit are dropped.
void appendReceived(QByteArray& collection, QByteArrayView incoming);

} // namespace zuno
