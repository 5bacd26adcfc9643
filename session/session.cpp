#include "session/session.h"

#include "core/link.h"
#include "core/storednumber.h"
#include "links/portinventory.h"
#include "links/portlink.h"
#include "session/sessionlog.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zuno {

Session::Session(Settings& settings, std::unique_ptr<Link> link, QObject* parent)
    : Session(settings, Storing::Allowed, std::move(link), parent)
{
}

Session::Session(Settings& settings, Storing storing, std::unique_ptr<Link> link, QObject* parent)
    : QObject(parent), m_settings(settings), m_naming(settings),
      m_link(link ? std::move(link) : std::make_unique<PortLink>(m_naming)), m_exchange(*m_link),
      m_history(m_exchange, *m_link), m_storing(storing)
{
    connect(m_link.get(), &Link::opened, this, &Session::lineOpened);
    // However the program ends, the closing steps run; they run once.
    if (auto* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &Session::end);
    m_reconnectTimer.setObjectName(QStringLiteral("reconnectTimer"));
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &Session::reconnectTimerFired);
    connect(m_link.get(), &Link::lost, this, &Session::lineLost);
    connect(m_link.get(), &Link::notice, this, &Session::tellFromLink);
}

// The log and the exchange go before the link they listen to, and nothing the link says while it
// goes reaches the session's members, which are gone by then.
Session::~Session()
{
    m_link->disconnect(this);
    m_log.reset();
}

void Session::startLog(const QString& path)
{
    m_log = std::make_unique<SessionLog>(path, m_exchange, *m_link,
                                         [this] { return portDescription(); });
    connect(m_log.get(), &SessionLog::failed, this, &Session::notice);
    if (!m_log->isWriting())
        emit notice(m_log->problem());
    m_log->setReconnecting(m_reconnecting);
    // What the operator was told is part of the record.
    connect(this, &Session::notice, m_log.get(),
            [log = m_log.get()](const QString& text) { log->record(u"notice", text); });
}

void Session::start(const StartUpChoice& run)
{
    stopReconnecting();
    m_linkNoticesTold.clear();
    m_settings.reload();
    m_toldProblem = m_settings.problem();
    if (!m_toldProblem.isEmpty())
        emit notice(m_toldProblem +
                    QStringLiteral(": it is neither read nor written, and the panel starts with "
                                   "its defaults."));
    m_storeAddressOnClose = !run.address;
    int port = run.port;
    if (!run.device.isEmpty()) {
        port = portForRunDevice(m_naming, run.device);
        m_naming.mapForThisRun(port, run.device);
    }
    const StoredStartUp stored = m_settings.startUp();
    if (port == 0)
        port = stored.port;
    if (!isValidPortNumber(port)) {
        // Only what the command line chose carries into the port's choice; nothing stored is read.
        setChoice({0, run.bitsPerSecond.value_or(19200)});
        if (run.address)
            m_exchange.setAddress(*run.address);
        emit portNeeded(QStringLiteral("no port is stored yet: choose one"));
        return;
    }
    setChoice({std::int16_t(port), run.bitsPerSecond.value_or(stored.bitsPerSecond)});
    m_exchange.setAddress(run.address.value_or(stored.address));
    open(
        m_choice,
        [this] {
            m_exchange.startUpCompleted();
            emit started();
        },
        [this](const QString& reason) { emit portNeeded(reason); });
}

QString Session::portDescription() const
{
    const QString device = m_naming.deviceFor(m_choice.port);
    const QString com = QStringLiteral("COM%1").arg(m_choice.port);
    return device.isEmpty() ? com : com + u' ' + device;
}

// Taken once per open, not per exchange: the history shares this description.
void Session::lineOpened()
{
    m_history.setPort(portDescription());
    const QString device = m_naming.deviceFor(m_choice.port);
    const QString com = QStringLiteral("COM%1").arg(m_choice.port);
    const QString line = device.isEmpty() ? com : QStringLiteral("%1 (%2)").arg(com, device);
    if (line != m_line) {
        m_line = line;
        emit lineChanged(m_line);
    }
}

void Session::beginPortChange()
{
    stopReconnecting();
    m_linkNoticesTold.clear();
    giveUpOpening();
    if (m_link->isOpen())
        m_link->close();
    // Another program (zuno --map) may have named the ports anew.
    m_settings.reload();
    m_saved = m_choice;
}

void Session::choosePort(PortChoice choice)
{
    setChoice(choice);
}

void Session::applyPortChoice()
{
    stopReconnecting();
    const PortChoice choice = m_choice;
    if (!isValidPortNumber(choice.port)) {
        emit portChangeFailed(
            choice.port == 0
                ? QStringLiteral("No port was chosen: click a COM option or type a number from 1 "
                                 "to 15.")
                : QStringLiteral("COM%1 is not a port: choose 1 to 15.").arg(choice.port));
        return;
    }
    open(
        choice,
        [this, choice] {
            // Port and speed in one replacement: a failure cannot leave a new port with an old
            // speed. The port stays open.
            if (m_storing == Storing::Allowed && !m_settings.storePortChoice(choice)) {
                emit portChangeFailed(
                    QStringLiteral("COM%1 is open, but the choice could not be stored: %2.")
                        .arg(choice.port)
                        .arg(m_settings.writeProblem()));
                return;
            }
            emit portChanged();
        },
        [this](const QString& reason) { emit portChangeFailed(reason); });
}

