#include "sim/projectorsim.h"

#include <QMetaObject>
#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace zuno::sim {

namespace {

constexpr char kCr = '\r';
constexpr char kAck = 0x06;
constexpr qint64 kNsPerMs = 1000000;
constexpr int kMaxLineBytes = 1024;                // input without CR beyond this is thrown away
constexpr qint64 kNoiseBacklogNs = 250 * kNsPerMs; // noise waits for no longer than this
// A write this late means the process did not run for a while: the line goes on from there.
constexpr qint64 kStallNs = 50 * kNsPerMs;
constexpr int kMaxLampHours = 99999;
constexpr qint64 kMaxWaitMs = 24LL * 3600 * 1000; // a longer wait is a wake-up to look again

const QByteArray kStandby = "80";
const QByteArray kCountDown = "40";
const QByteArray kPowerOn = "00";
const QByteArray kCoolingDown = "20";
const QByteArray kAllAddress = "AFFF";
const QByteArray kUnknownReply = "?\r";
const QByteArray kLampModeReply = "00\r";
const QByteArray kPcTypeReply = "001\r";

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "A" and three digits address one projector (or none, when no projector has that
// number); "AFFF" addresses all of them.
bool isAddress(const QByteArray& text)
{
    if (text.size() != 4 || text[0] != 'A')
        return false;
    return text == kAllAddress || (isDigit(text[1]) && isDigit(text[2]) && isDigit(text[3]));
}

// Commands of the catalogue's shapes that the projectors acknowledge without acting on
// them: "C" and two hexadecimal digits, or "CF "/"CR " followed by a parameter text.
bool isCatalogueCommand(const QByteArray& command)
{
    if (command.size() == 3 && command[0] == 'C')
        return isHexDigit(command[1]) && isHexDigit(command[2]);
    if (command.size() > 3 && (command.startsWith("CF ") || command.startsWith("CR ")))
        return command.mid(3).trimmed().size() > 0;
    return false;
}

bool isTemperatureFault(const QByteArray& status)
{
    return status.size() == 2 && status[1] == '8';
}

QByteArray temperatures(const QByteArray& status, bool faulted, int projector)
{
    double base[3] = {25.0, 25.5, 26.0};
    if (faulted && isTemperatureFault(status))
        base[0] = 58.0, base[1] = 64.5, base[2] = 71.0;
    else if (status == kPowerOn || status == kCountDown)
        base[0] = 35.0, base[1] = 38.5, base[2] = 41.0;
    else if (status == kCoolingDown)
        base[0] = 30.0, base[1] = 32.5, base[2] = 34.0;
    // Each projector on the line reads half a degree warmer than the one before.
    const double offset = 0.5 * (projector - 1);
    return QString::asprintf("%05.1f %05.1f %05.1f", base[0] + offset, base[1] + offset,
                             base[2] + offset)
        .toLatin1();
}

} // namespace

struct ProjectorSim::Projector
{
    int number = 1;
    QByteArray status = kStandby;
    bool faulted = false; // a fault status stays whatever is sent
    char input = '1';
    qint64 transitionDueNs = -1; // the end of the count down or the cooling down, -1 = none
    qint64 lampOnNs = 0;         // power-on time before the current power-on period
    qint64 onSinceNs = -1;       // the start of the current power-on period, -1 = off
};

ProjectorSim::ProjectorSim(const SimOptions& options, QObject* parent)
    : QObject(parent), m_options(options)
{
    m_clock.start();
    const int count = std::clamp(options.projectorCount, 1, 4);
    for (int k = 1; k <= count; ++k) {
        auto projector = std::make_unique<Projector>();
        projector->number = k;
        const QByteArray fault = options.faults.value(k, options.faults.value(0));
        if (!fault.isEmpty()) {
            projector->status = fault;
            projector->faulted = true;
        }
        m_projectors.push_back(std::move(projector));
    }

    m_wakeTimer.setSingleShot(true);
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_wakeTimer, &QTimer::timeout, this, &ProjectorSim::runDue);
    // The line clock starts at zero here.
    if (m_options.noiseBytesPerSecond > 0) {
        m_noiseDueNs = kNoiseTickMs * kNsPerMs;
        armWakeTimer();
    }
}

ProjectorSim::~ProjectorSim() = default;

