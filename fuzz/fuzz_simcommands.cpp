// The simulator's command parser on any bytes in any pieces, with time jumping between them (a
// stalled process): every CR ends one command, received or dropped; a command never holds a CR
// nor more than the line bound and its piece; only received commands are answered, each answer
// is one of the projectors' reply shapes, and what goes out on the line is those answers.
//
// Input: the number of projectors, then pieces, each followed by how far the clock jumps on.
#include "fuzz/fuzzcheck.h"
#include "sim/projectorsim.h"

#include <QCoreApplication>
#include <fuzzer/FuzzedDataProvider.h>

using zuno::fuzz::require;
using zuno::sim::ProjectorSim;

namespace {

constexpr qsizetype kLineBound = 1024; // what the simulator keeps of a line without CR

// The line clock runs with real time (the write timer waits in real milliseconds) and jumps on
// when the input says so, as over a stalled process.
class ClockedSim : public ProjectorSim
{
  public:
    using ProjectorSim::ProjectorSim;
    qint64 jumpedNs = 0;

  protected:
    qint64 nowNs() const override { return ProjectorSim::nowNs() + jumpedNs; }
};

bool isReplyShape(const QByteArray& reply)
{
    if (reply == "\x06")
        return true;
    if (reply.size() < 2 || reply.size() > 18 || !reply.endsWith('\r'))
        return false;
    return std::all_of(reply.begin(), reply.end() - 1, [](char c) { return c >= ' ' && c < 127; });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv); // the simulator's timers need one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    zuno::sim::SimOptions options;
    options.projectorCount = input.ConsumeIntegralInRange(1, 4);
    options.replyDelayMs = 0;
    options.baud = 10000000; // a microsecond a character: what is queued is due at once
    options.warmupMs = options.cooldownMs = 0;
    ClockedSim sim(options);
    qint64 crs = 0, commands = 0, dropped = 0, replies = 0;
    qsizetype piece = 0;
    QByteArray answered, output;
    QObject::connect(&sim, &ProjectorSim::commandReceived, [&](const QByteArray& line) {
        require(!line.contains('\r') && line.size() <= kLineBound + piece, "one line, bounded");
        ++commands;
    });
    QObject::connect(&sim, &ProjectorSim::commandsDropped, [&](qint64 count) { dropped += count; });
    QObject::connect(&sim, &ProjectorSim::replySent, [&](const QByteArray& reply, int projector) {
        require(isReplyShape(reply), "a reply of the projectors' shapes");
        require(projector >= 1 && projector <= options.projectorCount, "from a projector there");
        answered += reply;
        ++replies;
    });
    QObject::connect(&sim, &ProjectorSim::output,
                     [&](const QByteArray& bytes) { output += bytes; });

    while (input.remaining_bytes() > 0) {
        const QByteArray bytes = QByteArray::fromStdString(input.ConsumeRandomLengthString(8192));
        piece = bytes.size();
        crs += bytes.count('\r');
        sim.feed(bytes);
        sim.jumpedNs += input.ConsumeIntegralInRange<qint64>(0, 2000000000);
        QCoreApplication::processEvents();
        require(commands + dropped <= crs && replies <= commands, "only commands are answered");
    }
    // Whatever is queued falls due within milliseconds; the write timer is waited for.
    for (int step = 0; step < 1000 && !sim.isLineQuiet(); ++step)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    require(sim.isLineQuiet(), "the line falls quiet");
    require(output == answered, "the line carries the replies, nothing else");
    return 0;
}
