#include "console/form3.h"

#include "console/catalogue.h"
#include "console/commandextraction.h"
#include "link/form1.h"
#include "panel/panelbuilder.h"
#include "panel/paneltable.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace zuno {

namespace {
constexpr int kClientWidthTwips = 10005;
// The designed client area is 4215 twips high; the console opens cut just below the list row.
constexpr int kClientHeightTwips = 2020;
// All three lists share one place below the hints once loaded.
constexpr int kListTopTwips = 1560;
// The panel's own start-up intervals, restored when the console goes.
constexpr QColor kHintColour{255, 0, 0};
constexpr qreal kCaptionPoints = 9.75;
constexpr qreal kSmallestCaptionPoints = 7.5;
constexpr qreal kCaptionPointStep = 0.25;

// Captions use the panel's bold 9.75-point face.
QFont captionFont()
{
    return panelFont(kCaptionPoints, true);
}

// The design's face fits every caption into its button; a wider fallback face is narrowed
// first, then made smaller, until the caption fits inside the button's frame again.
void fitCaption(QPushButton* button)
{
    const QStyle* style = button->style();
    const int room = button->width() -
                     style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) -
                     2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    QFont font = button->font();
    const auto fits = [&] { return QFontMetricsF(font).horizontalAdvance(button->text()) <= room; };
    for (const int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
        if (fits())
            break;
        font.setStretch(stretch);
    }
    while (!fits() && font.pointSizeF() > kSmallestCaptionPoints)
        font.setPointSizeF(font.pointSizeF() - kCaptionPointStep);
    button->setFont(font);
}

QPushButton* button(QWidget* parent, const char* name, const char* text, QRect rect)
{
    auto* widget = new QPushButton(QString::fromLatin1(text), parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    widget->setFont(captionFont());
    fitCaption(widget);
    // Enter must never press a button behind the operator's back.
    widget->setAutoDefault(false);
    return widget;
}

QLabel* hint(QWidget* parent, const char* name, const char* text, QRect rect)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setFont(captionFont());
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kHintColour);
    label->setPalette(palette);
    return label;
}

bool isEnterKey(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

Form3::Form3(Form1& panel)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_panel(panel)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Command List"));
    buildControls();
    load();
}

// The controls outlive this body: hiding the window on the way out moves the focus, and
// a list's edit part may report a choice then. Nothing may reach the handlers any more.
Form3::~Form3()
{
    for (QComboBox* list : {Combo2, Combo3}) {
        list->removeEventFilter(this);
        list->lineEdit()->removeEventFilter(this);
    }
    for (QObject* control : findChildren<QObject*>())
        control->disconnect(this);
}

void Form3::buildControls()
{
    Command3 = button(this, "Command3", "Basic Command List", twips(120, 120, 2415, 375));
    Command4 = button(this, "Command4", "Expand Command List", twips(2760, 120, 2655, 375));
    Command5 = button(this, "Command5", "Expand Read Command List", twips(5760, 120, 3015, 375));
    Command1 = button(this, "Command1", "SEND", twips(9000, 680, 855, 375));
    Command2 = button(this, "Command2", "CLOSE", twips(9000, 1320, 855, 375));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(120, 720, 8655, 300));

    Label2 = hint(this, "Label2", "[CR] :Carriage Return Code (0x0D)", twips(240, 1200, 3975, 300));
    Label1 = hint(this, "Label1", "% :Parameter (0-9).", twips(4560, 1200, 2895, 300));

    Combo1 = buildList("Combo1", CatalogueList::Basic, 2400, 5055, false);
    Combo2 = buildList("Combo2", CatalogueList::Set, 2880, 8655, true);
    Combo3 = buildList("Combo3", CatalogueList::Read, 3360, 8655, true);

    setTabChain({Combo1, Command1, Command2, Command3, Text1, Command4, Command5, Combo2, Combo3});

    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form3::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form3::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form3::Command5_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form3::Text1_Change);
    // Every choice by the user (mouse, arrow keys, wheel, typed initial) arrives as
    // "activated", once per step; choices made from code call the handlers directly.
    connect(Combo1, &QComboBox::activated, this, &Form3::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Form3::Combo2_Click);
    connect(Combo3, &QComboBox::activated, this, &Form3::Combo3_Click);

    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
}