void ProjectorSim::feed(const QByteArray& bytes)
{
    m_input.append(bytes);
    // The lines are taken off the front once at the end: a chunk of thousands of short
    // commands costs no more than its own length.
    qsizetype start = 0;
    qsizetype end;
    while ((end = m_input.indexOf(kCr, start)) >= 0) {
        const QByteArray line = m_input.sliced(start, end - start);
        start = end + 1;
        if (m_replies.size() >= kMaxPendingReplies)
            ++m_unreportedDrops;
        else
            handleLine(line);
    }
    m_input.remove(0, start);
    if (m_input.size() > kMaxLineBytes) {
        m_unreportedThrownBytes += m_input.size();
        m_input.clear();
    }
    // The drops of a chunk are told together: at once, or when the report interval is over.
    if ((m_unreportedDrops > 0 || m_unreportedThrownBytes > 0) && m_dropReportDueNs < 0)
        reportDrops();
}

void ProjectorSim::resetLine()
{
    m_input.clear();
    m_line.clear();
    m_replies.clear();
    m_lineFreeNs = 0;
    m_commandCount = 0;
    m_hangupPending = false;
    m_hangupSignalled = false;
    m_noiseLastNs = nowNs();
    m_noiseCredit = 0;
    if (m_options.noiseBytesPerSecond > 0)
        m_noiseDueNs = m_noiseLastNs + kNoiseTickMs * kNsPerMs;
    armWakeTimer();
}

QByteArray ProjectorSim::status(int projector) const
{
    return m_projectors.at(projector - 1)->status;
}

int ProjectorSim::lampHours(int projector) const
{
    const Projector& p = *m_projectors.at(projector - 1);
    qint64 onNs = p.lampOnNs;
    if (p.onSinceNs >= 0)
        onNs += nowNs() - p.onSinceNs;
    const qint64 hours =
        m_options.lampHoursStart + onNs / kNsPerMs / std::max<qint64>(1, m_options.lampHourMs);
    return static_cast<int>(std::min<qint64>(hours, kMaxLampHours));
}

QString ProjectorSim::spell(const QByteArray& bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (c == kCr)
            text += QLatin1String("[CR]");
        else if (c == '\n')
            text += QLatin1String("[LF]");
        else if (c == kAck)
            text += QLatin1String("[ACK]");
        else if (code >= 0x20 && code < 0x7F)
            text += QLatin1Char(c);
        else
            text += QString::asprintf("[0x%02X]", code);
    }
    return text;
}

void ProjectorSim::handleLine(const QByteArray& line)
{
    emit commandReceived(line);
    if (m_hangupPending) {
        emit note(QStringLiteral("ignored: the line is about to hang up"));
        return;
    }
    ++m_commandCount;

    QByteArray address;
    QByteArray command = line;
    if (line.size() >= 4 && isAddress(line.left(4))) {
        address = line.left(4);
        command = line.mid(4);
    }

    // Who executes and who answers: an unprefixed command is executed by every
    // projector and answered by projector 1, "AFFF" is executed by all and answered by
    // none, "A00k" is executed and answered by projector k alone.
    bool addressed = false;
    for (auto& projector : m_projectors) {
        const int k = projector->number;
        const bool own = address == QByteArray("A00") + QByteArray::number(k);
        if (!address.isEmpty() && address != kAllAddress && !own)
            continue;
        addressed = true;
        const bool answers = own || (address.isEmpty() && k == 1);
        const QByteArray reply = execute(*projector, command);
        if (!answers || reply.isEmpty())
            continue;
        if (m_options.silent)
            emit note(QStringLiteral("reply %1 suppressed (silent)").arg(spell(reply)));
        else
            queueReply(reply, k);
    }
    if (!addressed)
        emit note(QStringLiteral("no projector at address %1").arg(QString::fromLatin1(address)));
    if (command.isEmpty())
        emit note(QStringLiteral("empty command ignored"));

    if (m_options.hangupAfterCommands > 0 && m_commandCount >= m_options.hangupAfterCommands) {
        m_hangupPending = true;
        m_noiseDueNs = -1;
        // Not from inside feed(): the receiver may close the line at once.
        QMetaObject::invokeMethod(this, &ProjectorSim::checkHangup, Qt::QueuedConnection);
    }
}