void Session::revertPortChoice()
{
    stopReconnecting();
    setChoice({m_saved.port, m_choice.bitsPerSecond});
    if (isValidPortNumber(m_choice.port)) {
        setChoice(m_saved);
        open(
            m_choice, [this] { emit portChanged(); },
            [this](const QString& reason) { emit portChangeFailed(reason); });
        return;
    }
    giveUpOpening();
    if (m_link->isOpen()) {
        m_link->close();
        emit portChangeDropped();
    }
    emit portChangeFailed(
        QStringLiteral("There is no earlier port to go back to: choose a port and press OK."));
}

void Session::abandonPortChange()
{
    giveUpOpening();
}

void Session::chooseAddress(const QByteArray& prefix)
{
    m_storeAddressOnClose = true;
    m_exchange.setAddress(prefix);
}

void Session::storeAddress()
{
    // An address the command line chose for this run is not stored unless the operator picks one.
    // A store the start-up found unusable was told about then, once.
    if (m_storing == Storing::Allowed && m_storeAddressOnClose &&
        !m_settings.storeAddress(m_exchange.address()) &&
        m_settings.writeProblem() != m_toldProblem)
        emit notice(QStringLiteral("the address could not be stored: ") +
                    m_settings.writeProblem());
}

void Session::end()
{
    if (std::exchange(m_ended, true))
        return;
    // A store that cannot be written must not keep the port busy.
    storeAddress();
    stopReconnecting();
    giveUpOpening();
    if (m_link->isOpen())
        m_link->close();
    m_exchange.halt();
    emit ended();
}

// A port left open by an earlier failed settings write is closed first, so that it can reopen.
// The settings are read again first: another program (zuno --map, a simulator registering its
// line) may have named the port anew since. The answer may come later (a serial device server over
// the network): each open answers in a context of its own, so an open given up finds no one when
// its answer comes.
void Session::open(PortChoice choice, std::function<void()> onOpened,
                   std::function<void(const QString&)> onFailed)
{
    giveUpOpening();
    m_link->close();
    m_settings.reload();
    auto* attempt = new QObject(this);
    m_attempt = attempt;
    emit openingChanged(true);
    const auto finish = [this, attempt] {
        attempt->deleteLater();
        m_attempt = nullptr;
        emit openingChanged(false);
    };
    openLink(
        *m_link, attempt, choice.port, choice.bitsPerSecond,
        [finish, onOpened] {
            finish();
            onOpened();
        },
        [finish, onFailed](const QString& reason) {
            finish();
            onFailed(reason);
        });
}

void Session::giveUpOpening()
{
    if (!m_attempt)
        return;
    delete m_attempt;
    m_link->close();
    emit openingChanged(false);
}

void Session::setReconnectEnabled(bool enabled)
{
    m_reconnectEnabled = enabled;
    if (!enabled)
        stopReconnecting();
}

void Session::lineLost()
{
    if (!m_reconnectEnabled || m_ended || !isValidPortNumber(m_choice.port))
        return;
    m_reconnecting = true;
    m_reconnectTried = false;
    m_reconnectPauseMs = kFirstReconnectPauseMs;
    if (m_log)
        m_log->setReconnecting(true);
    m_reconnectTimer.start(isTcpDevice(m_naming.deviceFor(m_choice.port)) ? m_reconnectPauseMs
                                                                          : kDeviceCheckMs);
}

// One attempt to reopen the line, or, for a serial device whose path is still gone, a look at the
// path; neither sends anything.
void Session::reconnectTimerFired()
{
    m_reconnectTimer.stop();
    if (!m_reconnecting || isOpening())
        return;
    if (m_link->isOpen()) {
        stopReconnecting();
        return;
    }
    // A device node that is not there ("COMn" on Windows names no file: it is simply tried).
    const auto deviceGone = [this] {
        const QString device = m_naming.deviceFor(m_choice.port);
        return QDir::isAbsolutePath(device) && !QFileInfo::exists(device);
    };
    // The first attempt gives the reason the line stays away, for the log; after that a serial
    // device is tried only once its path is back.
    if (m_reconnectTried && deviceGone()) {
        m_reconnectTimer.start(kDeviceCheckMs);
        return;
    }
    m_reconnectTried = true;
    open(
        m_choice,
        [this] {
            stopReconnecting();
            emit reconnected();
        },
        [this, deviceGone](const QString&) {
            if (deviceGone()) {
                m_reconnectTimer.start(kDeviceCheckMs);
                return;
            }
            m_reconnectPauseMs = std::min(2 * m_reconnectPauseMs, kLongestReconnectPauseMs);
            m_reconnectTimer.start(m_reconnectPauseMs);
        });
}

// An attempt under way is given up too: the line must not come back after this.
void Session::stopReconnecting()
{
    m_reconnectTimer.stop();
    if (!std::exchange(m_reconnecting, false))
        return;
    giveUpOpening();
    if (m_log)
        m_log->setReconnecting(false);
}

// What a line says about itself reaches the operator once. An open the operator asked for
// answers with its own reason, which would say it twice.
void Session::tellFromLink(const QString& text)
{
    if ((isOpening() && !m_reconnecting) || m_linkNoticesTold.contains(text))
        return;
    m_linkNoticesTold.insert(text);
    emit notice(text);
}

void Session::setChoice(PortChoice choice)
{
    if (choice == m_choice)
        return;
    m_choice = choice;
    emit portChoiceChanged(m_choice);
}

} // namespace zuno
