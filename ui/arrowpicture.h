#pragma once

#include "core/buttontable.h"

#include <QImage>

namespace zuno {

// Size of the arrow pictures on the hold buttons, in pixels.
inline constexpr int kArrowPictureWidth = 17;
inline constexpr int kArrowPictureHeight = 9;

// The picture an arrow button shows: a solid black triangle on yellow, 17 x 9
// pixels, pointing the way the picture names. A caption gives a null image.
QImage arrowPicture(ButtonPicture picture);

} // namespace zuno