QByteArray ProjectorSim::execute(Projector& projector, const QByteArray& command)
{
    if (command.isEmpty())
        return {};
    if (command.size() == 3 && command.startsWith("CR"))
        return readReply(projector, command[2]);
    if (!isCatalogueCommand(command))
        return kUnknownReply;
    if (command == "C00")
        powerOn(projector);
    else if (command == "C01")
        powerOff(projector);
    else if (command >= "C05" && command <= "C08")
        projector.input = static_cast<char>('1' + (command[2] - '5'));
    return QByteArray(1, kAck);
}

QByteArray ProjectorSim::readReply(const Projector& projector, char code) const
{
    switch (code) {
    case '0':
        return projector.status + kCr;
    case '1':
        return QByteArray(1, projector.input) + kCr;
    case '3':
        return QByteArray::number(lampHours(projector.number)).rightJustified(5, '0') + kCr;
    case '4':
        return m_options.reversal + kCr;
    case '6':
        return temperatures(projector.status, projector.faulted, projector.number) + kCr;
    case '7':
        return kLampModeReply;
    case '9':
        return kPcTypeReply;
    case 'A':
        // The extended status: status, input and mounting in one reply.
        return projector.status + projector.input + m_options.reversal + kCr;
    default:
        return kUnknownReply;
    }
}

void ProjectorSim::powerOn(Projector& projector)
{
    if (projector.faulted) {
        emit note(QStringLiteral("projector %1: power on ignored, fault %2")
                      .arg(projector.number)
                      .arg(QString::fromLatin1(projector.status)));
        return;
    }
    if (projector.status != kStandby)
        return;
    setPowerStatus(projector, kCountDown);
    projector.transitionDueNs = nowNs() + m_options.warmupMs * kNsPerMs;
    armWakeTimer();
}

void ProjectorSim::powerOff(Projector& projector)
{
    if (projector.faulted) {
        emit note(QStringLiteral("projector %1: power off ignored, fault %2")
                      .arg(projector.number)
                      .arg(QString::fromLatin1(projector.status)));
        return;
    }
    if (projector.status != kPowerOn && projector.status != kCountDown)
        return;
    setPowerStatus(projector, kCoolingDown);
    projector.transitionDueNs = nowNs() + m_options.cooldownMs * kNsPerMs;
    armWakeTimer();
}

void ProjectorSim::endTransition(Projector& projector)
{
    projector.transitionDueNs = -1;
    if (projector.status == kCountDown)
        setPowerStatus(projector, kPowerOn);
    else if (projector.status == kCoolingDown)
        setPowerStatus(projector, kStandby);
}

void ProjectorSim::setPowerStatus(Projector& projector, const QByteArray& status)
{
    // The lamp counts while the projector is on.
    const qint64 now = nowNs();
    if (projector.onSinceNs >= 0) {
        projector.lampOnNs += now - projector.onSinceNs;
        projector.onSinceNs = -1;
    }
    if (status == kPowerOn)
        projector.onSinceNs = now;
    projector.status = status;
    emit note(QStringLiteral("projector %1: status %2")
                  .arg(projector.number)
                  .arg(QString::fromLatin1(status)));
    emit statusChanged(projector.number, status);
}

void ProjectorSim::reportDrops()
{
    if (m_unreportedDrops == 0 && m_unreportedThrownBytes == 0)
        return;
    if (m_unreportedDrops > 0)
        emit commandsDropped(std::exchange(m_unreportedDrops, 0));
    if (m_unreportedThrownBytes > 0)
        emit note(QStringLiteral("%1 bytes without CR thrown away")
                      .arg(std::exchange(m_unreportedThrownBytes, 0)));
    m_dropReportDueNs = nowNs() + kDropReportMs * kNsPerMs;
    armWakeTimer();
}

void ProjectorSim::queueReply(const QByteArray& reply, int projector)
{
    const qint64 now = nowNs();
    const qint64 start = std::max(now + m_options.replyDelayMs * kNsPerMs, m_lineFreeNs);
    const qint64 characterTime = characterNs(m_options.baud);
    const qint64 spacing =
        m_options.split ? std::max(m_options.splitGapMs * kNsPerMs, characterTime) : characterTime;
    m_replies.append({reply, projector});
    queueBytes(reply, start, spacing, m_options.split, true);
}

void ProjectorSim::queueBytes(const QByteArray& bytes, qint64 startNs, qint64 spacingNs, bool alone,
                              bool isReply)
{
    // A byte is on the far end once its stop bit is through: one character time after
    // it started. Everything queued starts after what is queued already, so the line
    // stays in time order. A byte holds the line for the whole spacing, so that the
    // next thing queued keeps that spacing too.
    const qint64 characterTime = characterNs(m_options.baud);
    qint64 due = startNs + characterTime;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool last = isReply && i == bytes.size() - 1;
        m_line.append({due, bytes[i], alone, last});
        m_lineFreeNs = due + spacingNs - characterTime;
        due += spacingNs;
    }
    armWakeTimer();
}

