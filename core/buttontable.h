#pragma once

#include <QByteArray>
#include <cstdint>
#include <span>

namespace zuno {

// The groups of the panel. Each is a plain frame whose title is a bold label inside it; Window
// stands for a control that sits directly on the window.
enum class PanelGroup
{
    Window,
    Power,
    ModeSet,
    Screen,
    VideoMute,
    Freeze,
    Presentation,
    Menu,
    Keystone,
    LensShift,
    Zoom,
    Focus,
    DigitalZoom,
    KeyDisable,
    Echo,
    Status,
    Address,
};

// Every button of the panel, in the order of the button table.
enum class PanelButton
{
    PowerOn,
    PowerOff,
    Input1,
    Input2,
    Input3,
    Input4,
    VideoMuteOn,
    VideoMuteOff,
    FreezeOn,
    FreezeOff,
    ScreenNormal,
    ScreenFull,
    PresentationOnStop,
    PresentationExit,
    MenuOn,
    MenuOff,
    MenuEnter,
    MenuUp,
    MenuDown,
    MenuLeft,
    MenuRight,
    KeystoneUp,
    KeystoneDown,
    KeystoneLeft,
    KeystoneRight,
    LensShiftUp,
    LensShiftDown,
    LensShiftLeft,
    LensShiftRight,
    ZoomUp,
    ZoomDown,
    FocusUp,
    FocusDown,
    DigitalZoomUp,
    DigitalZoomDown,
    KeyDisableNone,
    KeyDisableRemote,
    KeyDisableKeys,
    DisplayClear,
    AutoPcAdjust,
    Image,
    PresentationTimer,
    Status,
    InputMode,
    Temp,
    Setting,
    LampTime,
    Status2,
    LampMode,
    PcType,
    End,
    Com,
    CommandTable,
};

inline constexpr int kPanelButtonCount = int(PanelButton::CommandTable) + 1;

// What a panel button does: a click button sends its command once per click (mouse or
// keyboard), a hold button sends on press and repeats until release, an action button acts on
// the program instead of the projector (END, COM, Command Table).
enum class ButtonKind
{
    Click,
    Hold,
    Action
};

// What a button shows: its caption, or one of the four arrow pictures.
enum class ButtonPicture
{
    Caption,
    UpArrow,
    DownArrow,
    LeftArrow,
    RightArrow
};

// A position and size in twips (15 to a pixel), relative to the group's frame or the window.
struct TwipRect
{
    int left, top, width, height;
};

// Fill value of a button that keeps the desktop's button colour.
inline constexpr std::uint32_t kNoFill = 0xFFFFFFFFu;

// One button of the panel: what it shows, what it sends, where it sits and how it looks.
struct ButtonSpec
{
    PanelButton id;
    const char* objectName; // "powerOnButton"
    PanelGroup group;
    const char* caption; // "On"; "" for arrow pictures
    ButtonPicture picture;
    ButtonKind kind;
    const char* command; // "C00" (the CR is added when sent); "" for the action buttons
    int repeatKey;       // 1..18 for hold buttons, 0 otherwise
    TwipRect rect;
    std::uint32_t fill; // 0xRRGGBB or kNoFill
    double pointSize;
    bool bold;
    const char* hint; // what an action button does, shown as its tooltip; "" for the others
};

// The 53 buttons of the panel, in PanelButton order: grouped by frame, then the loose ones.
std::span<const ButtonSpec> panelButtons();

const ButtonSpec& buttonSpec(PanelButton button);

// The command (without CR) that the hold button with this repeat key sends; empty for 0 or a
// key no hold button carries.
QByteArray repeatCommand(int repeatKey);

} // namespace zuno
