#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

namespace zuno::sim {

// Everything that shapes the simulated projectors and their line.
struct SimOptions
{
    int projectorCount = 1;       // 1 to 4, projector k answers to address A00k
    int warmupMs = 3000;          // count down ("40") before power on
    int cooldownMs = 3000;        // cooling down ("20") before standby
    int replyDelayMs = 20;        // from a command's CR to the start of its reply
    int baud = 9600;              // paces the output: ten bit times per character
    bool silent = false;          // commands are executed but never answered
    bool split = false;           // every reply character is a write of its own
    int splitGapMs = 10;          // spacing of those single-character writes
    int noiseBytesPerSecond = 0;  // random bytes put on the line, 0 = none
    int hangupAfterCommands = 0;  // the line hangs up after this many commands, 0 = never
    int lampHoursStart = 1200;    // lamp hours every projector starts with
    qint64 lampHourMs = 3600000;  // power-on time that makes one lamp hour
    QByteArray reversal = "11";   // the two characters of the mounting reply
    QMap<int, QByteArray> faults; // projector (0 = all) -> latched two-character status
};

// A line of one to four projectors: takes the bytes a client sends, executes
// and answers the commands, and hands out the reply bytes paced at line speed.
// It owns no device; whoever drives it feeds input and writes its output.
class ProjectorSim : public QObject
{
    Q_OBJECT
  public:
    explicit ProjectorSim(const SimOptions& options, QObject* parent = nullptr);
    ~ProjectorSim() override;

    // Takes bytes received from the line, in chunks of any size.
    void feed(const QByteArray& bytes);

    // Forgets partial input, pending output and the command count (the line went away);
    // the projectors keep their state.
    void resetLine();

    // The two status characters of projector k (1-based) as the status read reports them.
    QByteArray status(int projector) const;

    // The lamp hours of projector k (1-based), capped at 99999.
    int lampHours(int projector) const;

    // Nothing waits to go out on the line.
    bool isLineQuiet() const { return m_line.isEmpty(); }

    // Bytes in readable form for the log: printable ASCII as is, control codes named
    // ("[CR]", "[LF]", "[ACK]"), every other byte as "[0xNN]".
    static QString spell(const QByteArray& bytes);

    // Time one character takes on the line at the given speed (start, 8 data, stop bit).
    static qint64 characterNs(int baud) { return 10LL * 1000000000LL / baud; }

    // Replies waiting for the line at most; a command that comes while this many wait is
    // dropped unexecuted, as by a projector whose input overflowed. The panel sends a command
    // and waits for its reply (a hold repeats one every 100 ms, a reply takes a few ms), so a
    // line it drives has one or two waiting; only a client that writes commands without waiting
    // for their replies gets to 64.
    static constexpr int kMaxPendingReplies = 64;
    // Dropped commands, and input thrown away for want of a CR, are reported at most this often,
    // as counts, so that a flood of them cannot flood the log too.
    static constexpr int kDropReportMs = 1000;
    // Noise is put on the line in portions this far apart.
    static constexpr int kNoiseTickMs = 100;
    // Noise time not used (the process was stopped, the machine suspended) is made up for up
    // to this much; beyond, it is lost, so that noise does not burst after a stall.
    static constexpr int kNoiseCatchUpMs = 200;

  signals:
    // One write to the line.
    void output(const QByteArray& bytes);
    // A complete command line as received (address included, CR excluded).
    void commandReceived(const QByteArray& line);
    // The last byte of a reply went out; projector is the one that answered.
    void replySent(const QByteArray& reply, int projector);
    // Random bytes were queued for the line.
    void noiseQueued(const QByteArray& bytes);
    // Something worth a line in the log that is neither a command nor a reply.
    void note(const QString& text);
    // A projector's status characters changed.
    void statusChanged(int projector, const QByteArray& status);
    // The configured number of commands was answered: the line should hang up now.
    void hangupDue();
    // This many commands were dropped since the last report (at most one per kDropReportMs).
    void commandsDropped(qint64 count);

  protected:
    // The line clock in nanoseconds since the simulator was made; monotonic, and it runs on
    // while the process is stopped. Everything timed (replies, power transitions, lamp hours,
    // noise, drop reports) goes by this clock, so a test that replaces it drives them all.
    virtual qint64 nowNs() const { return m_clock.nsecsElapsed(); }
    // Does whatever has fallen due on the line clock. The simulator's own timer calls it when
    // the next thing falls due; a test that moved its clock calls it itself.
    void runDue();

  private:
    struct Projector;
    struct LineByte
    {
        qint64 dueNs; // not written before this time on the line clock
        char byte;
        bool alone;       // written with a write of its own
        bool lastOfReply; // completes the reply at the front of m_replies
    };
    struct Reply
    {
        QByteArray bytes;
        int projector;
    };

    void handleLine(const QByteArray& line);
    QByteArray execute(Projector& projector, const QByteArray& command);
    QByteArray readReply(const Projector& projector, char code) const;
    void powerOn(Projector& projector);
    void powerOff(Projector& projector);
    void setPowerStatus(Projector& projector, const QByteArray& status);
    void endTransition(Projector& projector);
    void queueReply(const QByteArray& reply, int projector);
    void queueBytes(const QByteArray& bytes, qint64 startNs, qint64 spacingNs, bool alone,
                    bool isReply);
    void writeDueBytes();
    void armWakeTimer();
    void queueNoise();
    void checkHangup();
    void reportDrops();

    SimOptions m_options;
    std::vector<std::unique_ptr<Projector>> m_projectors;
    QElapsedTimer m_clock;
    QByteArray m_input;
    QList<LineByte> m_line;
    QList<Reply> m_replies;
    qint64 m_lineFreeNs = 0;
    QTimer m_wakeTimer;       // fires when the next thing falls due on the line clock
    qint64 m_noiseDueNs = -1; // the next noise portion, -1 = no noise
    qint64 m_noiseLastNs = 0;
    double m_noiseCredit = 0;
    qint64 m_dropReportDueNs = -1; // the end of the current report interval, -1 = none runs
    qint64 m_unreportedDrops = 0;
    qint64 m_unreportedThrownBytes = 0;
    int m_commandCount = 0;
    bool m_hangupPending = false;
    bool m_hangupSignalled = false;
};

} // namespace zuno::sim
