#pragma once

#include "core/buttontable.h"
#include "core/panellayout.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <array>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace zuno {

// The controls of the panel that the window works with, as buildPanel laid them out.
struct PanelControls
{
    std::array<QPushButton*, kPanelButtonCount> buttons{};
    std::array<QRadioButton*, kAddressOptionCount> addressOptions{}; // one exclusive group
    QFrame* statusFrame = nullptr;
    QLabel* txdLine = nullptr;
    QLabel* rxdLine = nullptr;
    QLabel* statusLine = nullptr;
    QLabel* ackLegend = nullptr;
    QLabel* crLegend = nullptr;
    QLabel* spaceLegend = nullptr;
    // Opens the history of the session's exchanges: Ctrl+H anywhere on the panel, and the TxD,
    // RxD and status lines' context menu.
    QAction* historyAction = nullptr;

    QPushButton* button(PanelButton id) const { return buttons[std::size_t(id)]; }
};

// Lays the whole panel out on `window` (its client widget) from the button and layout tables:
// frames, titles, lines, legends, the 53 buttons and the address options, with their colours,
// fonts, Tab order and the keyboard focus on POWER "On", and the history action. Connects no
// behaviour of its own but the lines' "Copy".
// The colours show as given under the Fusion style.
PanelControls buildPanel(QWidget* window);

// The window's own icon: a small projector, at 16 to 256 pixels.
QIcon panelIcon();

// The colour that the desktop's inactive caption text stands for on this system: the classic
// desktop's value, a warm light grey.
QColor inactiveCaptionTextColour();

// Sets the Tab order of the widgets to the order given.
void setTabChain(const QList<QWidget*>& chain);

} // namespace zuno
