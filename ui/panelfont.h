#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>

namespace zuno {

// The panel's typeface at this size and weight: its own face where it is installed,
// otherwise the first installed sans-serif face in which every caption of the panel fits its
// control (at a smaller size when none does). The face is chosen once per run.
QFont panelFont(double pointSize, bool bold);

// True when the text, drawn centred on one line, keeps its ink inside the box.
bool textFits(const QFont& font, const QString& text, QSizeF box);

// The font narrowed, then made smaller (not below smallestPointSize), until the text fits the
// box; the font as it is when it fits already.
QFont fittedFont(QFont font, const QString& text, QSizeF box, qreal smallestPointSize);

// A filled button draws its caption this far inside its edges (border plus padding), so a
// caption that fits here fits the button.
inline constexpr int kFilledButtonBorderPx = 2;
inline constexpr int kFilledButtonPaddingPx = 2;

} // namespace zuno
