#include "ui/arrowpicture.h"

#include <array>

namespace zuno {

namespace {

const QColor kArrowInk(0, 0, 0);
const QColor kArrowGround(255, 255, 0);

// Lengths of the black runs of the right arrow, top to bottom, from the left edge.
constexpr std::array<int, kArrowPictureHeight> kRightArrowRuns{5, 9, 12, 15, 17, 15, 12, 9, 5};

// Whether pixel (x, y) of the up arrow is black: row r spans columns 8 - r to 8 + r.
bool upArrowInk(int x, int y)
{
    const int centre = kArrowPictureWidth / 2;
    return x >= centre - y && x <= centre + y;
}

bool rightArrowInk(int x, int y)
{
    return x < kRightArrowRuns[static_cast<std::size_t>(y)];
}

bool isInk(ButtonPicture picture, int x, int y)
{
    switch (picture) {
    case ButtonPicture::UpArrow:
        return upArrowInk(x, y);
    case ButtonPicture::DownArrow:
        return upArrowInk(x, kArrowPictureHeight - 1 - y);
    case ButtonPicture::RightArrow:
        return rightArrowInk(x, y);
    case ButtonPicture::LeftArrow:
        return rightArrowInk(kArrowPictureWidth - 1 - x, y);
    case ButtonPicture::Caption:
        break;
    }
    return false;
}

} // namespace

QImage arrowPicture(ButtonPicture picture)
{
    if (picture == ButtonPicture::Caption)
        return {};
    QImage image(kArrowPictureWidth, kArrowPictureHeight, QImage::Format_RGB32);
    for (int y = 0; y < kArrowPictureHeight; ++y) {
        for (int x = 0; x < kArrowPictureWidth; ++x)
            image.setPixelColor(x, y, isInk(picture, x, y) ? kArrowInk : kArrowGround);
    }
    return image;
}

} // namespace zuno
