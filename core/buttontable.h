#pragma once

#include <QByteArray>
#include <cstdint>
#include <span>
#include <string_view>

namespace zuno {

// What a panel button does: a click button sends its command once per click,
// a hold button sends on press and repeats until release, an action button
// sends nothing of its own (END, COM, Command Table).
enum class ButtonKind
{
    Click,
    Hold,
    Action
};

// What a button shows: its caption, or one of the four arrow pictures.
enum class ButtonFace
{
    Caption,
    UpArrow,
    DownArrow,
    LeftArrow,
    RightArrow
};

// A position and size in twips (15 to a pixel), relative to the container.
struct TwipRect
{
    int left, top, width, height;
};

// Fill value of a button that keeps the normal button face.
inline constexpr std::uint32_t kNoFill = 0xFFFFFFFFu;

// One button of the main panel: where it sits, how it looks and what it sends.
struct ButtonSpec
{
    const char* name;      // design name, "Command17"
    const char* container; // "Frame1" ... or "" when the button sits on the window
    const char* caption;   // "On"; "" for arrow faces
    ButtonFace face;
    ButtonKind kind;
    const char* command; // "C00" (no CR); "" for the three action buttons
    int repeatKey;       // 1..18 for hold buttons, 0 otherwise
    TwipRect rect;       // relative to the container
    std::uint32_t fill;  // 0xRRGGBB or kNoFill
    double pointSize;    // 9, 9.75, 12 ...; arrows: 9
    bool bold;
};

// The 53 buttons of the main panel, grouped by frame, then the loose buttons.
std::span<const ButtonSpec> panelButtons();

// The button with this design name, or nullptr.
const ButtonSpec* findButton(std::string_view name);

// The command (without CR) that the hold button with this repeat key sends;
// empty for 0 or a key no hold button carries.
QByteArray repeatCommand(int repeatKey);

} // namespace zuno
