#include "ui/panelwindow.h"

#include "core/link.h"
#include "settings/settingsfile.h"
#include "core/storednumber.h"
#include "settings/settingsstore.h"
#include "ui/commandconsole.h"
#include "ui/portdialog.h"
#include "ui/scancodeshortcut.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

#include <cstdio>

namespace zuno {

namespace {
// The start-up centring takes the compact panel's outer height as 5000 twips (its client area
// and a frame of 480 twips), whatever the desktop's frame, and lifts the window this much above
// the middle of the screen.
constexpr float kCentringOuterHeightTwips = 5000.0f;
constexpr float kVerticalLiftTwips = 1350.0f;
// Ctrl+K gives the compact height from this outer height up, the full height below it.
constexpr int kToggleThresholdTwips = 7000;
#if defined(Q_OS_LINUX)
// The K key's native scan code under xcb and wayland alike (its X keycode), whatever letter the
// keyboard layout puts on it.
constexpr quint32 kKeyKScanCode = 45;
#endif

// A settings file too large to read is reported once per run, however many panels start.
bool largeStoreReported = false;

QString readStartUp(const char* key, const char* defaultText)
{
    return SettingsStore::read(QString::fromLatin1(SettingsStore::kStartUpSection),
                               QString::fromLatin1(key), QString::fromLatin1(defaultText));
}
} // namespace

int PanelWindow::compactClientHeight()
{
    return kPanelCompactHeightTwips / kTwipsPerPixel;
}

int PanelWindow::fullClientHeight()
{
    return kPanelFullHeightTwips / kTwipsPerPixel;
}

PanelWindow::PanelWindow(Link& link, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_link(link), m_exchange(link)
{
    setObjectName(QStringLiteral("panelWindow"));
    setWindowTitle(QStringLiteral("TK-VXR8800"));
    setFixedSize(kPanelWidthTwips / kTwipsPerPixel, fullClientHeight());
    m_controls = buildPanel(this);
    bindButtons();
    bindExchange();

    // Ctrl+K works whichever control has the focus; Meta held as well does not hinder it.
    auto* toggle = new QShortcut(this);
    toggle->setKeys(
        {QKeySequence(Qt::CTRL | Qt::Key_K), QKeySequence(Qt::CTRL | Qt::META | Qt::Key_K)});
    toggle->setContext(Qt::WindowShortcut);
    connect(toggle, &QShortcut::activated, this, &PanelWindow::togglePanelSize);
#if defined(Q_OS_LINUX)
    // In a Cyrillic or Greek layout the K key gives another letter: the key itself counts too.
    auto* physicalToggle = new ScanCodeShortcut(this, Qt::Key_K, kKeyKScanCode);
    connect(physicalToggle, &ScanCodeShortcut::activated, this, &PanelWindow::togglePanelSize);
#endif

    // However the program ends, the closing steps run: the last window closed, END, a desktop
    // session that ends (its manager quits the program), a termination signal (endSession).
    connect(qApp, &QCoreApplication::aboutToQuit, this, &PanelWindow::runClosingSteps);
#if QT_CONFIG(sessionmanager)
    // A session manager about to end the session asks for the data first; it may still cancel
    // the end, so the port stays open until the program really quits.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &PanelWindow::storeAddress);
#endif
}

PanelWindow::~PanelWindow()
{
    delete m_console;
    delete m_portDialog;
}

PortDialog* PanelWindow::portDialog() const
{
    return m_portDialog;
}

CommandConsole* PanelWindow::console() const
{
    return m_console;
}

void PanelWindow::bindButtons()
{
    for (const ButtonSpec& spec : panelButtons()) {
        QPushButton* button = m_controls.button(spec.id);
        switch (spec.kind) {
        case ButtonKind::Click:
            // Enter acts on the focused button like Space, as technicians expect of a panel.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this, [this, &spec] {
                m_exchange.transmit(spec.command);
                if (spec.id == PanelButton::MenuOn)
                    m_exchange.restoreRepeatInterval();
            });
            break;
        case ButtonKind::Hold:
            // A hold acts on press and release of any mouse button, or of Space while the
            // button has the focus, seen by eventFilter; it has no click action, so the
            // button's own click on Space's release sends nothing more.
            m_holdRepeatKeys.insert(button, spec.repeatKey);
            button->installEventFilter(this);
            break;
        case ButtonKind::Action:
            button->setAutoDefault(true);
            break;
        }
    }
    connect(button(PanelButton::End), &QPushButton::clicked, this, &PanelWindow::endProgram);
    connect(button(PanelButton::Com), &QPushButton::clicked, this, &PanelWindow::openPortDialog);
    connect(button(PanelButton::CommandTable), &QPushButton::clicked, this,
            &PanelWindow::openConsole);
    for (int i = 0; i < kAddressOptionCount; ++i) {
        // A click only chooses the prefix for the next transmission.
        connect(m_controls.addressOptions[std::size_t(i)], &QRadioButton::clicked, this,
                [this, i] { chooseAddress(i); });
    }
}

