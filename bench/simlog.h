#pragma once

#include <QByteArray>
#include <QSet>

#include <cstdint>
#include <vector>

namespace zuno::bench {

// What a simulator's log says its line saw.
struct SimLog
{
    // Every command line received, in order, without its address and CR, control bytes spelled.
    std::vector<QByteArray> commands;
    int hangups = 0; // lines closed by --hangup-after
    int reopens = 0; // lines opened again after a hang-up
    int replies = 0; // replies that went out in full
};

// Reads a simulator's standard output (its first line is the device, then the log).
SimLog parseSimLog(const QByteArray& log);

// The sends of each hold made against one simulator, counted from what that simulator
// received. holdCommands lists the command of every hold made there, in order; the sends of
// one hold are the next run of that command among the received hold commands (any command in
// repeatCommands). Consecutive holds on one simulator must use different commands; a hold whose
// command is not next counts zero sends.
std::vector<int> sendsPerHold(const std::vector<QByteArray>& received,
                              const std::vector<QByteArray>& holdCommands,
                              const QSet<QByteArray>& repeatCommands);

// The sends a hold of this length makes at one every repeatMs: the first at the press, then one
// per full interval before the release.
int expectedHoldSends(std::int64_t heldNs, int repeatMs);

} // namespace zuno::bench
