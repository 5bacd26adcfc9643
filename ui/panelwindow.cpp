#include "ui/panelwindow.h"

#include "session/session.h"
#include "ui/commandconsole.h"
#include "ui/historywindow.h"
#include "ui/holdbuttons.h"
#include "ui/portdialog.h"
#include "ui/retrycomport.h"
#include "ui/scancodeshortcut.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

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
} // namespace

int PanelWindow::compactClientHeight()
{
    return kPanelCompactHeightTwips / kTwipsPerPixel;
}

int PanelWindow::fullClientHeight()
{
    return kPanelFullHeightTwips / kTwipsPerPixel;
}

PanelWindow::PanelWindow(Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_session(session)
{
    setObjectName(QStringLiteral("panelWindow"));
    setWindowTitle(QStringLiteral("TK-VXR8800"));
    setFixedSize(kPanelWidthTwips / kTwipsPerPixel, compactClientHeight());
    m_controls = buildPanel(this);
    bindButtons();
    bindSession();
    HistoryWindow::attach(this, m_controls.historyAction, m_session);
    // A technician at the panel wants a line that went away back without a click.
    m_session.setReconnectEnabled(true);

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
#if QT_CONFIG(sessionmanager)
    // A session manager about to end the desktop session asks for the data first; it may still
    // cancel the end, so the port stays open until the program really quits.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, &m_session, &Session::storeAddress);
#endif
}

PanelWindow::~PanelWindow()
{
    delete m_console;
    delete m_portDialog;
}

void PanelWindow::bindButtons()
{
    auto* holds = new HoldButtons(m_session.exchange(), this);
    for (const ButtonSpec& spec : panelButtons()) {
        QPushButton* button = m_controls.button(spec.id);
        switch (spec.kind) {
        case ButtonKind::Click:
            // Enter acts on the focused button like Space, as technicians expect of a panel.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this, [this, &spec] {
                m_session.exchange().transmit(spec.command);
                if (spec.id == PanelButton::MenuOn)
                    m_session.exchange().restoreRepeatInterval();
            });
            break;
        case ButtonKind::Hold:
            holds->add(button, spec.repeatKey);
            break;
        case ButtonKind::Action:
            button->setAutoDefault(true);
            break;
        }
    }
    connect(m_controls.button(PanelButton::End), &QPushButton::clicked, this, [this] {
        close();
        QCoreApplication::quit();
    });
    connect(m_controls.button(PanelButton::Com), &QPushButton::clicked, this,
            &PanelWindow::openPortDialog);
    connect(m_controls.button(PanelButton::CommandTable), &QPushButton::clicked, this,
            &PanelWindow::openConsole);
    for (int i = 0; i < kAddressOptionCount; ++i) {
        // A click only chooses the prefix for the next transmission.
        connect(m_controls.addressOptions[std::size_t(i)], &QRadioButton::clicked, this,
                [this, i] { m_session.chooseAddress(QByteArray(addressOptions()[i].prefix)); });
    }
}

void PanelWindow::bindSession()
{
    Exchange& exchange = m_session.exchange();
    connect(&exchange, &Exchange::txdChanged, m_controls.txdLine, &QLabel::setText);
    connect(&exchange, &Exchange::rxdChanged, m_controls.rxdLine, &QLabel::setText);
    connect(&exchange, &Exchange::statusChanged, m_controls.statusLine, &QLabel::setText);
    connect(&exchange, &Exchange::legendsChanged, this, [this](bool ack, bool cr, bool space) {
        m_controls.ackLegend->setVisible(ack);
        m_controls.crLegend->setVisible(cr);
        m_controls.spaceLegend->setVisible(space);
    });
    connect(&m_session, &Session::started, this, [this] {
        showAddress();
        placeAndShow();
    });
    // The start-up's port dialog comes alone and modal; the panel follows once it is done.
    connect(&m_session, &Session::portNeeded, this, [this] {
        showAddress();
        PortDialog* dialog = portDialog();
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
    });
    // Two panels are told apart by the line each is on; before any port opened there is none.
    connect(&m_session, &Session::lineChanged, this, [this](const QString& line) {
        setWindowTitle(QStringLiteral("TK-VXR8800 \u2014 ") + line);
    });
    connect(&m_session, &Session::notice, this, &PanelWindow::showNotice);
    connect(&m_session, &Session::ended, this, &PanelWindow::sessionEnded);
}

