#include "ui/portdialog.h"

#include "core/panellayout.h"
#include "core/storednumber.h"
#include "links/portinventory.h"
#include "links/portnaming.h"
#include "settings/settings.h"
#include "ui/panelbuilder.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>

namespace zuno {

namespace {
template <typename W> W* place(QWidget* parent, const char* name, const QString& text, QRect rect)
{
    auto* widget = new W(text, parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    return widget;
}
} // namespace

PortDialog::PortDialog(const PortNaming& naming, PortChoice choice)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_shown(choice)
{
    setObjectName(QStringLiteral("portDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("  COM PORT"));
    setFixedSize(3105 / kTwipsPerPixel, 4005 / kTwipsPerPixel);
    buildControls(naming);
    // The port in use is selected when it has an option of its own; the speed always is.
    if (choice.port >= 1 && choice.port <= int(comOptions.size()))
        comOptions[std::size_t(choice.port - 1)]->setChecked(true);
    showChoice(choice);
    otherPortBox->setFocus();
    otherPortBox->setSelection(0, 1);
}

void PortDialog::buildControls(const PortNaming& naming)
{
    auto* baudFrame = place<QGroupBox>(this, "baudRateFrame", QStringLiteral("Baud Rate"),
                                       twips(360, 240, 2415, 615));
    auto* portFrame = place<QGroupBox>(this, "comPortFrame", QStringLiteral("Com Port"),
                                       twips(360, 1200, 1455, 2535));
    // The caption sits on the frame's top line, so the options just below it keep their places.
    for (QGroupBox* frame : {baudFrame, portFrame}) {
        frame->setFocusPolicy(Qt::NoFocus);
        frame->setStyleSheet(
            QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 6px; }"
                           "QGroupBox::title { subcontrol-origin: margin; left: 6px; top: -1px; "
                           "padding: 0 2px; }"));
    }

    otherPortBox = new QLineEdit(QStringLiteral("0"), portFrame);
    otherPortBox->setObjectName(QStringLiteral("otherPortBox"));
    otherPortBox->setGeometry(twips(180, 2040, 375, 270));

    baud9600Option = place<QRadioButton>(baudFrame, "baud9600Option", QStringLiteral("9600"),
                                         twips(120, 180, 1575, 375));
    baud19200Option = place<QRadioButton>(baudFrame, "baud19200Option", QStringLiteral("19200"),
                                          twips(1320, 240, 975, 255));
    const struct
    {
        const char* name;
        const char* caption;
        QRect rect;
    } ports[] = {{"com1Option", "COM1", twips(180, 180, 1155, 315)},
                 {"com2Option", "COM2", twips(180, 540, 1095, 255)},
                 {"com3Option", "COM3", twips(180, 900, 975, 255)},
                 {"com4Option", "COM4", twips(180, 1260, 1215, 255)},
                 {"com5Option", "COM5", twips(180, 1620, 1335, 255)}};
    for (std::size_t i = 0; i < comOptions.size(); ++i) {
        comOptions[i] = place<QRadioButton>(portFrame, ports[i].name,
                                            QString::fromLatin1(ports[i].caption), ports[i].rect);
    }
    okButton =
        place<QPushButton>(this, "okButton", QStringLiteral("OK"), twips(2040, 1320, 735, 615));
    place<QLabel>(portFrame, "otherLabel", QStringLiteral("OTHER"), twips(600, 2100, 615, 255));
    cancelButton = place<QPushButton>(this, "cancelButton", QStringLiteral("Cancel"),
                                      twips(2040, 2160, 735, 615));
    // Enter must not press OK behind the operator's back: neither button is a default.
    okButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);

    setTabChain({otherPortBox, baud9600Option, baud19200Option, comOptions[0], comOptions[1],
                 comOptions[2], comOptions[3], comOptions[4], okButton, cancelButton});

    connect(baud9600Option, &QRadioButton::clicked, this, [this] { pick({m_shown.port, 9600}); });
    connect(baud19200Option, &QRadioButton::clicked, this, [this] { pick({m_shown.port, 19200}); });
    for (std::size_t i = 0; i < comOptions.size(); ++i) {
        connect(comOptions[i], &QRadioButton::clicked, this, [this, i] {
            pick({std::int16_t(i + 1), m_shown.bitsPerSecond});
        });
    }
    connect(otherPortBox, &QLineEdit::textChanged, this, &PortDialog::takeTypedPort);
    connect(okButton, &QPushButton::clicked, this, &PortDialog::okPressed);
    connect(cancelButton, &QPushButton::clicked, this, &PortDialog::cancelPressed);
    describePorts(naming);
}

// Each COM option names the device it opens here, so a technician on Linux can tell which
// adapter is which. Paths are the user's own text: a tooltip shows them as written, never as
// markup (a tooltip that merely looks like markup would be read as such).
void PortDialog::describePorts(const PortNaming& naming)
{
    // The system is asked for its serial devices once for all five options.
    const QList<SerialDevice> devices = systemSerialDevices();
    for (std::size_t i = 0; i < comOptions.size(); ++i) {
        const QString device = naming.deviceFor(int(i) + 1);
        const std::optional<TcpAddress> server = tcpAddressOf(device);
        const QString where =
            server && server->rfc2217   ? QStringLiteral("a serial device server over RFC 2217, "
                                                           "at the speed chosen here")
            : isTcpDevice(device)       ? QStringLiteral("a serial device server, which sets the "
                                                               "line's speed itself")
            : QFileInfo::exists(device) ? QStringLiteral("present")
                                        : QStringLiteral("not present");
        comOptions[i]->setToolTip(Qt::convertFromPlainText(
            QStringLiteral("COM%1 opens %2 (%3)").arg(i + 1).arg(device, where) +
            descriptionNote(device, devices)));
    }
    const QString speedTip = QStringLiteral(
        "The line speed of a serial port, also of one reached through rfc2217://HOST:PORT. A "
        "COM number mapped to tcp://HOST:PORT reaches a serial device server, which sets the "
        "speed of its line itself.");
    baud9600Option->setToolTip(speedTip);
    baud19200Option->setToolTip(speedTip);
    otherPortBox->setToolTip(Qt::convertFromPlainText(
        QStringLiteral("Any port from 1 to 15; the \"Ports\" section of %1 can map "
                       "COMn to a device such as /dev/serial/by-id/...")
            .arg(naming.settings().location())));
}

// Esc must not end the dialog: at start-up that would leave the panel without a port. Only OK,
// Cancel and the close box end it.
void PortDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PortDialog::showChoice(PortChoice choice)
{
    m_shown = choice;
    (choice.bitsPerSecond == 9600 ? baud9600Option : baud19200Option)->setChecked(true);
}

void PortDialog::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void PortDialog::pick(PortChoice choice)
{
    if (choice != m_shown)
        emit choicePicked(choice);
}

void PortDialog::takeTypedPort()
{
    const auto number = readTypedNumber(otherPortBox->text());
    if (number && isValidPortNumber(*number)) {
        pick({std::int16_t(*number), m_shown.bitsPerSecond});
        return;
    }
    // 0, 16 to 255, or no whole number at all: the box goes back to "0", the port stays.
    if (otherPortBox->text() != QLatin1String("0"))
        otherPortBox->setText(QStringLiteral("0"));
}

} // namespace zuno
