#include "panel/panelbuilder.h"

#include "panel/arrowpicture.h"
#include "panel/buttontable.h"
#include "panel/paneltable.h"

#include <QApplication>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>
#include <vector>

namespace zuno {

namespace {

const QColor kWindowGrey(192, 192, 192);
const QColor kClassicInactiveCaptionText(212, 208, 200);

// The design's face; where it is missing, the system's sans-serif face and then
// these narrower faces, the first in which every caption fits.
const QString kDesignFace = QStringLiteral("ＭＳ Ｐゴシック");
const QStringList kNarrowFaces{QStringLiteral("DejaVu Sans Condensed"),
                               QStringLiteral("Liberation Sans Narrow")};

// A filled button is drawn by a style sheet: a solid fill inside a raised
// border, light at the top and left and dark at the bottom and right, the two
// swapped while it is pressed, and black while it has the keyboard focus. The
// caption keeps this much room from the edges (border plus padding), which the
// fit check allows for.
constexpr int kButtonBorderPx = 2;
constexpr int kButtonPaddingPx = 2;

QColor rgbColour(std::uint32_t rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A caption and the box its text must fit in, at the control's size and weight.
struct CaptionBox
{
    QString text;
    QSizeF box;
    double pointSize;
    bool bold;
};

std::vector<CaptionBox> panelCaptions()
{
    std::vector<CaptionBox> captions;
    for (const ButtonSpec& spec : panelButtons()) {
        if (spec.face != ButtonFace::Caption)
            continue;
        const QSize size = pixelRect(spec.rect).size();
        const int side = kButtonBorderPx + kButtonPaddingPx;
        captions.push_back({QString::fromUtf8(spec.caption),
                            QSizeF(size.width() - 2 * side, size.height() - 2 * kButtonBorderPx),
                            spec.pointSize, spec.bold});
    }
    for (const LabelSpec& spec : panelLabels()) {
        if (*spec.text == '\0')
            continue;
        const int border = spec.thinBorder ? 1 : 0;
        const QSize size = pixelRect(spec.rect).size();
        captions.push_back({QString::fromUtf8(spec.text),
                            QSizeF(size.width() - 2 * border, size.height() - 2 * border),
                            spec.pointSize, spec.bold});
    }
    const QStyle* style = QApplication::style();
    const int indicator = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                          style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    for (const OptionSpec& spec : addressOptions()) {
        const QSize size = pixelRect(spec.rect).size();
        captions.push_back({QString::fromUtf8(spec.caption),
                            QSizeF(size.width() - indicator, size.height()), spec.pointSize,
                            spec.bold});
    }
    return captions;
}

QFont makeFont(const QString& family, double pointSize, bool bold)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

// True when the text, drawn centred on one line, keeps its ink inside the box.
bool textFits(const QFont& font, const QString& text, QSizeF box)
{
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);
    const qreal width = std::max(metrics.horizontalAdvance(text), ink.right());
    const qreal baseline = (box.height() - metrics.height()) / 2 + metrics.ascent();
    return width <= box.width() && baseline + ink.top() >= 0 &&
           baseline + ink.bottom() <= box.height();
}

bool allCaptionsFit(const QString& family, double scale, const std::vector<CaptionBox>& captions)
{
    for (const CaptionBox& caption : captions) {
        const QFont font = makeFont(family, caption.pointSize * scale, caption.bold);
        if (!textFits(font, caption.text, caption.box))
            return false;
    }
    return true;
}

bool isInstalled(const QString& family)
{
    if (QFontDatabase::families().contains(family))
        return true;
    return QFontInfo(QFont(family)).family() == family;
}

// The face the panel uses, and the factor its sizes are scaled by (1 unless no
// installed face fits every caption at the design's sizes).
struct PanelFace
{
    QString family;
    double scale = 1.0;
};

PanelFace choosePanelFace()
{
    QFont sansSerif;
    sansSerif.setStyleHint(QFont::SansSerif);
    sansSerif.setFamily(QStringLiteral("Sans Serif"));
    QStringList candidates;
    for (const QString& family :
         QStringList{kDesignFace, QFontInfo(sansSerif).family()} + kNarrowFaces) {
        if (!candidates.contains(family) && isInstalled(family))
            candidates.append(family);
    }
    std::vector<CaptionBox> captions = panelCaptions();
    // The most crowded captions first, so a face that is too wide fails on its first checks
    // instead of after measuring every caption (this runs at every start).
    auto crowding = [](const CaptionBox& c) {
        return c.text.size() * c.pointSize / std::max(1.0, c.box.width());
    };
    std::stable_sort(
        captions.begin(), captions.end(),
        [&](const CaptionBox& a, const CaptionBox& b) { return crowding(a) > crowding(b); });
    for (const QString& family : candidates) {
        if (allCaptionsFit(family, 1.0, captions))
            return {family, 1.0};
    }
    // Last resort: the narrowest face at a smaller size.
    const QString narrowest = candidates.isEmpty() ? QString() : candidates.last();
    double scale = 0.95;
    while (scale > 0.5 && !allCaptionsFit(narrowest, scale, captions))
        scale -= 0.05;
    qWarning("zuno: panel captions do not fit in any installed face at the design's sizes; "
             "using %s at %d %% of them",
             qPrintable(narrowest), qRound(scale * 100));
    return {narrowest, scale};
}

const PanelFace& panelFace()
{
    static const PanelFace face = choosePanelFace();
    return face;
}

QString cssColour(const QColor& colour)
{
    return colour.name(QColor::HexRgb);
}

QColor blend(const QColor& from, const QColor& to, double amount)
{
    auto mix = [amount](int a, int b) { return qRound(a + (b - a) * amount); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

void styleFilledButton(QPushButton* button, const QColor& fill)
{
    const QColor text = button->palette().color(QPalette::ButtonText);
    const QColor light = blend(fill, Qt::white, 0.7);
    const QColor dark = blend(fill, Qt::black, 0.5);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: %2; border: %3px solid;"
                       " border-color: %4 %5 %5 %4; padding: 0px %6px; }"
                       "QPushButton:focus { border-color: black; }"
                       "QPushButton:pressed { border-color: %5 %4 %4 %5; }")
            .arg(cssColour(fill), cssColour(text))
            .arg(kButtonBorderPx)
            .arg(cssColour(light), cssColour(dark))
            .arg(kButtonPaddingPx));
}

void fillBackground(QWidget* widget, PanelBackground background, std::uint32_t rgb)
{
    widget->setAutoFillBackground(true);
    // Set the role explicitly: a widget without one takes its parent's, and the
    // frames fill with the button face.
    widget->setBackgroundRole(QPalette::Window);
    switch (background) {
    case PanelBackground::ButtonFace:
        widget->setBackgroundRole(QPalette::Button);
        return;
    case PanelBackground::InactiveCaptionText: {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, inactiveCaptionTextColour());
        widget->setPalette(palette);
        return;
    }
    case PanelBackground::Rgb: {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, rgbColour(rgb));
        widget->setPalette(palette);
        return;
    }
    }
}

