#include "ui/commandconsole.h"

#include "core/catalogue.h"
#include "core/commandextraction.h"
#include "core/exchange.h"
#include "core/panellayout.h"
#include "ui/panelbuilder.h"
#include "ui/panelfont.h"

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
// The console's whole client area is 4215 twips high; it opens cut just below the list row.
constexpr int kClientHeightTwips = 2020;
// All three lists share one place below the hints once loaded.
constexpr int kListTopTwips = 1560;
constexpr QColor kHintColour{255, 0, 0};
constexpr qreal kCaptionPoints = 9.75;
constexpr qreal kSmallestCaptionPoints = 7.5;
// What the edit parts of the set and read lists read until an item of theirs is chosen: the
// lists' own names.
constexpr char kSetListEditText[] = "Combo2";
constexpr char kReadListEditText[] = "Combo3";

// Captions use the panel's bold 9.75-point face.
QFont captionFont()
{
    return panelFont(kCaptionPoints, true);
}

// The panel's own face fits every caption into its button; a wider fallback face is narrowed
// first, then made smaller, until the caption fits inside the button's frame again.
void fitCaption(QPushButton* button)
{
    const QStyle* style = button->style();
    const int room = button->width() -
                     style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) -
                     2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    button->setFont(fittedFont(button->font(), button->text(), QSizeF(room, button->height()),
                               kSmallestCaptionPoints));
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

