#include "panel/paneltable.h"

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

constexpr std::array kFrames{
    FrameSpec{"Frame1", {120, 0, 1210, 1575}, PanelBackground::InactiveCaptionText},
    FrameSpec{"Frame2", {1450, 0, 5600, 735}, PanelBackground::ButtonFace},
    FrameSpec{"Frame5", {7170, 0, 2860, 735}, PanelBackground::ButtonFace},
    FrameSpec{"Frame4", {1450, 840, 2740, 735}, PanelBackground::ButtonFace},
    FrameSpec{"Frame7", {4310, 840, 2740, 735}, PanelBackground::ButtonFace},
    FrameSpec{"Frame11", {7170, 840, 2895, 735}, PanelBackground::ButtonFace},
    FrameSpec{"Frame6", {120, 1680, 2700, 1935}, PanelBackground::ButtonFace},
    FrameSpec{"Frame10", {2940, 1680, 1830, 1935}, PanelBackground::ButtonFace},
    FrameSpec{"Frame3", {4890, 1680, 1830, 1935}, PanelBackground::ButtonFace},
    FrameSpec{"Frame17", {6840, 1680, 990, 1500}, PanelBackground::ButtonFace},
    FrameSpec{"Frame19", {7940, 1680, 990, 1500}, PanelBackground::ButtonFace},
    FrameSpec{"Frame16", {9000, 1680, 990, 1500}, PanelBackground::ButtonFace},
    FrameSpec{"Frame20", {120, 3720, 5240, 555}, PanelBackground::ButtonFace},
    FrameSpec{"Frame9", {120, 4700, 8295, 948}, PanelBackground::ButtonFace},
    FrameSpec{"Frame15", {120, 6140, 6105, 560}, PanelBackground::ButtonFace},
    FrameSpec{"Frame8", {120, 6840, 8200, 615}, PanelBackground::ButtonFace},
};

// A frame's bold title (or caption beside a line) on the button face.
constexpr LabelSpec title(const char* name, const char* container, const char* text, TwipRect rect,
                          double pointSize, LabelAlign align)
{
    return {name, container, text,  rect, PanelBackground::ButtonFace, 0, kButtonText, pointSize,
            true, align,     false, false};
}

// A white line with a thin border that other code writes into.
constexpr LabelSpec line(const char* name, const char* container, TwipRect rect,
                         std::uint32_t textRgb, double pointSize)
{
    return {name, container, "",   rect, PanelBackground::Rgb, kWhite, textRgb, pointSize,
            true, kLeft,     true, false};
}

// A red legend on the window's grey, shown only while the echo contains its code.
constexpr LabelSpec legend(const char* name, const char* text, TwipRect rect)
{
    return {name, "",    text,  rect, PanelBackground::Rgb, kLightGrey, kRed, 9.75,
            true, kLeft, false, true};
}

