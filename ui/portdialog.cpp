#include "settings/form2.h"

#include "link/mscomm.h"
#include "link/portnaming.h"
#include "panel/panelbuilder.h"
#include "panel/paneltable.h"
#include "settings/portsettings.h"
#include "settings/retrycomport.h"
#include "settings/settingsstore.h"
#include "settings/storednumber.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

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

Form2::Form2(MSComm1& comm, QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_comm(comm), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("  COM PORT"));
    setFixedSize(3105 / kTwipsPerPixel, 4005 / kTwipsPerPixel);
    buildControls();
    load();
}

void Form2::buildControls()
{
    auto* frame1 =
        place<QGroupBox>(this, "Frame1", QStringLiteral("Baud Rate"), twips(360, 240, 2415, 615));
    auto* frame2 =
        place<QGroupBox>(this, "Frame2", QStringLiteral("Com Port"), twips(360, 1200, 1455, 2535));
    // The caption sits on the frame's top line, as the design draws it, so the options
    // just below it keep their places.
    for (QGroupBox* frame : {frame1, frame2}) {
        frame->setFocusPolicy(Qt::NoFocus);
        frame->setStyleSheet(
            QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 6px; }"
                           "QGroupBox::title { subcontrol-origin: margin; left: 6px; top: -1px; "
                           "padding: 0 2px; }"));
    }

    Text1 = new QLineEdit(QStringLiteral("0"), frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(180, 2040, 375, 270));

    Option1 =
        place<QRadioButton>(frame1, "Option1", QStringLiteral("9600"), twips(120, 180, 1575, 375));
    Option2 =
        place<QRadioButton>(frame1, "Option2", QStringLiteral("19200"), twips(1320, 240, 975, 255));
    Option3 =
        place<QRadioButton>(frame2, "Option3", QStringLiteral("COM1"), twips(180, 180, 1155, 315));
    Option4 =
        place<QRadioButton>(frame2, "Option4", QStringLiteral("COM2"), twips(180, 540, 1095, 255));
    Option5 =
        place<QRadioButton>(frame2, "Option5", QStringLiteral("COM3"), twips(180, 900, 975, 255));
    Option6 =
        place<QRadioButton>(frame2, "Option6", QStringLiteral("COM4"), twips(180, 1260, 1215, 255));
    Option7 =
        place<QRadioButton>(frame2, "Option7", QStringLiteral("COM5"), twips(180, 1620, 1335, 255));
    Command1 =
        place<QPushButton>(this, "Command1", QStringLiteral("OK"), twips(2040, 1320, 735, 615));
    place<QLabel>(frame2, "Label1", QStringLiteral("OTHER"), twips(600, 2100, 615, 255));
    Command2 =
        place<QPushButton>(this, "Command2", QStringLiteral("Cancel"), twips(2040, 2160, 735, 615));
    // Enter must not press OK behind the operator's back: neither button is a default.
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);

    setTabChain(
        {Text1, Option1, Option2, Option3, Option4, Option5, Option6, Option7, Command1, Command2});

    connect(Option1, &QRadioButton::clicked, this, [] { BaudCode = kBaud9600; });
    connect(Option2, &QRadioButton::clicked, this, [] { BaudCode = kBaud19200; });
    const QRadioButton* ports[] = {Option3, Option4, Option5, Option6, Option7};
    for (int i = 0; i < 5; ++i)
        connect(ports[i], &QRadioButton::clicked, this, [i] { PortNumber = std::int16_t(i + 1); });
    connect(Text1, &QLineEdit::textChanged, this, &Form2::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    refreshPortTips();
}