CommandConsole::CommandConsole(Exchange& exchange)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_exchange(exchange)
{
    setObjectName(QStringLiteral("commandConsole"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Command List"));
    buildControls();

    basicList->show();
    setList->hide();
    readList->hide();
    parameterHint->hide();
    crHint->hide();
    basicList->setCurrentIndex(0);
    chooseBasic();
    takeChosenItem(basicList);
    for (QComboBox* list : {basicList, setList, readList})
        list->move(list->x(), kListTopTwips / kTwipsPerPixel);
    basicList->setFocus();
}

// The controls outlive this body: hiding the window on the way out moves the focus, and a
// list's edit part may report a choice then. Nothing may reach the handlers any more.
CommandConsole::~CommandConsole()
{
    for (QComboBox* list : {setList, readList}) {
        list->removeEventFilter(this);
        list->lineEdit()->removeEventFilter(this);
    }
    for (QObject* control : findChildren<QObject*>())
        control->disconnect(this);
}

void CommandConsole::buildControls()
{
    basicListButton =
        button(this, "basicListButton", "Basic Command List", twips(120, 120, 2415, 375));
    setListButton =
        button(this, "setListButton", "Expand Command List", twips(2760, 120, 2655, 375));
    readListButton =
        button(this, "readListButton", "Expand Read Command List", twips(5760, 120, 3015, 375));
    sendButton = button(this, "sendButton", "SEND", twips(9000, 680, 855, 375));
    closeButton = button(this, "closeButton", "CLOSE", twips(9000, 1320, 855, 375));

    commandBox = new QLineEdit(this);
    commandBox->setObjectName(QStringLiteral("commandBox"));
    commandBox->setGeometry(twips(120, 720, 8655, 300));

    crHint = hint(this, "crHint", "[CR] :Carriage Return Code (0x0D)", twips(240, 1200, 3975, 300));
    parameterHint =
        hint(this, "parameterHint", "% :Parameter (0-9).", twips(4560, 1200, 2895, 300));

    basicList = buildList("basicList", CatalogueList::Basic, 2400, 5055, nullptr);
    setList = buildList("setList", CatalogueList::Set, 2880, 8655, kSetListEditText);
    readList = buildList("readList", CatalogueList::Read, 3360, 8655, kReadListEditText);

    setTabChain({basicList, sendButton, closeButton, basicListButton, commandBox, setListButton,
                 readListButton, setList, readList});

    connect(sendButton, &QPushButton::clicked, this, &CommandConsole::send);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(basicListButton, &QPushButton::clicked, this, [this] { switchToList(basicList); });
    connect(setListButton, &QPushButton::clicked, this, [this] { switchToList(setList); });
    connect(readListButton, &QPushButton::clicked, this, [this] { switchToList(readList); });
    connect(commandBox, &QLineEdit::textChanged, this, &CommandConsole::takeTypedCommand);
    // Every choice by the user (mouse, arrow keys, wheel, typed initial) arrives as "activated",
    // once per step; choices made from code call the handlers directly.
    connect(basicList, &QComboBox::activated, this, &CommandConsole::chooseBasic);
    connect(setList, &QComboBox::activated, this, &CommandConsole::chooseSet);
    connect(readList, &QComboBox::activated, this, &CommandConsole::chooseRead);

    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
}

// The set and read lists are drop-down combos whose edit part shows the list's name (editText)
// until an item is chosen, then the chosen item: what is typed there changes nothing, and only a
// chosen item counts. The basic list (editText null) is a plain drop-down list.
QComboBox* CommandConsole::buildList(const char* name, CatalogueList list, int initialTop,
                                     int width, const char* editText)
{
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(twips(120, initialTop, width, 300));
    combo->addItems(Catalogue::items(list));
    if (editText) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->setEditText(QString::fromLatin1(editText));
        // Keys and focus changes reach the edit part through the combo box as well as directly.
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }
    return combo;
}

// Command extraction on the chosen item: the bytes to send, and the text box shows the command
// with "[CR]" (whose own change step then arrives at the same bytes).
void CommandConsole::takeChosenItem(QComboBox* list)
{
    // The item's own text: an editable list's current text is its edit part.
    const ExtractedCommand extracted = extractFromItem(list->itemText(list->currentIndex()));
    m_commandToSend = extracted.consoleCommand;
    commandBox->setText(extracted.textBoxText);
    if (list->isEditable()) {
        m_chosenLists.insert(list);
        showChoice(list);
    }
}

// Puts the set or read list's own text back into its edit part: the chosen item, or the list's
// name while none has been chosen. Choosing the item already shown (item 0 from a list button)
// does not rewrite the edit part by itself, so it is set here every time.
void CommandConsole::showChoice(QComboBox* list)
{
    if (m_chosenLists.contains(list))
        list->setEditText(list->itemText(list->currentIndex()));
    else
        list->setEditText(
            QString::fromLatin1(list == setList ? kSetListEditText : kReadListEditText));
}

void CommandConsole::chooseBasic()
{
    crHint->show();
    takeChosenItem(basicList);
}

void CommandConsole::chooseSet()
{
    crHint->show();
    // "%" anywhere in the item, description included, offers the text box for the digits.
    if (setList->itemText(setList->currentIndex()).contains(QLatin1Char('%'))) {
        parameterHint->show();
        commandBox->setFocus();
    } else {
        parameterHint->hide();
    }
    takeChosenItem(setList);
}

void CommandConsole::chooseRead()
{
    crHint->show();
    takeChosenItem(readList);
}

void CommandConsole::takeTypedCommand()
{
    m_commandToSend = consoleCommandFrom(commandBox->text());
}

// A list button shows its list alone and chooses its first item, as a choice by the user would.
void CommandConsole::switchToList(QComboBox* list)
{
    for (QComboBox* other : {basicList, setList, readList}) {
        if (other != list)
            other->hide();
    }
    list->show();
    list->setCurrentIndex(0);
    if (list == basicList)
        chooseBasic();
    else if (list == setList)
        chooseSet();
    else
        chooseRead();
    takeChosenItem(list);
}

void CommandConsole::send()
{
    m_exchange.sendFromConsole(m_commandToSend);
    parameterHint->hide();
    crHint->hide();
}

void CommandConsole::closeEvent(QCloseEvent* event)
{
    event->accept();
    // The console is gone from the screen before the panel is touched; the object itself goes
    // once control is back in the event loop.
    hide();
    emit closed();
}

// The edit parts of the set and read lists: Enter there would choose an item whose text was
// typed, and so would leaving the edit part with such a text in it (the combo box looks the
// text up when editing finishes). Swallowing Enter and putting the list's own text back before
// the focus leaves keep typing without effect.
bool CommandConsole::eventFilter(QObject* watched, QEvent* event)
{
    if (isEnterKey(event))
        return true;
    // Only the two lists and their edit parts are watched.
    if (event->type() == QEvent::FocusOut) {
        for (QComboBox* list : {setList, readList}) {
            if (watched == list || watched == list->lineEdit())
                showChoice(list);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zuno
