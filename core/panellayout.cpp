#include "core/panellayout.h"

#include <array>
#include <cmath>

namespace zuno {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kDarkRed = 0xC00000;
constexpr std::uint32_t kLightGrey = 0xC0C0C0;

constexpr LabelAlign kLeft = LabelAlign::Left;
constexpr LabelAlign kCentre = LabelAlign::Centre;
constexpr LabelAlign kRight = LabelAlign::Right;

using G = PanelGroup;
constexpr PanelBackground kButtonColour = PanelBackground::ButtonColour;

constexpr std::array kFrames{
    FrameSpec{G::Power, "powerFrame", {120, 0, 1210, 1575}, PanelBackground::InactiveCaptionText},
    FrameSpec{G::ModeSet, "modeSetFrame", {1450, 0, 5600, 735}, kButtonColour},
    FrameSpec{G::Screen, "screenFrame", {7170, 0, 2860, 735}, kButtonColour},
    FrameSpec{G::VideoMute, "videoMuteFrame", {1450, 840, 2740, 735}, kButtonColour},
    FrameSpec{G::Freeze, "freezeFrame", {4310, 840, 2740, 735}, kButtonColour},
    FrameSpec{G::Presentation, "presentationFrame", {7170, 840, 2895, 735}, kButtonColour},
    FrameSpec{G::Menu, "menuFrame", {120, 1680, 2700, 1935}, kButtonColour},
    FrameSpec{G::Keystone, "keystoneFrame", {2940, 1680, 1830, 1935}, kButtonColour},
    FrameSpec{G::LensShift, "lensShiftFrame", {4890, 1680, 1830, 1935}, kButtonColour},
    FrameSpec{G::Zoom, "zoomFrame", {6840, 1680, 990, 1500}, kButtonColour},
    FrameSpec{G::Focus, "focusFrame", {7940, 1680, 990, 1500}, kButtonColour, "FOCUS"},
    FrameSpec{
        G::DigitalZoom, "digitalZoomFrame", {9000, 1680, 990, 1500}, kButtonColour, "DIGITAL ZOOM"},
    FrameSpec{G::KeyDisable, "keyDisableFrame", {120, 3720, 5240, 555}, kButtonColour},
    FrameSpec{G::Echo, "echoFrame", {120, 4700, 8295, 948}, kButtonColour},
    FrameSpec{G::Status, "statusFrame", {120, 6140, 6105, 560}, kButtonColour},
    FrameSpec{G::Address, "addressFrame", {120, 6840, 8200, 615}, kButtonColour},
};

// A frame's bold title (or caption beside a line) on the button colour.
constexpr LabelSpec title(const char* name, G group, const char* text, TwipRect rect, double points,
                          LabelAlign align)
{
    return {name,        LabelRole::Title, group, text,  rect,  kButtonColour, 0,
            kButtonText, points,           true,  align, false, false,         ""};
}

// A white line with a thin border that the exchange writes into.
constexpr LabelSpec line(const char* name, LabelRole role, G group, TwipRect rect,
                         std::uint32_t textRgb, double points, const char* description)
{
    return {name,   role, group, "",   rect,  PanelBackground::Rgb, kWhite, textRgb,
            points, true, kLeft, true, false, description};
}

// A red legend on the window's grey, shown while the traffic shown contains its code.
constexpr LabelSpec legend(const char* name, LabelRole role, const char* text, TwipRect rect)
{
    return {name, role,  G::Window, text, rect, PanelBackground::Rgb, kLightGrey, kRed, 9.75,
            true, kLeft, false,     true, ""};
}

// clang-format off
constexpr std::array kLabels{
    LabelSpec{"powerTitle", LabelRole::Title, G::Power, "POWER", {280, 240, 735, 255},
              PanelBackground::InactiveCaptionText, 0, kDarkRed, 9, true, kCentre, false, false, ""},
    title("modeSetTitle", G::ModeSet, "MODE SET", {2000, 120, 1815, 255}, 9, kCentre),
    title("screenTitle", G::Screen, "SCREEN", {960, 120, 975, 255}, 9, kCentre),
    title("videoMuteTitle", G::VideoMute, "VIDEO MUTE", {840, 120, 1215, 255}, 9, kLeft),
    title("freezeTitle", G::Freeze, "FREEZE", {720, 120, 1215, 255}, 9, kCentre),
    title("presentationTitle", G::Presentation, "PRESENTATION", {720, 120, 1695, 255}, 9, kLeft),
    title("menuTitle", G::Menu, "MENU", {960, 120, 975, 255}, 9, kCentre),
    title("keystoneTitle", G::Keystone, "KEYSTONE", {450, 120, 1020, 255}, 9, kLeft),
    title("lensShiftTitle", G::LensShift, "LENS SHIFT", {360, 120, 1215, 255}, 9, kLeft),
    title("zoomTitle", G::Zoom, "ZOOM", {240, 120, 555, 255}, 9, kLeft),
    title("focusTitle", G::Focus, "FOUCS", {120, 120, 735, 255}, 9, kCentre),
    title("digitalZoomTitle", G::DigitalZoom, "D.ZOOM", {120, 120, 700, 255}, 9, kLeft),
    title("keyDisableTitle", G::KeyDisable, "R/C KEY OFF", {120, 220, 1335, 255}, 9.75, kCentre),
    title("txdCaption", G::Echo, "TxD", {120, 240, 372, 252}, 9.75, kRight),
    line("txdLine", LabelRole::TxdLine, G::Echo, {600, 195, 7575, 300}, kButtonText, 12,
         "Bytes sent, control codes spelled out"),
    title("rxdCaption", G::Echo, "RxD", {120, 612, 372, 180}, 9.75, kRight),
    line("rxdLine", LabelRole::RxdLine, G::Echo, {585, 555, 7575, 300}, kButtonText, 12,
         "Bytes received, control codes spelled out"),
    title("statusCaption", G::Status, "STATUS", {120, 210, 855, 180}, 9.75, kLeft),
    line("statusLine", LabelRole::StatusLine, G::Status, {1020, 135, 4950, 285}, kRed, 10.5,
         "The last reply to a read button, decoded"),
    title("addressCaption", G::Address, "Command with Address", {120, 240, 2535, 255}, 9.75, kLeft),
    legend("crLegend", LabelRole::CrLegend, "[CR] :Carriage Return Code (0x0D)", {120, 5705, 3495, 255}),
    legend("spaceLegend", LabelRole::SpaceLegend, "_ :Space Code (0x20)", {4200, 5705, 2295, 255}),
    legend("ackLegend", LabelRole::AckLegend, "[ACK]:ACKnowledge Code (0x06)", {120, 5880, 3495, 255}),
};

constexpr std::array kOptions{
    AddressOptionSpec{"singleOption", "SINGLE", {2880, 240, 975, 255}, "", 9, true},
    AddressOptionSpec{"allOption", "ALL", {3960, 240, 700, 255}, "AFFF", 9, true},
    AddressOptionSpec{"address001Option", "001", {4800, 240, 700, 255}, "A001", 9, true},
    AddressOptionSpec{"address002Option", "002", {5640, 240, 700, 255}, "A002", 9, true},
    AddressOptionSpec{"address003Option", "003", {6480, 240, 700, 255}, "A003", 9, true},
    AddressOptionSpec{"address004Option", "004", {7320, 240, 700, 255}, "A004", 9, true},
};
static_assert(kOptions.size() == kAddressOptionCount);

using B = PanelButton;
constexpr std::array kTabOrder{
    B::PowerOn, B::DisplayClear, B::AutoPcAdjust, B::PresentationTimer, B::End, B::PowerOff,
    B::VideoMuteOn, B::VideoMuteOff, B::MenuOn, B::MenuOff, B::FreezeOn, B::FreezeOff,
    B::Input1, B::Input2, B::ScreenNormal, B::ScreenFull, B::Status, B::InputMode, B::LampTime,
    B::Setting, B::Input3, B::Temp, B::Status2, B::Image, B::Com, B::CommandTable,
    B::KeystoneUp, B::KeystoneDown, B::ZoomUp, B::ZoomDown, B::FocusDown, B::KeyDisableNone,
    B::KeyDisableRemote, B::KeyDisableKeys, B::LampMode, B::Input4, B::MenuEnter, B::MenuUp,
    B::MenuLeft, B::MenuRight, B::MenuDown, B::FocusUp, B::KeystoneLeft, B::KeystoneRight,
    B::LensShiftUp, B::LensShiftLeft, B::LensShiftRight, B::LensShiftDown,
    // the selected address option
    B::PcType, B::PresentationOnStop, B::PresentationExit, B::DigitalZoomUp, B::DigitalZoomDown,
};
// clang-format on
static_assert(kTabOrder.size() == kPanelButtonCount);
static_assert(kTabOrder[kAddressRowTabPosition] == B::PcType);

int toPixels(int twips)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

} // namespace

