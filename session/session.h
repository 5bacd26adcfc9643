#pragma once

#include "core/exchange.h"
#include "core/link.h"
#include "core/portchoice.h"
#include "links/portnaming.h"
#include "session/exchangehistory.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace zuno {

class SessionLog;
class Settings;

// One session with the projector, whatever front end shows it (the panel, or a command run from
// a script): the line (its link), the exchange on it, the session log, and the settings it reads
// and writes. Front ends ask it and draw what it signals.
//
// - Start-up: start() opens the port chosen on the command line or stored, and answers
//   started(), or portNeeded() with the reason when a port must be chosen first.
// - Port change: beginPortChange() closes the port and keeps the port in use for a Cancel;
//   choosePort() takes the operator's choice; applyPortChoice() opens and stores it, and
//   revertPortChoice() reopens the port kept; each answers portChanged() or
//   portChangeFailed() with the reason.
// - The line: line() names the port the session is on once one has opened, and lineChanged()
//   tells when another one opens (front ends tell their windows apart by it).
// - Closing: end() stores the address and closes the port, once, however the program ends (it
//   also runs when the application's event loop ends).
// - Reconnecting, when the front end wants it: a line that went away (adapter pulled, server
//   gone) is opened again by itself, on the same port at the same speed. A serial device is
//   tried as soon as its path is back; a server's port after a pause that grows from
//   kFirstReconnectPauseMs to kLongestReconnectPauseMs. Nothing is sent meanwhile. A port change,
//   closing or a new start-up stops it. The session log records the first failure and each
//   change of its reason, not every attempt, and the reopening.
class Session : public QObject
{
    Q_OBJECT
  public:
    static constexpr int kFirstReconnectPauseMs = 500;
    static constexpr int kLongestReconnectPauseMs = 5000;
    // How often the path of a serial device that went away is looked at.
    static constexpr int kDeviceCheckMs = 250;

    // The session on `settings`, over `link` (by default the port link, which picks a serial port
    // or a serial device server by the COM number's entry).
    explicit Session(Settings& settings, std::unique_ptr<Link> link = {},
                     QObject* parent = nullptr);
    // Whether the session may write the settings file. A command run from a script reads the
    // stored choice but never writes, not even an equal value, nor creates the file.
    enum class Storing
    {
        Allowed,
        Never
    };
    Session(Settings& settings, Storing storing, std::unique_ptr<Link> link = {},
            QObject* parent = nullptr);
    ~Session() override;

    Exchange& exchange() { return m_exchange; }
    // The newest exchanges of this session, for looking back.
    ExchangeHistory& history() { return m_history; }
    Link& link() { return *m_link; }
    Settings& settings() { return m_settings; }
    const PortNaming& naming() const { return m_naming; }

    // Records the session in `path` from now on (see SessionLog); a log that cannot be written is
    // told through notice().
    void startLog(const QString& path);

    // Opens the port `run` names, else the stored one, at `run`'s speed, else the stored one; the
    // address likewise. What `run` chooses is not stored; its address is stored on closing only
    // once chooseAddress() picks one. A run device (a path or server address) opens as the COM
    // number that reaches it, or one mapped to it for this run.
    void start(const StartUpChoice& run = {});

    // The port and speed in use, or being chosen; and what a Cancel goes back to.
    PortChoice portChoice() const { return m_choice; }
    PortChoice savedPortChoice() const { return m_saved; }
    // "COM5 /dev/ttyUSB0": the port in use and the device it names; "COM0" for none.
    QString portDescription() const;
    // "COM5 (/dev/ttyUSB0)", or with a serial device server's tcp:// address: the port that
    // opened last and the device it named then; empty before any port opened.
    QString line() const { return m_line; }
    // An open is under way (a serial device server answers a moment later).
    bool isOpening() const { return !m_attempt.isNull(); }

    void beginPortChange();
    void choosePort(PortChoice choice);
    void applyPortChoice();
    void revertPortChoice();
    // The port change ends without a choice (the port dialog's close box): an open still under
    // way is given up.
    void abandonPortChange();

    // The operator picked an address: it is used from the next command on and stored on closing.
    void chooseAddress(const QByteArray& prefix);
    // Stores the address now (the desktop session is about to end and may still be cancelled).
    void storeAddress();
    // The closing steps: the address stored, the port closed, the exchange halted. Once.
    void end();
    bool hasEnded() const { return m_ended; }

    // Whether a line that went away is reopened by itself: the panel wants it; a command run from
    // a script, which must not find its line coming back in the middle, does not (the default).
    void setReconnectEnabled(bool enabled);
    // The line went away and the session is trying to reopen it.
    bool isReconnecting() const { return m_reconnecting; }
    const QTimer& reconnectTimer() const { return m_reconnectTimer; }
    // The reconnect timer's tick; public so that a test can fire one without waiting for it.
    void reconnectTimerFired();

  signals:
    // The start-up's port is open.
    void started();
    // The start-up found no valid port, or it did not open: a port must be chosen.
    void portNeeded(const QString& reason);
    void portChoiceChanged(zuno::PortChoice choice);
    // An open began or ended.
    void openingChanged(bool opening);
    // A port change opened its port (and stored it, for applyPortChoice()).
    void portChanged();
    // A port change did not get its port open (or stored): the reason, in words a technician can
    // act on.
    void portChangeFailed(const QString& reason);
    // A Cancel without an earlier port found the port open (a store that failed after it had
    // opened): the port is closed and the port change is over; portChangeFailed() follows.
    void portChangeDropped();
    // Something the operator should know, once: a settings file that cannot be used, an address
    // that cannot be stored, a session log that cannot be written.
    void notice(const QString& text);
    // Another port opened: line() names it.
    void lineChanged(const QString& line);
    // The closing steps ran.
    void ended();
    // A line that went away is open again by itself.
    void reconnected();

  private:
    void open(PortChoice choice, std::function<void()> onOpened,
              std::function<void(const QString&)> onFailed);
    void giveUpOpening();
    void setChoice(PortChoice choice);
    void lineOpened();
    void lineLost();
    void stopReconnecting();
    void tellFromLink(const QString& text);

    Settings& m_settings;
    PortNaming m_naming;
    std::unique_ptr<Link> m_link;
    Exchange m_exchange;
    ExchangeHistory m_history;
    std::unique_ptr<SessionLog> m_log;
    PortChoice m_choice;
    PortChoice m_saved;
    QString m_line;
    QPointer<QObject> m_attempt;       // the open under way, answered in its context
    bool m_storeAddressOnClose = true; // false while the address is the command line's
    QString m_toldProblem;             // why the store is unusable, as the start-up told it
    Storing m_storing = Storing::Allowed;
    bool m_ended = false;
    bool m_reconnectEnabled = false;
    bool m_reconnecting = false;
    bool m_reconnectTried = false; // an attempt was made since the line went away
    int m_reconnectPauseMs = kFirstReconnectPauseMs;
    QTimer m_reconnectTimer;
    QSet<QString> m_linkNoticesTold; // since the port was last chosen
};

} // namespace zuno
