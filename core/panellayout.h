#pragma once

#include "panel/buttontable.h"

#include <QByteArray>
#include <QRect>
#include <QStringView>
#include <cstdint>
#include <span>
#include <string_view>

namespace zuno {

// Where a frame or label takes its background from.
enum class PanelBackground
{
    ButtonFace,          // the desktop's button face (system colour 15)
    InactiveCaptionText, // the desktop's inactive caption text colour (system colour 19)
    Rgb                  // the explicit colour given with it
};

enum class LabelAlign
{
    Left,
    Centre,
    Right
};

// Text colour of a label that uses the desktop's button text colour.
inline constexpr std::uint32_t kButtonText = 0xFFFFFFFFu;

// A group frame: a plain box without a caption; its title is a label inside it.
struct FrameSpec
{
    const char* name; // "Frame1" ... "Frame20"
    TwipRect rect;    // relative to the window's client area
    PanelBackground background;
};

struct LabelSpec
{
    const char* name;      // "Label1" ...
    const char* container; // "Frame1" ... or "" on the window
    const char* text;      // "" for the echo and status lines
    TwipRect rect;         // relative to the container
    PanelBackground background;
    std::uint32_t backRgb; // 0xRRGGBB, used with PanelBackground::Rgb
    std::uint32_t textRgb; // 0xRRGGBB or kButtonText
    double pointSize;
    bool bold;
    LabelAlign align;
    bool thinBorder;
    bool hiddenAtStart;
};

// One of the six address options; the prefix is what goes in front of every command.
struct OptionSpec
{
    const char* name;      // "Option1" ... "Option6"
    const char* container; // "Frame8"
    const char* caption;   // "SINGLE", "ALL", "001" ...
    TwipRect rect;         // relative to the container
    const char* prefix;    // "", "AFFF", "A001" ... "A004"
    double pointSize;
    bool bold;
};

// The panel's sixteen frames in reading order.
std::span<const FrameSpec> panelFrames();

// Every label of the panel: frame titles, echo and status lines, legends.
std::span<const LabelSpec> panelLabels();

// The six address options in order; the first is selected at start.
std::span<const OptionSpec> addressOptions();

// The prefix that the address option with this design name puts in front of every
// command; empty for "SINGLE" and for a name that is no address option.
QByteArray addressPrefixOf(QStringView optionName);

// True when text is exactly (case-sensitive) one of the prefixes the address row
// offers: "AFFF", "A001", "A002", "A003", "A004".
bool isKnownAddressPrefix(QStringView text);

// Stands in the Tab order for whichever address option is selected: Tab visits
// only the selected option of the group.
inline constexpr std::string_view kAddressOptionsTabStop = "Option1..Option6";

// The design names in the order the Tab key visits them, starting at Command17.
std::span<const std::string_view> panelTabOrder();

// The frame or label with this design name, or nullptr.
const FrameSpec* findFrame(std::string_view name);
const LabelSpec* findLabel(std::string_view name);

// The client area of the panel window, and its height with only the upper
// part (down to END) in view.
inline constexpr int kPanelWidthTwips = 10185;
inline constexpr int kPanelFullHeightTwips = 7620;
inline constexpr int kPanelCompactHeightTwips = 4520;

inline constexpr int kTwipsPerPixel = 15;

// Pixel rectangle of a twip rectangle. The edges are rounded, not the size, so
// controls that touch in twips (the read column) also touch in pixels.
QRect pixelRect(TwipRect rect);

// The same for a control given as Left, Top, Width, Height in twips.
inline QRect twips(int left, int top, int width, int height)
{
    return pixelRect({left, top, width, height});
}

} // namespace zuno