std::span<const FrameSpec> panelFrames()
{
    return kFrames;
}

std::span<const LabelSpec> panelLabels()
{
    return kLabels;
}

std::span<const AddressOptionSpec> addressOptions()
{
    return kOptions;
}

int addressOptionOf(QByteArrayView prefix)
{
    for (int i = 0; i < kAddressOptionCount; ++i) {
        if (prefix == kOptions[std::size_t(i)].prefix)
            return i;
    }
    return -1;
}

bool isKnownAddressPrefix(QStringView text)
{
    for (const AddressOptionSpec& option : kOptions) {
        if (*option.prefix != '\0' && text == QLatin1String(option.prefix))
            return true;
    }
    return false;
}

QString groupName(PanelGroup group)
{
    for (const FrameSpec& frame : kFrames) {
        if (frame.group == group && *frame.spokenName != '\0')
            return QString::fromUtf8(frame.spokenName);
    }
    for (const LabelSpec& label : kLabels) {
        if (label.group == group && label.role == LabelRole::Title && group != G::Window)
            return QString::fromUtf8(label.text);
    }
    return {};
}

QString buttonName(const ButtonSpec& button)
{
    QString name;
    switch (button.picture) {
    case ButtonPicture::Caption:
        name = QString::fromUtf8(button.caption);
        break;
    case ButtonPicture::UpArrow:
        name = QStringLiteral("up");
        break;
    case ButtonPicture::DownArrow:
        name = QStringLiteral("down");
        break;
    case ButtonPicture::LeftArrow:
        name = QStringLiteral("left");
        break;
    case ButtonPicture::RightArrow:
        name = QStringLiteral("right");
        break;
    }
    const QString group = groupName(button.group);
    return group.isEmpty() ? name : group + u' ' + name;
}

QString buttonToolTip(const ButtonSpec& button)
{
    if (button.kind == ButtonKind::Hold)
        return buttonName(button) + QStringLiteral(" \u2014 hold to repeat");
    return QString::fromUtf8(button.hint);
}

std::span<const PanelButton> panelTabOrder()
{
    return kTabOrder;
}

QRect pixelRect(TwipRect rect)
{
    const int left = toPixels(rect.left);
    const int top = toPixels(rect.top);
    const int right = toPixels(rect.left + rect.width);
    const int bottom = toPixels(rect.top + rect.height);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace zuno
