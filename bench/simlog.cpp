#include "bench/simlog.h"

#include <QList>
#include <QRegularExpression>

namespace zuno::bench {

SimLog parseSimLog(const QByteArray& log)
{
    // "HH:mm:ss.zzz  RX  A001C47[CR]", "HH:mm:ss.zzz  hang-up: line closed", ...
    static const QRegularExpression entry(QStringLiteral(
        "^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  (RX  |TX  |hang-up: |line reopened: )(.*)$"));
    static const QRegularExpression address(QStringLiteral("^A(?:00[1-4]|FFF)"));
    SimLog result;
    const QList<QByteArray> lines = log.split('\n');
    for (const QByteArray& line : lines) {
        const auto match = entry.match(QString::fromLatin1(line));
        if (!match.hasMatch())
            continue;
        const QString kind = match.captured(1);
        if (kind == QLatin1String("hang-up: ")) {
            ++result.hangups;
        } else if (kind == QLatin1String("line reopened: ")) {
            ++result.reopens;
        } else if (kind == QLatin1String("TX  ")) {
            ++result.replies;
        } else {
            // Every command is logged with its CR; a line without one was cut off mid-write.
            QString command = match.captured(2);
            if (!command.endsWith(QLatin1String("[CR]")))
                continue;
            command.chop(4);
            command.remove(address);
            result.commands.push_back(command.toLatin1());
        }
    }
    return result;
}

std::vector<int> sendsPerHold(const std::vector<QByteArray>& received,
                              const std::vector<QByteArray>& holdCommands,
                              const QSet<QByteArray>& repeatCommands)
{
    // Runs of one hold command; anything else (a read, an unknown line) is not part of a hold
    // and does not split a run, and neither does a hang-up in the middle of one.
    struct Run
    {
        QByteArray command;
        int count;
    };
    std::vector<Run> runs;
    for (const QByteArray& command : received) {
        if (!repeatCommands.contains(command))
            continue;
        if (!runs.empty() && runs.back().command == command)
            ++runs.back().count;
        else
            runs.push_back({command, 1});
    }
    std::vector<int> sends;
    std::size_t next = 0;
    for (const QByteArray& command : holdCommands) {
        if (next < runs.size() && runs[next].command == command)
            sends.push_back(runs[next++].count);
        else
            sends.push_back(0);
    }
    return sends;
}

int expectedHoldSends(std::int64_t heldNs, int repeatMs)
{
    if (heldNs < 0)
        return 0;
    return 1 + int(heldNs / (std::int64_t(repeatMs) * 1000000));
}

} // namespace zuno::bench