Qt::Alignment labelAlignment(LabelAlign align)
{
    switch (align) {
    case LabelAlign::Centre:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case LabelAlign::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case LabelAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* containerOf(const PanelWidgets& panel, QWidget* form, const char* container)
{
    if (*container == '\0')
        return form;
    QWidget* frame = panel.frames.value(QString::fromLatin1(container));
    Q_ASSERT(frame);
    return frame;
}

void addLabel(PanelWidgets& panel, QWidget* form, const LabelSpec& spec)
{
    auto* label = new QLabel(containerOf(panel, form, spec.container));
    const QString name = QString::fromLatin1(spec.name);
    label->setObjectName(name);
    // Lines show bytes from the wire: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromUtf8(spec.text));
    label->setGeometry(pixelRect(spec.rect));
    label->setFont(panelFont(spec.pointSize, spec.bold));
    label->setAlignment(labelAlignment(spec.align));
    // A label in the window's own grey is left unfilled: the CR and ACK legends
    // overlap by 80 twips, and an opaque fill of one would cut the other's text.
    const bool windowGrey = *spec.container == '\0' && spec.background == PanelBackground::Rgb &&
                            rgbColour(spec.backRgb) == kWindowGrey;
    if (!windowGrey)
        fillBackground(label, spec.background, spec.backRgb);
    if (spec.textRgb == kButtonText) {
        label->setForegroundRole(QPalette::ButtonText);
    } else {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, rgbColour(spec.textRgb));
        label->setPalette(palette);
    }
    if (spec.thinBorder) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    if (spec.hiddenAtStart)
        label->hide();
    panel.labels.insert(name, label);
}

void addButton(PanelWidgets& panel, QWidget* form, const ButtonSpec& spec)
{
    auto* button = new QPushButton(containerOf(panel, form, spec.container));
    const QString name = QString::fromLatin1(spec.name);
    button->setObjectName(name);
    button->setGeometry(pixelRect(spec.rect));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFont(panelFont(spec.pointSize, spec.bold));
    if (spec.face == ButtonFace::Caption) {
        button->setText(QString::fromUtf8(spec.caption));
    } else {
        button->setIcon(QIcon(QPixmap::fromImage(arrowPicture(spec.face))));
        button->setIconSize(QSize(kArrowPictureWidth, kArrowPictureHeight));
    }
    if (spec.fill != kNoFill)
        styleFilledButton(button, rgbColour(spec.fill));
    panel.buttons.insert(name, button);
}

void addOption(PanelWidgets& panel, QWidget* form, const OptionSpec& spec)
{
    auto* option = new QRadioButton(containerOf(panel, form, spec.container));
    option->setObjectName(QString::fromLatin1(spec.name));
    option->setText(QString::fromUtf8(spec.caption));
    option->setGeometry(pixelRect(spec.rect));
    option->setFont(panelFont(spec.pointSize, spec.bold));
    option->setForegroundRole(QPalette::ButtonText);
    // Tab visits only the selected option of the group; the arrow keys move
    // between the options whatever their focus policy.
    option->setFocusPolicy(Qt::ClickFocus);
    QObject::connect(option, &QRadioButton::toggled, option, [option](bool checked) {
        option->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
    });
    panel.options.append(option);
}

void setTabOrder(const PanelWidgets& panel)
{
    QList<QWidget*> chain;
    for (std::string_view entry : panelTabOrder()) {
        if (entry == kAddressOptionsTabStop) {
            for (QRadioButton* option : panel.options)
                chain.append(option);
        } else {
            QPushButton* button =
                panel.buttons.value(QString::fromLatin1(entry.data(), qsizetype(entry.size())));
            Q_ASSERT(button);
            chain.append(button);
        }
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

} // namespace

QColor panelWindowColour()
{
    return kWindowGrey;
}

QColor inactiveCaptionTextColour()
{
    return kClassicInactiveCaptionText;
}

QFont panelFont(double pointSize, bool bold)
{
    const PanelFace& face = panelFace();
    return makeFont(face.family, pointSize * face.scale, bold);
}

PanelWidgets buildPanel(QWidget* form)
{
    PanelWidgets panel;

    QPalette palette = form->palette();
    palette.setColor(QPalette::Window, kWindowGrey);
    form->setPalette(palette);
    form->setAutoFillBackground(true);

    for (const FrameSpec& spec : panelFrames()) {
        auto* frame = new QFrame(form);
        const QString name = QString::fromLatin1(spec.name);
        frame->setObjectName(name);
        frame->setGeometry(pixelRect(spec.rect));
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setLineWidth(1);
        fillBackground(frame, spec.background, 0);
        panel.frames.insert(name, frame);
    }
    // Labels lie beneath the buttons where they meet, so they are created first.
    for (const LabelSpec& spec : panelLabels())
        addLabel(panel, form, spec);
    for (const ButtonSpec& spec : panelButtons())
        addButton(panel, form, spec);
    for (const OptionSpec& spec : addressOptions())
        addOption(panel, form, spec);
    panel.options.first()->setChecked(true);

    setTabOrder(panel);
    panel.buttons.value(QStringLiteral("Command17"))->setFocus();
    return panel;
}

QIcon panelIcon()
{
    // The same artwork as the program's menu icon, rendered at each size at build time.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zuno-%1.png").arg(size));
    return icon;
}

void setTabChain(std::initializer_list<QWidget*> chain)
{
    QWidget* previous = nullptr;
    for (QWidget* widget : chain) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace zuno
