#include "panel/buttontable.h"

#include <array>

namespace zuno {

namespace {

// The panel's colour scheme: "On" green, "Off" red, plain commands teal,
// arrows yellow, the read column cyan, "Enter" orange.
constexpr std::uint32_t kLightGreen = 0x80FF80;
constexpr std::uint32_t kLightRed = 0xFF8080;
constexpr std::uint32_t kTeal = 0x00C0C0;
constexpr std::uint32_t kLightYellow = 0xFFFF80;
constexpr std::uint32_t kLightOrange = 0xFFC080;
constexpr std::uint32_t kLightCyan = 0xC0FFFF;

// Every button with a caption is bold; arrows show a picture and no text.
constexpr ButtonSpec click(const char* name, const char* container, const char* caption,
                           const char* command, TwipRect rect, std::uint32_t fill, double pointSize)
{
    return {name, container, caption, ButtonFace::Caption, ButtonKind::Click, command, 0, rect,
            fill, pointSize, true};
}

constexpr ButtonSpec hold(const char* name, const char* container, ButtonFace face,
                          const char* command, int repeatKey, TwipRect rect)
{
    return {name, container,    "",  face, ButtonKind::Hold, command, repeatKey,
            rect, kLightYellow, 9.0, false};
}

constexpr ButtonSpec action(const char* name, const char* caption, TwipRect rect, double pointSize)
{
    return {name,    "",        caption, ButtonFace::Caption, ButtonKind::Action, "", 0, rect,
            kNoFill, pointSize, true};
}

constexpr ButtonFace kUp = ButtonFace::UpArrow;
constexpr ButtonFace kDown = ButtonFace::DownArrow;
constexpr ButtonFace kLeft = ButtonFace::LeftArrow;
constexpr ButtonFace kRight = ButtonFace::RightArrow;

constexpr std::array kButtons{
    // POWER
    click("Command17", "Frame1", "On", "C00", {180, 600, 870, 300}, kLightGreen, 9),
    click("Command18", "Frame1", "Off", "C01", {180, 1080, 870, 300}, kLightRed, 9),
    // MODE SET
    click("Command27", "Frame2", "INPUT 1", "C05", {120, 360, 1250, 300}, kTeal, 9.75),
    click("Command28", "Frame2", "INPUT 2", "C06", {1490, 360, 1250, 300}, kTeal, 9.75),
    click("Command53", "Frame2", "INPUT 3", "C07", {2860, 360, 1250, 300}, kTeal, 9.75),
    click("Command41", "Frame2", "INPUT 4", "C08", {4230, 360, 1250, 300}, kTeal, 9.75),
    // VIDEO MUTE
    click("Command21", "Frame4", "On", "C0D", {120, 360, 1190, 300}, kLightGreen, 9),
    click("Command22", "Frame4", "Off", "C0E", {1430, 360, 1190, 300}, kLightRed, 9),
    // FREEZE
    click("Command25", "Frame7", "On", "C43", {120, 360, 1190, 300}, kLightGreen, 9),
    click("Command26", "Frame7", "Off", "C44", {1430, 360, 1190, 300}, kLightRed, 9),
    // SCREEN
    click("Command31", "Frame5", "Normal", "C0F", {120, 360, 1250, 300}, kTeal, 9.75),
    click("Command32", "Frame5", "Full", "C10", {1490, 360, 1250, 300}, kTeal, 9.75),
    // PRESENTATION
    click("Command9", "Frame11", "On / Stop", "C8A", {120, 360, 1250, 300}, kTeal, 9),
    click("Command34", "Frame11", "Exit", "C8B", {1490, 360, 1250, 300}, kTeal, 9),
    // MENU
    click("Command23", "Frame6", "On", "C1C", {120, 460, 750, 300}, kLightGreen, 9),
    click("Command24", "Frame6", "Off", "C1D", {120, 940, 750, 300}, kLightRed, 9),
    click("Command6", "Frame6", "Enter", "C3F", {120, 1420, 750, 300}, kLightOrange, 9),
    hold("Command5", "Frame6", kUp, "C3C", 3, {1440, 460, 735, 300}),
    hold("Command7", "Frame6", kDown, "C3D", 4, {1440, 1420, 735, 300}),
    hold("Command38", "Frame6", kLeft, "C3B", 5, {990, 940, 735, 300}),
    hold("Command8", "Frame6", kRight, "C3A", 6, {1845, 940, 735, 300}),
    // KEYSTONE
    hold("Command10", "Frame10", kUp, "C8E", 11, {548, 460, 735, 300}),
    hold("Command35", "Frame10", kDown, "C8F", 12, {548, 1420, 735, 300}),
    hold("Command4", "Frame10", kLeft, "C91", 13, {120, 940, 735, 300}),
    hold("Command11", "Frame10", kRight, "C90", 14, {975, 940, 735, 300}),
    // LENS SHIFT
    hold("Command12", "Frame3", kUp, "C5D", 15, {548, 480, 735, 300}),
    hold("Command20", "Frame3", kDown, "C5E", 16, {548, 1440, 735, 300}),
    hold("Command15", "Frame3", kLeft, "C5F", 17, {120, 960, 735, 300}),
    hold("Command19", "Frame3", kRight, "C60", 18, {975, 960, 735, 300}),
    // ZOOM
    hold("Command30", "Frame17", kUp, "C47", 1, {120, 480, 735, 300}),
    hold("Command42", "Frame17", kDown, "C46", 2, {120, 960, 735, 300}),
    // FOUCS
    hold("Command1", "Frame19", kUp, "C4B", 7, {120, 480, 735, 300}),
    hold("Command2", "Frame19", kDown, "C4A", 8, {120, 960, 735, 300}),
    // D.ZOOM
    hold("Command36", "Frame16", kUp, "C30", 9, {120, 480, 735, 300}),
    hold("Command37", "Frame16", kDown, "C31", 10, {120, 960, 735, 300}),
    // R/C KEY OFF
    click("Command60", "Frame20", "NONE", "CF KEYDIS NONE", {1560, 150, 1095, 300}, kTeal, 9.75),
    click("Command61", "Frame20", "R/C", "CF KEYDIS RC", {2760, 150, 1095, 300}, kTeal, 9.75),
    click("Command62", "Frame20", "KEY", "CF KEYDIS KEY", {3990, 150, 1095, 300}, kTeal, 9.75),
    // Loose buttons on the window.
    click("Command3", "", "DISPLAY CLEAR", "C1E", {6840, 3260, 1740, 300}, kTeal, 9),
    click("Command13", "", "AUTO PC ADJ", "C89", {6840, 3620, 1740, 300}, kTeal, 9),
    click("Command73", "", "IMAGE", "C27", {8760, 3260, 1200, 300}, kTeal, 9),
    click("Command14", "", "P-TIMER", "C8A", {8760, 3620, 1200, 300}, kTeal, 9),
    // The read column.
    click("Command44", "", "STATUS", "CR0", {8520, 4687, 1500, 346}, kLightCyan, 9.75),
    click("Command45", "", "INPUT MODE", "CR1", {8520, 5033, 1500, 346}, kLightCyan, 9.75),
    click("Command54", "", "TEMP", "CR6", {8520, 5379, 1500, 346}, kLightCyan, 9.75),
    click("Command47", "", "SETTING", "CR4", {8520, 5725, 1500, 346}, kLightCyan, 9.75),
    click("Command46", "", "LAMP TIME", "CR3", {8520, 6071, 1500, 346}, kLightCyan, 9.75),
    click("Command55", "", "STATUS 2", "CRA", {8520, 6417, 1500, 346}, kLightCyan, 9),
    click("Command76", "", "LAMP MODE", "CR7", {8520, 6763, 1500, 346}, kLightCyan, 9),
    click("Command29", "", "PC TYPE", "CR9", {8520, 7109, 1500, 346}, kLightCyan, 9),
    // Buttons that act on the program rather than the projector.
    action("Command16", "END", {8520, 4080, 1500, 375}, 12),
    action("Command33", "COM", {6480, 6350, 1850, 375}, 9.75),
    action("Command74", "Command Table", {6480, 5880, 1850, 375}, 9.75),
};

} // namespace

std::span<const ButtonSpec> panelButtons()
{
    return kButtons;
}

const ButtonSpec* findButton(std::string_view name)
{
    for (const ButtonSpec& button : kButtons) {
        if (name == button.name)
            return &button;
    }
    return nullptr;
}

QByteArray repeatCommand(int repeatKey)
{
    if (repeatKey == 0)
        return {};
    for (const ButtonSpec& button : kButtons) {
        if (button.kind == ButtonKind::Hold && button.repeatKey == repeatKey)
            return QByteArray(button.command);
    }
    return {};
}

} // namespace zuno
