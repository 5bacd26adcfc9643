#include "ui/panelbuilder.h"

#include "ui/arrowpicture.h"
#include "ui/filledbutton.h"
#include "ui/panelfont.h"

#include <QAction>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace zuno {

namespace {

const QColor kWindowGrey(192, 192, 192);
const QColor kClassicInactiveCaptionText(212, 208, 200);

QColor rgbColour(std::uint32_t rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void fillBackground(QWidget* widget, PanelBackground background, std::uint32_t rgb)
{
    widget->setAutoFillBackground(true);
    // Set the role explicitly: a widget without one takes its parent's, and the frames fill
    // with the button colour.
    widget->setBackgroundRole(QPalette::Window);
    switch (background) {
    case PanelBackground::ButtonColour:
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

// The frames by group, and the window itself for the controls that sit on it.
struct Containers
{
    QWidget* window;
    std::array<QFrame*, std::size_t(PanelGroup::Address) + 1> frames{};
    QWidget* of(PanelGroup group) const
    {
        return group == PanelGroup::Window ? window : frames[std::size_t(group)];
    }
};

QLabel* addLabel(const Containers& containers, const LabelSpec& spec)
{
    auto* label = new QLabel(containers.of(spec.group));
    label->setObjectName(QString::fromLatin1(spec.objectName));
    // Lines show bytes from the wire: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromUtf8(spec.text));
    label->setGeometry(pixelRect(spec.rect));
    label->setFont(panelFont(spec.pointSize, spec.bold));
    label->setAlignment(labelAlignment(spec.align));
    // A label in the window's own grey is left unfilled: the CR and ACK legends overlap by 80
    // twips, and an opaque fill of one would cut the other's text.
    const bool windowGrey = spec.group == PanelGroup::Window &&
                            spec.background == PanelBackground::Rgb &&
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
    // The accessible name stays the text shown; the description says what that text is.
    label->setAccessibleDescription(QString::fromUtf8(spec.description));
    return label;
}

QPushButton* addButton(const Containers& containers, const ButtonSpec& spec)
{
    QWidget* parent = containers.of(spec.group);
    auto* button = spec.fill == kNoFill ? new QPushButton(parent)
                                        : new FilledButton(rgbColour(spec.fill), parent);
    button->setObjectName(QString::fromLatin1(spec.objectName));
    button->setGeometry(pixelRect(spec.rect));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFont(panelFont(spec.pointSize, spec.bold));
    if (spec.picture == ButtonPicture::Caption) {
        button->setText(QString::fromUtf8(spec.caption));
    } else {
        button->setIcon(QIcon(QPixmap::fromImage(arrowPicture(spec.picture))));
        button->setIconSize(QSize(kArrowPictureWidth, kArrowPictureHeight));
    }
    button->setAccessibleName(buttonName(spec));
    button->setToolTip(buttonToolTip(spec));
    return button;
}

QRadioButton* addOption(QWidget* frame, const AddressOptionSpec& spec)
{
    auto* option = new QRadioButton(frame);
    option->setObjectName(QString::fromLatin1(spec.objectName));
    option->setText(QString::fromUtf8(spec.caption));
    option->setGeometry(pixelRect(spec.rect));
    option->setFont(panelFont(spec.pointSize, spec.bold));
    option->setForegroundRole(QPalette::ButtonText);
    // Tab visits only the selected option of the group; the arrow keys move between the
    // options whatever their focus policy.
    option->setFocusPolicy(Qt::ClickFocus);
    QObject::connect(option, &QRadioButton::toggled, option, [option](bool checked) {
        option->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
    });
    return option;
}

// A line whose text the mouse can select and copy from its context menu ("Copy": the
// selection, or the whole line when nothing is selected; "History" follows it). It stays out of
// the Tab order and never takes the focus, so clicking it leaves the focused button focused.
void makeCopyable(QLabel* line)
{
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line->setFocusPolicy(Qt::NoFocus); // the flags above ask for click focus
    auto* copy = new QAction(QStringLiteral("Copy"), line);
    copy->setObjectName(QStringLiteral("copyAction"));
    QObject::connect(copy, &QAction::triggered, line, [line] {
        const QString text = line->hasSelectedText() ? line->selectedText() : line->text();
        if (!text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
    });
    line->addAction(copy);
    line->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// The panel's Tab order: its table's, with the address options in their place.
QList<QWidget*> tabChain(const PanelControls& controls)
{
    QList<QWidget*> chain;
    const std::span<const PanelButton> order = panelTabOrder();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == std::size_t(kAddressRowTabPosition)) {
            for (QRadioButton* option : controls.addressOptions)
                chain.append(option);
        }
        chain.append(controls.button(order[i]));
    }
    return chain;
}

} // namespace

QColor inactiveCaptionTextColour()
{
    return kClassicInactiveCaptionText;
}

PanelControls buildPanel(QWidget* window)
{
    PanelControls controls;

    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, kWindowGrey);
    window->setPalette(palette);
    window->setAutoFillBackground(true);

    Containers containers{window};
    for (const FrameSpec& spec : panelFrames()) {
        auto* frame = new QFrame(window);
        frame->setObjectName(QString::fromLatin1(spec.objectName));
        frame->setGeometry(pixelRect(spec.rect));
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setLineWidth(1);
        fillBackground(frame, spec.background, 0);
        containers.frames[std::size_t(spec.group)] = frame;
    }
    controls.statusFrame = containers.frames[std::size_t(PanelGroup::Status)];
    // Labels lie beneath the buttons where they meet, so they are created first.
    for (const LabelSpec& spec : panelLabels()) {
        QLabel* label = addLabel(containers, spec);
        switch (spec.role) {
        case LabelRole::Title:
            break;
        case LabelRole::TxdLine:
            controls.txdLine = label;
            break;
        case LabelRole::RxdLine:
            controls.rxdLine = label;
            break;
        case LabelRole::StatusLine:
            controls.statusLine = label;
            break;
        case LabelRole::CrLegend:
            controls.crLegend = label;
            break;
        case LabelRole::SpaceLegend:
            controls.spaceLegend = label;
            break;
        case LabelRole::AckLegend:
            controls.ackLegend = label;
            break;
        }
    }
    controls.historyAction = new QAction(QStringLiteral("History"), window);
    controls.historyAction->setObjectName(QStringLiteral("historyAction"));
    controls.historyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    controls.historyAction->setShortcutContext(Qt::WindowShortcut);
    window->addAction(controls.historyAction);
    for (QLabel* line : {controls.txdLine, controls.rxdLine, controls.statusLine}) {
        makeCopyable(line);
        line->addAction(controls.historyAction);
    }
    for (const ButtonSpec& spec : panelButtons())
        controls.buttons[std::size_t(spec.id)] = addButton(containers, spec);
    QWidget* addressFrame = containers.of(PanelGroup::Address);
    for (int i = 0; i < kAddressOptionCount; ++i)
        controls.addressOptions[std::size_t(i)] = addOption(addressFrame, addressOptions()[i]);
    controls.addressOptions.front()->setChecked(true);

    setTabChain(tabChain(controls));
    controls.button(PanelButton::PowerOn)->setFocus();
    return controls;
}

QIcon panelIcon()
{
    // The same artwork as the program's menu icon, rendered at each size at build time.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zuno-%1.png").arg(size));
    return icon;
}

void setTabChain(const QList<QWidget*>& chain)
{
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

} // namespace zuno
