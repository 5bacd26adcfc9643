#pragma once

#include "core/buttontable.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <span>

namespace zuno {

// Where a frame or label takes its background from.
enum class PanelBackground
{
    ButtonColour,        // the desktop's button colour
    InactiveCaptionText, // the desktop's inactive caption text colour
    Rgb                  // the explicit colour given with it
};

enum class LabelAlign
{
    Left,
    Centre,
    Right
};

// What a label of the panel is for: most are fixed titles; the lines and legends are written
// while the panel runs.
enum class LabelRole
{
    Title,
    TxdLine,
    RxdLine,
    StatusLine,
    CrLegend,
    SpaceLegend,
    AckLegend,
};

// Text colour of a label that uses the desktop's button text colour.
inline constexpr std::uint32_t kButtonText = 0xFFFFFFFFu;

// A group's frame: a plain box without a caption; its title is a label inside it.
struct FrameSpec
{
    PanelGroup group;
    const char* objectName; // "powerFrame"
    TwipRect rect;          // relative to the window's client area
    PanelBackground background;
    // The group's name where its title, as shown, does not read well aloud ("FOCUS" for
    // "FOUCS"); "" where the title says it.
    const char* spokenName = "";
};

struct LabelSpec
{
    const char* objectName; // "powerTitle", "txdLine" ...
    LabelRole role;
    PanelGroup group;
    const char* text; // "" for the echo and status lines
    TwipRect rect;
    PanelBackground background;
    std::uint32_t backRgb; // 0xRRGGBB, used with PanelBackground::Rgb
    std::uint32_t textRgb; // 0xRRGGBB or kButtonText
    double pointSize;
    bool bold;
    LabelAlign align;
    bool thinBorder;
    bool hiddenAtStart;
    const char* description; // what a line shows, for screen readers; "" for the others
};

// One of the six address options; the prefix is what goes in front of every command.
struct AddressOptionSpec
{
    const char* objectName; // "singleOption"
    const char* caption;    // "SINGLE", "ALL", "001" ...
    TwipRect rect;          // relative to the address frame
    const char* prefix;     // "", "AFFF", "A001" ... "A004"
    double pointSize;
    bool bold;
};

inline constexpr int kAddressOptionCount = 6;

// The panel's sixteen frames in reading order.
std::span<const FrameSpec> panelFrames();

// Every label of the panel: frame titles, echo and status lines, legends.
std::span<const LabelSpec> panelLabels();

// The six address options in order; the first, "SINGLE", is selected at start.
std::span<const AddressOptionSpec> addressOptions();

// The option (0 to 5) whose prefix is exactly (case-sensitive) this text; -1 for any other text.
// The empty text is "SINGLE".
int addressOptionOf(QByteArrayView prefix);

// True when text is exactly one of the prefixes the address row offers: "AFFF", "A001" ...
// "A004".
bool isKnownAddressPrefix(QStringView text);

// What a group is called: its title, or its spoken name where the title does not read well;
// empty for the window and the groups without a title.
QString groupName(PanelGroup group);

// What a button is called to a screen reader: its group's name and its caption, or for an arrow
// the arrow's direction ("ZOOM up", "POWER On"); the caption alone for a button on the window.
QString buttonName(const ButtonSpec& button);

// A button's tooltip: a hold button's name and that it repeats while held ("ZOOM up — hold to
// repeat"), an action button's hint; empty for the others.
QString buttonToolTip(const ButtonSpec& button);

// The buttons in the order the Tab key visits them, starting at POWER "On". The selected
// address option comes in at kAddressRowTabPosition, before the button there.
std::span<const PanelButton> panelTabOrder();
inline constexpr int kAddressRowTabPosition = 48;

// The client area of the panel window, and its height with only the upper part (down to END)
// in view.
inline constexpr int kPanelWidthTwips = 10185;
inline constexpr int kPanelFullHeightTwips = 7620;
inline constexpr int kPanelCompactHeightTwips = 4520;

inline constexpr int kTwipsPerPixel = 15;

// Pixel rectangle of a twip rectangle. The edges are rounded, not the size, so controls that
// touch in twips (the read column) also touch in pixels.
QRect pixelRect(TwipRect rect);

// The same for a control given as Left, Top, Width, Height in twips.
inline QRect twips(int left, int top, int width, int height)
{
    return pixelRect({left, top, width, height});
}

} // namespace zuno