// The set and read lists are drop-down combos whose edit part only ever shows the list's
// name: what is typed there changes nothing, and only a chosen item counts.
QComboBox* Form3::buildList(const char* name, CatalogueList list, int designTop, int width,
                            bool showsName)
{
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(twips(120, designTop, width, 300));
    combo->addItems(Catalogue::items(list));
    if (showsName) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->setEditText(combo->objectName());
        // Keys and focus changes reach the edit part through the combo box as well as directly.
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }
    return combo;
}

void Form3::load()
{
    Combo1->show();
    Combo2->hide();
    Combo3->hide();
    Label1->hide();
    Label2->hide();
    Combo1->setCurrentIndex(0);
    Combo1_Click();
    takeChosenItem(Combo1);
    for (QComboBox* list : {Combo1, Combo2, Combo3})
        list->move(list->x(), kListTopTwips / kTwipsPerPixel);
    Combo1->setFocus();
}

// Command extraction on the chosen item: the bytes to send, and the text box shows the
// command with "[CR]" (whose own change step then arrives at the same bytes).
void Form3::takeChosenItem(QComboBox* list)
{
    // The item's own text: an editable list's current text is its edit part.
    const ExtractedCommand extracted = extractFromItem(list->itemText(list->currentIndex()));
    ConsoleCommand = extracted.consoleCommand;
    Text1->setText(extracted.textBoxText);
    if (list->isEditable())
        list->setEditText(list->objectName());
}

void Form3::Combo1_Click()
{
    Label2->show();
    takeChosenItem(Combo1);
}

void Form3::Combo2_Click()
{
    Label2->show();
    // "%" anywhere in the item, description included, offers the text box for the digits.
    if (Combo2->itemText(Combo2->currentIndex()).contains(QLatin1Char('%'))) {
        Label1->show();
        Text1->setFocus();
    } else {
        Label1->hide();
    }
    takeChosenItem(Combo2);
}

void Form3::Combo3_Click()
{
    Label2->show();
    takeChosenItem(Combo3);
}

void Form3::Text1_Change()
{
    ConsoleCommand = consoleCommandFrom(Text1->text());
}

void Form3::switchToList(QComboBox* list)
{
    for (QComboBox* other : {Combo1, Combo2, Combo3}) {
        if (other != list)
            other->hide();
    }
    list->show();
    list->setCurrentIndex(0);
    if (list == Combo1)
        Combo1_Click();
    else if (list == Combo2)
        Combo2_Click();
    else
        Combo3_Click();
    takeChosenItem(list);
}

void Form3::Command3_Click()
{
    switchToList(Combo1);
}

void Form3::Command4_Click()
{
    switchToList(Combo2);
}

void Form3::Command5_Click()
{
    switchToList(Combo3);
}

// SEND: both panel timers count their full interval from this transmission.
void Form3::Command1_Click()
{
    m_panel.Timer2.stop();
    m_panel.Timer4.stop();
    m_panel.Hyouji(ConsoleCommand, Form1::kTransmit);
    Label1->hide();
    Label2->hide();
    m_panel.Timer2.start();
    m_panel.Timer4.start();
}

void Form3::Command2_Click()
{
    close();
}

void Form3::closeEvent(QCloseEvent* event)
{
    event->accept();
    // The console is gone from the screen before the panel is touched; the object itself
    // goes once control is back in the event loop.
    hide();
    restorePanel();
}

void Form3::restorePanel()
{
    m_panel.show();
    m_panel.raise();
    m_panel.activateWindow();
    if (QWidget* frame = m_panel.Frame15())
        frame->setVisible(true);
    m_panel.Timer2.setInterval(Form1::kReplyIntervalMs);
    m_panel.Timer4.setInterval(Form1::kDisplayClearIntervalMs);
}

// The edit parts of the set and read lists: Enter there would choose an item whose text
// was typed, and so would leaving the edit part with such a text in it (the combo box
// looks the text up when editing finishes). Swallowing Enter and putting the name back
// before the focus leaves keep typing without effect.
bool Form3::eventFilter(QObject* watched, QEvent* event)
{
    if (isEnterKey(event))
        return true;
    // Only the two lists and their edit parts are watched.
    if (event->type() == QEvent::FocusOut) {
        for (QComboBox* list : {Combo2, Combo3}) {
            if (watched == list || watched == list->lineEdit())
                list->setEditText(list->objectName());
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zuno
