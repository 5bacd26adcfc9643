#include "link/form1.h"

#include "console/form3.h"
#include "panel/buttontable.h"
#include "panel/panelbuilder.h"
#include "panel/paneltable.h"
#include "settings/form2.h"
#include "settings/portsettings.h"
#include "settings/settingsstore.h"
#include "settings/storednumber.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace zuno {

namespace {
constexpr float kDesignOuterHeightTwips = 5000.0f;
constexpr float kVerticalLiftTwips = 1350.0f;
constexpr int kConsoleReplyIntervalMs = 7000;
constexpr int kConsoleDisplayClearIntervalMs = 7500;

QString storeSection()
{
    return QString::fromLatin1(SettingsStore::kSection);
}
} // namespace

int Form1::compactClientHeight()
{
    return kPanelCompactHeightTwips / kTwipsPerPixel;
}
int Form1::fullClientHeight()
{
    return kPanelFullHeightTwips / kTwipsPerPixel;
}

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("TK-VXR8800"));
    setWindowIcon(panelIcon());
    setFixedSize(kPanelWidthTwips / kTwipsPerPixel, fullClientHeight());

    const struct
    {
        QTimer& timer;
        const char* name;
        int intervalMs;
    } timers[] = {{Timer1, "Timer1", 200}, {Timer2, "Timer2", 10000}, {Timer4, "Timer4", 10500}};
    for (const auto& t : timers) {
        t.timer.setObjectName(QString::fromLatin1(t.name));
        // Precise timers: coarse ones may shift a tick by 5 %, which would let the reply
        // mark and the display clear fall into one pass of the event loop.
        t.timer.setTimerType(Qt::PreciseTimer);
        t.timer.setInterval(t.intervalMs);
    }
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(&Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);

    const PanelWidgets panel = buildPanel(this);
    m_buttons = panel.buttons;
    m_labels = panel.labels;
    m_options = panel.options;
    m_frame15 = panel.frames.value(QStringLiteral("Frame15"));
    wireButtons();

    connect(&m_comm, &MSComm1::onComm, this, &Form1::receive);
    connect(&m_comm, &MSComm1::portLost, this, [this] {
        m_labels.value(QStringLiteral("Label12"))->setText(QStringLiteral(" PORT CLOSED "));
        m_portClosedShown = true;
    });
    // One application-wide filter: key preview (the panel-size toggle works whichever
    // control has the focus) and the hold buttons' mouse presses and releases.
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    delete m_console;
    delete m_portDialog;
}

Form2* Form1::portDialog() const
{
    return m_portDialog;
}

void Form1::load()
{
    setFixedHeight(compactClientHeight());
    PortNumber = readStoredPortNumber(SettingsStore::read(
        storeSection(), QString::fromLatin1(SettingsStore::kComPortKey), QStringLiteral("DATAC")));
    if (!isValidPortNumber(PortNumber)) {
        startUpFallback();
        return;
    }
    BaudCode = readStoredBaudCode(SettingsStore::read(
        storeSection(), QString::fromLatin1(SettingsStore::kBaudRateKey), QStringLiteral("DATAb")));
    const QString stored = SettingsStore::read(
        storeSection(), QString::fromLatin1(SettingsStore::kAddressKey), QStringLiteral("DATAD"));
    AddressPrefix = isKnownAddressPrefix(stored) ? stored.toLatin1() : QByteArray();
    selectAddressOption();

    m_comm.setSettings(QString::fromLatin1(lineParameters(BaudCode)));
    m_comm.setCommPort(PortNumber);
    if (!m_comm.setPortOpen(true)) {
        startUpFallback();
        return;
    }
    Timer2.setInterval(kReplyIntervalMs);
    Timer4.setInterval(kDisplayClearIntervalMs);
    placeOnScreen();
    RepeatKey = 0;
    AwaitingReply = 0;
    RxBuffer.clear();
}

void Form1::startUpFallback()
{
    auto* dialog = new Form2(m_comm, this);
    m_portDialog = dialog;
    dialog->exec();
    placeOnScreen();
}

// Centred across, lifted above the middle, computed on the design's outer height so the
// panel sits where the design puts it whatever the desktop's frame.
void Form1::placeOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const float widthTwips = float(frameGeometry().width() * kTwipsPerPixel);
    const float left = (float(area.width() * kTwipsPerPixel) - widthTwips) / 2.0f;
    const float top = (float(area.height() * kTwipsPerPixel) - kDesignOuterHeightTwips) / 2.0f -
                      kVerticalLiftTwips;
    move(area.left() + qRound(left / kTwipsPerPixel), area.top() + qRound(top / kTwipsPerPixel));
}

void Form1::selectAddressOption()
{
    for (QRadioButton* option : std::as_const(m_options)) {
        if (addressPrefixOf(option->objectName()) == AddressPrefix) {
            option->setChecked(true);
            return;
        }
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A store that cannot be written must not keep the window open or the port busy.
    SettingsStore::write(storeSection(), QString::fromLatin1(SettingsStore::kAddressKey),
                         QString::fromLatin1(AddressPrefix));
    if (m_comm.portOpen())
        m_comm.setPortOpen(false);
    Timer1.stop();
    Timer2.stop();
    Timer4.stop();
    // The port dialog and the console go with the panel, without running steps of their own.
    delete m_console;
    delete m_portDialog;
    event->accept();
}

void Form1::Command16_Click()
{
    close();
    QCoreApplication::quit();
}

void Form1::Command33_Click()
{
    if (m_comm.portOpen())
        m_comm.setPortOpen(false);
    SavedBaudCode = BaudCode;
    SavedPortNumber = PortNumber;
    if (!m_portDialog) {
        m_portDialog = new Form2(m_comm, this);
        m_portDialog->move(frameGeometry().center() - m_portDialog->rect().center());
    }
    m_portDialog->show();
    m_portDialog->raise();
    m_portDialog->activateWindow();
}

void Form1::Command74_Click()
{
    m_frame15->hide();
    Timer2.setInterval(kConsoleReplyIntervalMs);
    Timer4.setInterval(kConsoleDisplayClearIntervalMs);
    if (!m_console)
        m_console = new Form3(*this);
    m_console->show();
    m_console->raise();
    m_console->activateWindow();
}

} // namespace zuno