void ProjectorSim::runDue()
{
    const qint64 now = nowNs();
    for (const auto& projector : m_projectors) {
        if (projector->transitionDueNs >= 0 && projector->transitionDueNs <= now)
            endTransition(*projector);
    }
    if (m_dropReportDueNs >= 0 && m_dropReportDueNs <= now) {
        // The interval is over: what was dropped meanwhile is told, and starts the next one.
        m_dropReportDueNs = -1;
        reportDrops();
    }
    if (m_noiseDueNs >= 0 && m_noiseDueNs <= now) {
        m_noiseDueNs = now + kNoiseTickMs * kNsPerMs;
        queueNoise();
    }
    writeDueBytes();
    armWakeTimer();
}

void ProjectorSim::writeDueBytes()
{
    const qint64 now = nowNs();
    // After a stall what was due meanwhile is overdue at once; rather than in one burst, the
    // line goes on where it stopped, the overdue bytes keeping their spacing, and what was
    // queued since follows them at line speed.
    if (!m_line.isEmpty() && now - m_line.front().dueNs > kStallNs) {
        const qint64 late = now - m_line.front().dueNs;
        qint64 previousNs = now;
        for (LineByte& queued : m_line) {
            queued.dueNs = queued.dueNs <= now
                               ? queued.dueNs + late
                               : std::max(queued.dueNs, previousNs + characterNs(m_options.baud));
            previousNs = queued.dueNs;
        }
        m_lineFreeNs = std::max(m_lineFreeNs, previousNs);
    }
    QByteArray chunk;
    const auto flush = [&] {
        if (!chunk.isEmpty())
            emit output(std::exchange(chunk, QByteArray()));
    };
    while (!m_line.isEmpty() && m_line.front().dueNs <= now) {
        const LineByte next = m_line.takeFirst();
        if (next.alone) {
            flush();
            emit output(QByteArray(1, next.byte));
        } else {
            chunk.append(next.byte);
        }
        if (next.lastOfReply && !m_replies.isEmpty()) {
            flush();
            const Reply reply = m_replies.takeFirst();
            emit replySent(reply.bytes, reply.projector);
        }
    }
    flush();
    checkHangup();
}

void ProjectorSim::armWakeTimer()
{
    qint64 next = m_line.isEmpty() ? -1 : m_line.front().dueNs;
    const auto earlier = [&next](qint64 dueNs) {
        if (dueNs >= 0 && (next < 0 || dueNs < next))
            next = dueNs;
    };
    for (const auto& projector : m_projectors)
        earlier(projector->transitionDueNs);
    earlier(m_noiseDueNs);
    earlier(m_dropReportDueNs);
    if (next < 0) {
        m_wakeTimer.stop();
        return;
    }
    const qint64 waitMs = (next - nowNs() + kNsPerMs - 1) / kNsPerMs;
    m_wakeTimer.start(static_cast<int>(std::clamp<qint64>(waitMs, 0, kMaxWaitMs)));
}

void ProjectorSim::queueNoise()
{
    const qint64 now = nowNs();
    const qint64 elapsedNs = std::min(now - m_noiseLastNs, kNoiseCatchUpMs * kNsPerMs);
    m_noiseCredit += m_options.noiseBytesPerSecond * double(elapsedNs) / 1e9;
    m_noiseLastNs = now;
    const int count = static_cast<int>(m_noiseCredit);
    m_noiseCredit -= count;
    // Noise never builds a backlog: when the line is that busy, the bytes are lost.
    if (count == 0 || m_lineFreeNs - now > kNoiseBacklogNs)
        return;
    QByteArray bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    queueBytes(bytes, std::max(now, m_lineFreeNs), characterNs(m_options.baud), false, false);
    emit noiseQueued(bytes);
}

void ProjectorSim::checkHangup()
{
    // Once, after the last reply went out; resetLine() starts counting again.
    if (m_hangupPending && !m_hangupSignalled && m_line.isEmpty()) {
        m_hangupSignalled = true;
        emit hangupDue();
    }
}

} // namespace zuno::sim
