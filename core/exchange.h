#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

namespace zuno {

class Link;

// What the RxD line shows when a reply window closes with nothing received.
inline constexpr char kNoReplyMark[] = " X X X X ";
// What the RxD line shows when a command could not go out or the line went away. After the line
// went away it stays until the line is open again.
inline constexpr char kPortClosedMark[] = " PORT CLOSED ";
// What the RxD line shows, until the next clearing, when a line that went away is open again.
inline constexpr char kPortOpenMark[] = " PORT OPEN ";

// One exchange with the projector: every command goes out here, behind the address prefix, and
// every reply comes back here. It keeps the traffic readable (the TxD and RxD lines, the
// legends), decodes the replies to the read commands (the status line), marks a missing reply,
// repeats a held button's command, and clears the lines again a moment after each exchange.
// Windows call what a user does and draw what the signals say.
class Exchange : public QObject
{
    Q_OBJECT
  public:
    // Intervals of the three timers, in ms, in each mode of the panel.
    static constexpr int kRestingRepeatMs = 200;
    static constexpr int kFirstReplyMs = 10000; // until the port opens at start-up
    static constexpr int kFirstDisplayClearMs = 10500;
    static constexpr int kReplyMs = 1000; // after start-up, and after the console closes
    static constexpr int kDisplayClearMs = 1200;
    static constexpr int kHoldRepeatMs = 100; // while a button is held
    static constexpr int kHoldReplyMs = 150;
    static constexpr int kHoldDisplayClearMs = 200;
    static constexpr int kAfterHoldReplyMs = 500; // once a hold has ended
    static constexpr int kAfterHoldDisplayClearMs = 1000;
    static constexpr int kConsoleReplyMs = 7000; // while the command console is open
    static constexpr int kConsoleDisplayClearMs = 7500;

    explicit Exchange(Link& link, QObject* parent = nullptr);

    // A panel button's command (without CR): it becomes the last command, against which
    // replies are decoded, and goes out followed by CR.
    void transmit(QByteArrayView command);
    // The console's SEND: the text (ending in CR) goes out as it is; the last command stays.
    // Both timers count their full interval from this transmission.
    void sendFromConsole(QByteArrayView text);
    // A hold button pressed: its command goes out at once and then at every tick of the repeat
    // timer. Ignored while a hold runs, and for a repeat key no hold button carries.
    void startHold(int repeatKey);
    // A hold button released, whether a hold runs or not: the repeat stops and the echo lines
    // empty at once.
    void endHold();
    // The address prefix put in front of every command from the next one on: empty, "AFFF",
    // "A001" ... "A004".
    void setAddress(const QByteArray& prefix);
    // The command console opened or closed: a longer reply window and display while it is open.
    void consoleOpened();
    void consoleClosed();
    // The port opened at start-up: the working intervals and a fresh exchange.
    void startUpCompleted();
    // A reply window of `replyMs` from the next transmission on, the display clearing as long
    // after it as the working intervals have it (a script's --reply-ms for a slow projector).
    void setReplyWindow(int replyMs);
    // The repeat timer back to its resting interval ("On" of the MENU group does this).
    void restoreRepeatInterval();
    // The panel is closing: the timers stop, so nothing more is sent, marked or cleared.
    void halt();

    QByteArray address() const { return m_address; }
    // The last panel command with its CR, as the decoder keys on it; empty before the first.
    QByteArray lastCommand() const { return m_lastCommand; }
    // What has been received since the last transmit (or reply timeout, or end of hold).
    QByteArray collected() const { return m_collection; }
    bool isAwaitingReply() const { return m_awaitingReply; }
    bool isHolding() const { return m_holding; }
    QString txd() const { return m_txd; }
    QString rxd() const { return m_rxd; }
    QString status() const { return m_status; }

    const QTimer& repeatTimer() const { return m_repeatTimer; }
    const QTimer& replyTimer() const { return m_replyTimer; }
    const QTimer& displayClearTimer() const { return m_displayClearTimer; }

    // The timers' ticks; public so that a test can fire one without waiting for it.
    void repeatTimerFired();
    void replyTimerFired();
    void displayClearTimerFired();

  signals:
    void txdChanged(const QString& text);
    void rxdChanged(const QString& text);
    void statusChanged(const QString& text);
    // Which of the three legends are to be seen.
    void legendsChanged(bool ack, bool cr, bool space);
    // The exact bytes of a transmission, address included; written is false when the link
    // refused them (port closed), so nothing went out.
    void sent(const QByteArray& bytes, bool written);
    // Bytes from the link, before any reply they complete is decoded onto the status line.
    void received(const QByteArray& bytes);
    // A reply decoded into status-line words: the words it gave, also when the status line
    // already showed them or shows them after earlier ones.
    void replyDecoded(const QString& text);
    // The reply collected so far is whole: it ends in an ACK or a CR. A caller that waits for
    // one reply need not wait for the reply window to close.
    void replyCompleted(const QByteArray& reply);
    // The reply window closed: what was collected in it (empty when nothing came), before the
    // collection is emptied.
    void replyWindowClosed(const QByteArray& collected);
    // A reply window closed with nothing received: the RxD line shows the no-reply mark.
    void noReply();

  private:
    void send(QByteArrayView text);
    void receive(const QByteArray& bytes);
    void portLost();
    void portOpened();
    // Empties the RxD line; while the line is away its mark stays.
    void clearRxd();
    void setTxd(const QString& text);
    void setRxd(const QString& text);
    void setStatus(const QString& text);
    void setLegends(bool ack, bool cr, bool space);
    void setReplyIntervals(int replyMs, int displayClearMs);

    Link& m_link;
    QTimer m_repeatTimer;
    QTimer m_replyTimer;
    QTimer m_displayClearTimer;

    QByteArray m_address;
    QByteArray m_lastCommand;
    QByteArray m_collection;
    bool m_awaitingReply = false;
    bool m_holding = false;
    int m_heldRepeatKey = 0; // 0: no hold for the repeat timer to send
    // The RxD line says the port is closed: a closing reply window leaves it standing.
    bool m_portClosedShown = false;
    // The line went away and is not open again yet.
    bool m_lineAway = false;

    QString m_txd;
    QString m_rxd;
    QString m_status;
    bool m_ackLegend = false;
    bool m_crLegend = false;
    bool m_spaceLegend = false;
};

} // namespace zuno