// Each COM option names the device it opens here, so a technician on Linux can
// tell which adapter is which.
void Form2::refreshPortTips()
{
    QRadioButton* ports[] = {Option3, Option4, Option5, Option6, Option7};
    for (int i = 0; i < 5; ++i) {
        const QString device = deviceForPort(i + 1);
        const bool present = QFileInfo::exists(device);
        ports[i]->setToolTip(
            QStringLiteral("COM%1 opens %2 (%3)")
                .arg(i + 1)
                .arg(device, present ? QStringLiteral("present") : QStringLiteral("not present")));
    }
    Text1->setToolTip(QStringLiteral("Any port from 1 to 15; the \"Ports\" section of %1 can map "
                                     "COMn to a device such as /dev/serial/by-id/...")
                          .arg(SettingsStore::location()));
}

void Form2::load()
{
    QRadioButton* ports[] = {Option3, Option4, Option5, Option6, Option7};
    if (PortNumber >= 1 && PortNumber <= 5)
        ports[PortNumber - 1]->setChecked(true);
    adoptBaudCode();
    Text1->setFocus();
    Text1->setSelection(0, 1);
}

// Shows the speed of BaudCode and sets the line parameters; any code but 96 becomes 192.
void Form2::adoptBaudCode()
{
    (BaudCode == kBaud9600 ? Option1 : Option2)->setChecked(true);
    if (BaudCode != kBaud9600)
        BaudCode = kBaud19200;
    applyLineParameters();
}

void Form2::applyLineParameters()
{
    m_comm.setSettings(QString::fromLatin1(lineParameters(BaudCode)));
}

void Form2::Text1_Change()
{
    const auto number = readTypedNumber(Text1->text());
    if (number && isValidPortNumber(*number)) {
        PortNumber = std::int16_t(*number);
        return;
    }
    // 0, 16 to 255, or no whole number at all: the box goes back to "0", the port stays.
    if (Text1->text() != QLatin1String("0"))
        Text1->setText(QStringLiteral("0"));
}

void Form2::Command1_Click()
{
    applyLineParameters();
    if (!isValidPortNumber(PortNumber)) {
        RetryComport::show(
            this, PortNumber == 0
                      ? QStringLiteral("No port was chosen: click a COM option or "
                                       "type a number from 1 to 15.")
                      : QStringLiteral("COM%1 is not a port: choose 1 to 15.").arg(PortNumber));
        return;
    }
    // A port left open by an earlier failed settings write is closed first, so it can reopen.
    m_comm.setPortOpen(false);
    m_comm.setCommPort(PortNumber);
    if (!m_comm.setPortOpen(true)) {
        RetryComport::show(this, m_comm.lastOpenFailure().describe(PortNumber));
        return;
    }
    const QString section = QString::fromLatin1(SettingsStore::kSection);
    if (!SettingsStore::write(section, QString::fromLatin1(SettingsStore::kComPortKey),
                              QString::number(PortNumber)) ||
        !SettingsStore::write(section, QString::fromLatin1(SettingsStore::kBaudRateKey),
                              QString::number(BaudCode))) {
        RetryComport::show(this, QStringLiteral("COM%1 is open, but the choice could not be stored "
                                                "in %2.")
                                     .arg(PortNumber)
                                     .arg(SettingsStore::location()));
        return;
    }
    succeed();
}

void Form2::Command2_Click()
{
    PortNumber = SavedPortNumber;
    if (isValidPortNumber(PortNumber)) {
        BaudCode = SavedBaudCode;
        adoptBaudCode();
        m_comm.setPortOpen(false);
        m_comm.setCommPort(PortNumber);
        if (!m_comm.setPortOpen(true)) {
            RetryComport::show(this, m_comm.lastOpenFailure().describe(PortNumber));
            return;
        }
        succeed();
        return;
    }
    if (m_comm.portOpen()) {
        m_comm.setPortOpen(false);
        close();
    }
    RetryComport::show(this, QStringLiteral("There is no earlier port to go back to: choose a port "
                                            "and press OK."));
}

void Form2::succeed()
{
    close();
    if (m_mainWindow)
        m_mainWindow->show();
}

} // namespace zuno