void PanelWindow::showAddress()
{
    const int option = addressOptionOf(m_session.exchange().address());
    m_controls.addressOptions[std::size_t(option)]->setChecked(true);
}

// Centred across, lifted above the middle, computed on the window's outer size. Before the
// window is first shown the window system may not know its frame yet; the compact panel's
// designed outer height stands in for it then.
void PanelWindow::placeAndShow()
{
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QRect outer = frameGeometry();
        const float widthTwips = float(outer.width() * kTwipsPerPixel);
        const float heightTwips = outer.height() > height() ? float(outer.height() * kTwipsPerPixel)
                                                            : kCentringOuterHeightTwips;
        const float left = (float(area.width() * kTwipsPerPixel) - widthTwips) / 2.0f;
        const float top =
            (float(area.height() * kTwipsPerPixel) - heightTwips) / 2.0f - kVerticalLiftTwips;
        move(area.left() + qRound(left / kTwipsPerPixel),
             area.top() + qRound(top / kTwipsPerPixel));
    }
    show();
}

// What the operator should know (a settings file too large to read, a session log that cannot
// be written) comes in a box that does not block the panel, once the panel is shown.
void PanelWindow::showNotice(const QString& text)
{
    m_notices.append(text);
    if (isVisible())
        showNotices();
}

void PanelWindow::showNotices()
{
    for (const QString& notice : std::exchange(m_notices, {})) {
        auto* box =
            new QMessageBox(QMessageBox::Information, windowTitle(), notice, QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("notice"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        QMetaObject::invokeMethod(box, &QWidget::show, Qt::QueuedConnection);
    }
}

void PanelWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showNotices();
}

void PanelWindow::closeEvent(QCloseEvent* event)
{
    m_session.end();
    event->accept();
}

// The port dialog and the console go with the panel; a panel whose session ended is not shown
// again.
void PanelWindow::sessionEnded()
{
    delete m_console;
    delete m_portDialog;
    close();
}

void PanelWindow::setVisible(bool visible)
{
    QWidget::setVisible(visible && !m_session.hasEnded());
}

// The one port dialog: it shows the session's choice and hands the operator's to the session,
// which opens and stores. Once it is done, the panel is shown where it belongs.
PortDialog* PanelWindow::portDialog()
{
    if (m_portDialog)
        return m_portDialog;
    auto* dialog = new PortDialog(m_session.naming(), m_session.portChoice());
    m_portDialog = dialog;
    connect(dialog, &PortDialog::choicePicked, &m_session, &Session::choosePort);
    connect(dialog, &PortDialog::okPressed, &m_session, &Session::applyPortChoice);
    connect(dialog, &PortDialog::cancelPressed, &m_session, &Session::revertPortChoice);
    connect(&m_session, &Session::portChoiceChanged, dialog, &PortDialog::showChoice);
    connect(&m_session, &Session::openingChanged, dialog, &PortDialog::setBusy);
    connect(&m_session, &Session::portChanged, dialog, &QWidget::close);
    connect(&m_session, &Session::portChangeDropped, dialog, &QWidget::close);
    connect(&m_session, &Session::portChangeFailed, dialog,
            [dialog](const QString& reason) { RetryComport::show(dialog, reason); });
    connect(dialog, &QDialog::finished, this, [this] {
        m_session.abandonPortChange();
        if (!isVisible())
            placeAndShow();
    });
    return dialog;
}

void PanelWindow::openPortDialog()
{
    // Taken afresh on every click, also while the dialog is open: its Cancel goes back to them.
    m_session.beginPortChange();
    const bool fresh = !m_portDialog;
    PortDialog* dialog = portDialog();
    if (fresh)
        dialog->move(frameGeometry().center() - dialog->rect().center());
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void PanelWindow::openConsole()
{
    m_controls.statusFrame->hide();
    m_session.exchange().consoleOpened();
    if (!m_console) {
        m_console = new CommandConsole(m_session.exchange());
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
    m_session.exchange().consoleClosed();
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
    return QWidget::event(event);
}

void PanelWindow::togglePanelSize()
{
    const int outerTwips = frameGeometry().height() * kTwipsPerPixel;
    setFixedHeight(outerTwips >= kToggleThresholdTwips ? compactClientHeight()
                                                       : fullClientHeight());
}

} // namespace zuno