void PanelWindow::bindExchange()
{
    connect(&m_exchange, &Exchange::txdChanged, m_controls.txdLine, &QLabel::setText);
    connect(&m_exchange, &Exchange::rxdChanged, m_controls.rxdLine, &QLabel::setText);
    connect(&m_exchange, &Exchange::statusChanged, m_controls.statusLine, &QLabel::setText);
    connect(&m_exchange, &Exchange::legendsChanged, this, [this](bool ack, bool cr, bool space) {
        m_controls.ackLegend->setVisible(ack);
        m_controls.crLegend->setVisible(cr);
        m_controls.spaceLegend->setVisible(space);
    });
}

void PanelWindow::chooseAddress(int option)
{
    m_storeAddressOnClose = true;
    m_exchange.setAddress(QByteArray(addressOptions()[option].prefix));
}

void PanelWindow::showAddress(const QByteArray& address)
{
    m_exchange.setAddress(address);
    m_controls.addressOptions[std::size_t(addressOptionOf(address))]->setChecked(true);
}

void PanelWindow::start(const StartUpChoice& run)
{
    setFixedHeight(compactClientHeight());
    reportLargeStore();
    m_storeAddressOnClose = !run.address;
    m_portChoice.port =
        run.port != 0 ? run.port
                      : readStoredPortNumber(readStartUp(SettingsStore::kComPortKey, "DATAC"));
    if (!isValidPortNumber(m_portChoice.port)) {
        // Only what the command line chose carries into the port dialog; nothing stored is read.
        if (run.baudCode)
            m_portChoice.baudCode = *run.baudCode;
        if (run.address)
            showAddress(*run.address);
        startUpFallback();
        return;
    }
    m_portChoice.baudCode =
        run.baudCode ? *run.baudCode
                     : readStoredBaudCode(readStartUp(SettingsStore::kBaudRateKey, "DATAb"));
    if (run.address) {
        showAddress(*run.address);
    } else {
        const QString stored = readStartUp(SettingsStore::kAddressKey, "DATAD");
        showAddress(isKnownAddressPrefix(stored) ? stored.toLatin1() : QByteArray());
    }

    // The answer may come later (a serial device server over the network); "COM" or closing
    // the panel before it comes gives the attempt up.
    m_startUpAttempt = new QObject(this);
    openLink(
        m_link, m_startUpAttempt, m_portChoice.port, bitsPerSecond(m_portChoice.baudCode),
        [this] {
            m_startUpAttempt->deleteLater();
            m_exchange.startUpCompleted();
            placeOnScreen();
        },
        [this](const QString&) {
            m_startUpAttempt->deleteLater();
            startUpFallback();
        });
}

// A store too large to read: one line on standard error now, and a box that does not block the
// panel once the panel is shown.
void PanelWindow::reportLargeStore()
{
    if (largeStoreReported || !SettingsStore::isTooLarge())
        return;
    largeStoreReported = true;
    const QString text =
        QStringLiteral("%1 is larger than %2 KiB, the most a settings file may have: it is "
                       "neither read nor written, and the panel starts with its defaults.")
            .arg(SettingsStore::location())
            .arg(SettingsFile::kMaxBytes / 1024);
    std::fprintf(stderr, "zuno: %s\n", text.toLocal8Bit().constData());
    m_largeStoreNotice = text;
}

void PanelWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_largeStoreNotice.isEmpty())
        return;
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), m_largeStoreNotice,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("largeStoreNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    m_largeStoreNotice.clear();
    QMetaObject::invokeMethod(box, &QWidget::show, Qt::QueuedConnection);
}

void PanelWindow::giveUpStartUp()
{
    if (!m_startUpAttempt)
        return;
    delete m_startUpAttempt;
    m_link.close();
}

void PanelWindow::startUpFallback()
{
    PortDialog* dialog = createPortDialog();
    m_inStartUpDialog = true;
    dialog->exec();
    m_inStartUpDialog = false;
    // OK and Cancel placed and showed the panel already; after the close box it is placed here.
    if (!isVisible())
        placeOnScreen();
    // The session ended while the dialog was open: the program's own event loop, which has
    // not yet begun, ends as soon as it begins.
    if (m_closingStepsDone)
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

PortDialog* PanelWindow::createPortDialog()
{
    auto* dialog = new PortDialog(m_link, m_portChoice, m_savedPortChoice);
    connect(dialog, &PortDialog::choiceChanged, this,
            [this](PortChoice choice) { m_portChoice = choice; });
    // A panel not yet shown (the start-up's dialog) appears in its place at once.
    connect(dialog, &PortDialog::portReady, this, [this] {
        if (!isVisible())
            placeOnScreen();
        show();
    });
    // The dialog shows any speed code but 96 as 19200 bit/s from the start.
    m_portChoice = dialog->choice();
    m_portDialog = dialog;
    return dialog;
}

// Centred across, lifted above the middle, computed on the window's outer size. Before the
// window is first shown the window system may not know its frame yet; the compact panel's
// designed outer height stands in for it then.
void PanelWindow::placeOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QRect outer = frameGeometry();
    const float widthTwips = float(outer.width() * kTwipsPerPixel);
    const float heightTwips = outer.height() > height() ? float(outer.height() * kTwipsPerPixel)
                                                        : kCentringOuterHeightTwips;
    const float left = (float(area.width() * kTwipsPerPixel) - widthTwips) / 2.0f;
    const float top =
        (float(area.height() * kTwipsPerPixel) - heightTwips) / 2.0f - kVerticalLiftTwips;
    move(area.left() + qRound(left / kTwipsPerPixel), area.top() + qRound(top / kTwipsPerPixel));
}

void PanelWindow::closeEvent(QCloseEvent* event)
{
    runClosingSteps();
    event->accept();
}

// The address stored and the port closed, once, whichever way the program ends first.
void PanelWindow::runClosingSteps()
{
    if (std::exchange(m_closingStepsDone, true))
        return;
    // A store that cannot be written must not keep the window open or the port busy.
    storeAddress();
    giveUpStartUp();
    if (m_link.isOpen())
        m_link.close();
    m_exchange.halt();
    // The port dialog and the console go with the panel, without running steps of their own.
    delete m_console;
    delete m_portDialog;
}

void PanelWindow::storeAddress()
{
    // An address the command line chose for this run is not stored unless the operator picks one.
    if (!m_storeAddressOnClose)
        return;
    SettingsStore::write(QString::fromLatin1(SettingsStore::kStartUpSection),
                         QString::fromLatin1(SettingsStore::kAddressKey),
                         QString::fromLatin1(m_exchange.address()));
}

void PanelWindow::endProgram()
{
    close();
    QCoreApplication::quit();
}

void PanelWindow::endSession()
{
    runClosingSteps();
    close();
    // Inside the start-up's dialog the program's own event loop has not begun: the start-up
    // ends it once the dialog, gone with the closing steps, has returned.
    if (!m_inStartUpDialog)
        QCoreApplication::quit();
}