constexpr std::array kLabels{
    LabelSpec{"Label1",
              "Frame1",
              "POWER",
              {280, 240, 735, 255},
              PanelBackground::InactiveCaptionText,
              0,
              kDarkRed,
              9,
              true,
              kCentre,
              false,
              false},
    title("Label2", "Frame2", "MODE SET", {2000, 120, 1815, 255}, 9, kCentre),
    title("Label6", "Frame5", "SCREEN", {960, 120, 975, 255}, 9, kCentre),
    title("Label5", "Frame4", "VIDEO MUTE", {840, 120, 1215, 255}, 9, kLeft),
    title("Label8", "Frame7", "FREEZE", {720, 120, 1215, 255}, 9, kCentre),
    title("Label18", "Frame11", "PRESENTATION", {720, 120, 1695, 255}, 9, kLeft),
    title("Label7", "Frame6", "MENU", {960, 120, 975, 255}, 9, kCentre),
    title("Label13", "Frame10", "KEYSTONE", {450, 120, 1020, 255}, 9, kLeft),
    title("Label4", "Frame3", "LENS SHIFT", {360, 120, 1215, 255}, 9, kLeft),
    title("Label16", "Frame17", "ZOOM", {240, 120, 555, 255}, 9, kLeft),
    title("Label3", "Frame19", "FOUCS", {120, 120, 735, 255}, 9, kCentre),
    title("Label17", "Frame16", "D.ZOOM", {120, 120, 700, 255}, 9, kLeft),
    title("Label14", "Frame20", "R/C KEY OFF", {120, 220, 1335, 255}, 9.75, kCentre),
    title("Label9", "Frame9", "TxD", {120, 240, 372, 252}, 9.75, kRight),
    line("Label11", "Frame9", {600, 195, 7575, 300}, kButtonText, 12),
    title("Label10", "Frame9", "RxD", {120, 612, 372, 180}, 9.75, kRight),
    line("Label12", "Frame9", {585, 555, 7575, 300}, kButtonText, 12),
    title("Label26", "Frame15", "STATUS", {120, 210, 855, 180}, 9.75, kLeft),
    line("Label25", "Frame15", {1020, 135, 4950, 285}, kRed, 10.5),
    title("Label15", "Frame8", "Command with Address", {120, 240, 2535, 255}, 9.75, kLeft),
    legend("Label28", "[CR] :Carriage Return Code (0x0D)", {120, 5705, 3495, 255}),
    legend("Label27", "_ :Space Code (0x20)", {4200, 5705, 2295, 255}),
    legend("Label19", "[ACK]:ACKnowledge Code (0x06)", {120, 5880, 3495, 255}),
};

constexpr std::array kOptions{
    OptionSpec{"Option1", "Frame8", "SINGLE", {2880, 240, 975, 255}, "", 9, true},
    OptionSpec{"Option2", "Frame8", "ALL", {3960, 240, 700, 255}, "AFFF", 9, true},
    OptionSpec{"Option3", "Frame8", "001", {4800, 240, 700, 255}, "A001", 9, true},
    OptionSpec{"Option4", "Frame8", "002", {5640, 240, 700, 255}, "A002", 9, true},
    OptionSpec{"Option5", "Frame8", "003", {6480, 240, 700, 255}, "A003", 9, true},
    OptionSpec{"Option6", "Frame8", "004", {7320, 240, 700, 255}, "A004", 9, true},
};

constexpr std::array<std::string_view, 54> kTabOrder{
    "Command17",
    "Command3",
    "Command13",
    "Command14",
    "Command16",
    "Command18",
    "Command21",
    "Command22",
    "Command23",
    "Command24",
    "Command25",
    "Command26",
    "Command27",
    "Command28",
    "Command31",
    "Command32",
    "Command44",
    "Command45",
    "Command46",
    "Command47",
    "Command53",
    "Command54",
    "Command55",
    "Command73",
    "Command33",
    "Command74",
    "Command10",
    "Command35",
    "Command30",
    "Command42",
    "Command2",
    "Command60",
    "Command61",
    "Command62",
    "Command76",
    "Command41",
    "Command6",
    "Command5",
    "Command38",
    "Command8",
    "Command7",
    "Command1",
    "Command4",
    "Command11",
    "Command12",
    "Command15",
    "Command19",
    "Command20",
    kAddressOptionsTabStop,
    "Command29",
    "Command9",
    "Command34",
    "Command36",
    "Command37",
};

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

std::span<const OptionSpec> addressOptions()
{
    return kOptions;
}

QByteArray addressPrefixOf(QStringView optionName)
{
    for (const OptionSpec& option : kOptions)
        if (optionName == QLatin1String(option.name))
            return QByteArray(option.prefix);
    return {};
}

bool isKnownAddressPrefix(QStringView text)
{
    for (const OptionSpec& option : kOptions)
        if (*option.prefix != '\0' && text == QLatin1String(option.prefix))
            return true;
    return false;
}

std::span<const std::string_view> panelTabOrder()
{
    return kTabOrder;
}

const FrameSpec* findFrame(std::string_view name)
{
    for (const FrameSpec& frame : kFrames) {
        if (name == frame.name)
            return &frame;
    }
    return nullptr;
}

const LabelSpec* findLabel(std::string_view name)
{
    for (const LabelSpec& label : kLabels) {
        if (name == label.name)
            return &label;
    }
    return nullptr;
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
