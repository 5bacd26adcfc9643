#include "core/buttontable.h"

#include <array>

namespace zuno {

namespace {

// The panel's colour scheme: "On" green, "Off" red, plain commands teal, arrows yellow, the read
// column cyan, "Enter" orange.
constexpr std::uint32_t kLightGreen = 0x80FF80;
constexpr std::uint32_t kLightRed = 0xFF8080;
constexpr std::uint32_t kTeal = 0x00C0C0;
constexpr std::uint32_t kLightYellow = 0xFFFF80;
constexpr std::uint32_t kLightOrange = 0xFFC080;
constexpr std::uint32_t kLightCyan = 0xC0FFFF;

using B = PanelButton;
using G = PanelGroup;

// Every button with a caption is bold; arrows show a picture and no text.
constexpr ButtonSpec click(B id, const char* name, G group, const char* caption,
                           const char* command, TwipRect rect, std::uint32_t fill, double points)
{
    return {
        id,   name,   group, caption, ButtonPicture::Caption, ButtonKind::Click, command, 0, rect,
        fill, points, true,  ""};
}

constexpr ButtonSpec hold(B id, const char* name, G group, ButtonPicture face, const char* command,
                          int repeatKey, TwipRect rect)
{
    return {id,   name,         group, "",    face, ButtonKind::Hold, command, repeatKey,
            rect, kLightYellow, 9.0,   false, ""};
}

constexpr ButtonSpec action(B id, const char* name, const char* caption, TwipRect rect,
                            double points, const char* hint)
{
    return {id,
            name,
            G::Window,
            caption,
            ButtonPicture::Caption,
            ButtonKind::Action,
            "",
            0,
            rect,
            kNoFill,
            points,
            true,
            hint};
}

constexpr ButtonPicture kUp = ButtonPicture::UpArrow;
constexpr ButtonPicture kDown = ButtonPicture::DownArrow;
constexpr ButtonPicture kLeft = ButtonPicture::LeftArrow;
constexpr ButtonPicture kRight = ButtonPicture::RightArrow;

// clang-format off
constexpr std::array kButtons{
    click(B::PowerOn, "powerOnButton", G::Power, "On", "C00", {180, 600, 870, 300}, kLightGreen, 9),
    click(B::PowerOff, "powerOffButton", G::Power, "Off", "C01", {180, 1080, 870, 300}, kLightRed, 9),
    click(B::Input1, "input1Button", G::ModeSet, "INPUT 1", "C05", {120, 360, 1250, 300}, kTeal, 9.75),
    click(B::Input2, "input2Button", G::ModeSet, "INPUT 2", "C06", {1490, 360, 1250, 300}, kTeal, 9.75),
    click(B::Input3, "input3Button", G::ModeSet, "INPUT 3", "C07", {2860, 360, 1250, 300}, kTeal, 9.75),
    click(B::Input4, "input4Button", G::ModeSet, "INPUT 4", "C08", {4230, 360, 1250, 300}, kTeal, 9.75),
    click(B::VideoMuteOn, "videoMuteOnButton", G::VideoMute, "On", "C0D", {120, 360, 1190, 300}, kLightGreen, 9),
    click(B::VideoMuteOff, "videoMuteOffButton", G::VideoMute, "Off", "C0E", {1430, 360, 1190, 300}, kLightRed, 9),
    click(B::FreezeOn, "freezeOnButton", G::Freeze, "On", "C43", {120, 360, 1190, 300}, kLightGreen, 9),
    click(B::FreezeOff, "freezeOffButton", G::Freeze, "Off", "C44", {1430, 360, 1190, 300}, kLightRed, 9),
    click(B::ScreenNormal, "screenNormalButton", G::Screen, "Normal", "C0F", {120, 360, 1250, 300}, kTeal, 9.75),
    click(B::ScreenFull, "screenFullButton", G::Screen, "Full", "C10", {1490, 360, 1250, 300}, kTeal, 9.75),
    click(B::PresentationOnStop, "presentationOnStopButton", G::Presentation, "On / Stop", "C8A", {120, 360, 1250, 300}, kTeal, 9),
    click(B::PresentationExit, "presentationExitButton", G::Presentation, "Exit", "C8B", {1490, 360, 1250, 300}, kTeal, 9),
    click(B::MenuOn, "menuOnButton", G::Menu, "On", "C1C", {120, 460, 750, 300}, kLightGreen, 9),
    click(B::MenuOff, "menuOffButton", G::Menu, "Off", "C1D", {120, 940, 750, 300}, kLightRed, 9),
    click(B::MenuEnter, "menuEnterButton", G::Menu, "Enter", "C3F", {120, 1420, 750, 300}, kLightOrange, 9),
    hold(B::MenuUp, "menuUpButton", G::Menu, kUp, "C3C", 3, {1440, 460, 735, 300}),
    hold(B::MenuDown, "menuDownButton", G::Menu, kDown, "C3D", 4, {1440, 1420, 735, 300}),
    hold(B::MenuLeft, "menuLeftButton", G::Menu, kLeft, "C3B", 5, {990, 940, 735, 300}),
    hold(B::MenuRight, "menuRightButton", G::Menu, kRight, "C3A", 6, {1845, 940, 735, 300}),
    hold(B::KeystoneUp, "keystoneUpButton", G::Keystone, kUp, "C8E", 11, {548, 460, 735, 300}),
    hold(B::KeystoneDown, "keystoneDownButton", G::Keystone, kDown, "C8F", 12, {548, 1420, 735, 300}),
    hold(B::KeystoneLeft, "keystoneLeftButton", G::Keystone, kLeft, "C91", 13, {120, 940, 735, 300}),
    hold(B::KeystoneRight, "keystoneRightButton", G::Keystone, kRight, "C90", 14, {975, 940, 735, 300}),
    hold(B::LensShiftUp, "lensShiftUpButton", G::LensShift, kUp, "C5D", 15, {548, 480, 735, 300}),
    hold(B::LensShiftDown, "lensShiftDownButton", G::LensShift, kDown, "C5E", 16, {548, 1440, 735, 300}),
    hold(B::LensShiftLeft, "lensShiftLeftButton", G::LensShift, kLeft, "C5F", 17, {120, 960, 735, 300}),
    hold(B::LensShiftRight, "lensShiftRightButton", G::LensShift, kRight, "C60", 18, {975, 960, 735, 300}),
    hold(B::ZoomUp, "zoomUpButton", G::Zoom, kUp, "C47", 1, {120, 480, 735, 300}),
    hold(B::ZoomDown, "zoomDownButton", G::Zoom, kDown, "C46", 2, {120, 960, 735, 300}),
    hold(B::FocusUp, "focusUpButton", G::Focus, kUp, "C4B", 7, {120, 480, 735, 300}),
    hold(B::FocusDown, "focusDownButton", G::Focus, kDown, "C4A", 8, {120, 960, 735, 300}),
    hold(B::DigitalZoomUp, "digitalZoomUpButton", G::DigitalZoom, kUp, "C30", 9, {120, 480, 735, 300}),
    hold(B::DigitalZoomDown, "digitalZoomDownButton", G::DigitalZoom, kDown, "C31", 10, {120, 960, 735, 300}),
    click(B::KeyDisableNone, "keyDisableNoneButton", G::KeyDisable, "NONE", "CF KEYDIS NONE", {1560, 150, 1095, 300}, kTeal, 9.75),
    click(B::KeyDisableRemote, "keyDisableRemoteButton", G::KeyDisable, "R/C", "CF KEYDIS RC", {2760, 150, 1095, 300}, kTeal, 9.75),
    click(B::KeyDisableKeys, "keyDisableKeysButton", G::KeyDisable, "KEY", "CF KEYDIS KEY", {3990, 150, 1095, 300}, kTeal, 9.75),
    click(B::DisplayClear, "displayClearButton", G::Window, "DISPLAY CLEAR", "C1E", {6840, 3260, 1740, 300}, kTeal, 9),
    click(B::AutoPcAdjust, "autoPcAdjustButton", G::Window, "AUTO PC ADJ", "C89", {6840, 3620, 1740, 300}, kTeal, 9),
    click(B::Image, "imageButton", G::Window, "IMAGE", "C27", {8760, 3260, 1200, 300}, kTeal, 9),
    click(B::PresentationTimer, "presentationTimerButton", G::Window, "P-TIMER", "C8A", {8760, 3620, 1200, 300}, kTeal, 9),
    // The read column.
    click(B::Status, "statusButton", G::Window, "STATUS", "CR0", {8520, 4687, 1500, 346}, kLightCyan, 9.75),
    click(B::InputMode, "inputModeButton", G::Window, "INPUT MODE", "CR1", {8520, 5033, 1500, 346}, kLightCyan, 9.75),
    click(B::Temp, "tempButton", G::Window, "TEMP", "CR6", {8520, 5379, 1500, 346}, kLightCyan, 9.75),
    click(B::Setting, "settingButton", G::Window, "SETTING", "CR4", {8520, 5725, 1500, 346}, kLightCyan, 9.75),
    click(B::LampTime, "lampTimeButton", G::Window, "LAMP TIME", "CR3", {8520, 6071, 1500, 346}, kLightCyan, 9.75),
    click(B::Status2, "status2Button", G::Window, "STATUS 2", "CRA", {8520, 6417, 1500, 346}, kLightCyan, 9),
    click(B::LampMode, "lampModeButton", G::Window, "LAMP MODE", "CR7", {8520, 6763, 1500, 346}, kLightCyan, 9),
    click(B::PcType, "pcTypeButton", G::Window, "PC TYPE", "CR9", {8520, 7109, 1500, 346}, kLightCyan, 9),
    // Buttons that act on the program rather than the projector.
    // END's hint also tells where the rest of the compact panel is.
    action(B::End, "endButton", "END", {8520, 4080, 1500, 375}, 12,
           "Ends the program.\nCtrl+K switches between the compact panel and the full one\n"
           "with the read buttons, TxD and RxD, status and address.\n"
           "Ctrl+H shows the history of this session's exchanges."),
    action(B::Com, "comButton", "COM", {6480, 6350, 1850, 375}, 9.75,
           "Chooses the port and its speed."),
    action(B::CommandTable, "commandTableButton", "Command Table", {6480, 5880, 1850, 375}, 9.75,
           "Opens the command console: commands typed or picked from the lists."),
};
// clang-format on

static_assert(kButtons.size() == kPanelButtonCount);

constexpr bool inPanelButtonOrder()
{
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (int(kButtons[i].id) != int(i))
            return false;
    }
    return true;
}
static_assert(inPanelButtonOrder(), "buttonSpec() finds a button by its place in the table");

} // namespace

std::span<const ButtonSpec> panelButtons()
{
    return kButtons;
}

const ButtonSpec& buttonSpec(PanelButton button)
{
    return kButtons[std::size_t(button)];
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