void PanelWindow::setVisible(bool visible)
{
    QWidget::setVisible(visible && !m_closingStepsDone);
}

void PanelWindow::openPortDialog()
{
    giveUpStartUp();
    if (m_link.isOpen())
        m_link.close();
    // Taken afresh on every click, also while the dialog is open: its Cancel goes back to them.
    m_savedPortChoice = m_portChoice;
    if (!m_portDialog) {
        createPortDialog();
        m_portDialog->move(frameGeometry().center() - m_portDialog->rect().center());
    }
    m_portDialog->setSavedChoice(m_savedPortChoice);
    m_portDialog->show();
    m_portDialog->raise();
    m_portDialog->activateWindow();
}

void PanelWindow::openConsole()
{
    m_controls.statusFrame->hide();
    m_exchange.consoleOpened();
    if (!m_console) {
        m_console = new CommandConsole(m_exchange);
        connect(m_console, &CommandConsole::closed, this, &PanelWindow::consoleClosed);
    }
    m_console->show();
    m_console->raise();
    m_console->activateWindow();
}

void PanelWindow::consoleClosed()
{
    show();
    raise();
    activateWindow();
    m_controls.statusFrame->setVisible(true);
    m_exchange.consoleClosed();
}

void PanelWindow::pressHoldButton(QPushButton* button, int repeatKey, bool byKeyboard)
{
    // A second press, on this or another hold button, changes nothing while a hold runs.
    if (m_exchange.isHolding())
        return;
    m_heldButton = button;
    m_heldByKeyboard = byKeyboard;
    m_exchange.startHold(repeatKey);
}

// A press or release of Space by the key itself, not by the keyboard's auto-repeat.
static bool isSpaceStroke(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_Space && !key->isAutoRepeat();
}

// Only the hold buttons are watched.
bool PanelWindow::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = static_cast<QPushButton*>(watched);
    // Space held on a focused hold button holds it like a mouse button. The keyboard's own
    // repeat sends pairs of auto-repeated releases and presses: they neither end the hold nor
    // start another. A Space hold ends at Space's release or when its button loses the focus.
    const bool spaceKey = isSpaceStroke(event);
    const bool keyboardHold = m_heldByKeyboard && button == m_heldButton;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        pressHoldButton(button, m_holdRepeatKeys.value(button), false);
        break;
    case QEvent::KeyPress:
        if (spaceKey)
            pressHoldButton(button, m_holdRepeatKeys.value(button), true);
        break;
    case QEvent::KeyRelease:
    case QEvent::FocusOut:
        if (keyboardHold && (spaceKey || event->type() == QEvent::FocusOut)) {
            m_heldButton = nullptr;
            m_exchange.endHold();
        }
        break;
    case QEvent::MouseButtonRelease:
        m_heldButton = nullptr;
        m_exchange.endHold();
        break;
    case QEvent::Hide:
        // A held button that disappears can no longer be released: end the hold now.
        if (m_exchange.isHolding() && button == m_heldButton) {
            m_heldButton = nullptr;
            m_exchange.endHold();
        }
        break;
    default:
        break;
    }
    return false;
}

bool PanelWindow::event(QEvent* event)
{
    // Loading the icon's pictures costs as much as drawing half the panel: they come right after
    // the panel is first drawn, so that it shows that much sooner.
    if (event->type() == QEvent::Paint && !m_iconRequested) {
        m_iconRequested = true;
        QMetaObject::invokeMethod(
            this, [this] { setWindowIcon(panelIcon()); }, Qt::QueuedConnection);
    }
    // A hold never runs on without its button held: losing the window ends it like a release.
    if (event->type() == QEvent::WindowDeactivate && m_exchange.isHolding()) {
        m_heldButton = nullptr;
        m_exchange.endHold();
    }
    return QWidget::event(event);
}

void PanelWindow::togglePanelSize()
{
    const int outerTwips = frameGeometry().height() * kTwipsPerPixel;
    setFixedHeight(outerTwips >= kToggleThresholdTwips ? compactClientHeight()
                                                       : fullClientHeight());
}

} // namespace zuno
