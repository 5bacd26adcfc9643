#pragma once

#include <initializer_list>

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace zuno {

// The controls of the main panel, by design name, as buildPanel laid them out.
struct PanelWidgets
{
    QHash<QString, QPushButton*> buttons; // all 53, by design name
    QHash<QString, QLabel*> labels;       // every label, by design name
    QHash<QString, QWidget*> frames;      // Frame1 ... Frame20
    QList<QRadioButton*> options;         // Option1..Option6 in order, one exclusive group
};

// Lays the whole panel out on form (the main window's client widget): frames,
// titles, lines, legends, the 53 buttons and the address options, with their
// colours, fonts, Tab order and the initial focus on Command17. Connects no
// behaviour of its own. Colours show as designed under the Fusion style.
PanelWidgets buildPanel(QWidget* form);

// The panel's typeface at this size and weight: the design face where it is
// installed, otherwise the first sans-serif face in which every caption of the
// panel fits its control.
// Sets the Tab order of the widgets to the order given.
void setTabChain(std::initializer_list<QWidget*> chain);

QFont panelFont(double pointSize, bool bold);

// The window's own icon: a small projector, at 16 to 256 pixels.
QIcon panelIcon();

// The window's background, light grey.
QColor panelWindowColour();

// The colour that the desktop's inactive caption text (system colour 19)
// stands for on this system: the classic desktop's value, a warm light grey.
QColor inactiveCaptionTextColour();

} // namespace zuno
