// The receive path of the real exchange engine: arbitrary bytes arrive in arbitrary pieces after
// an arbitrary panel command; after every piece the RxD line, the legends and the status line
// are checked against rules read from the received bytes themselves.
//
// Input: one selector byte for the panel command, then records. A record is a control byte c:
//   0xFF   the panel command goes out again: the collection starts anew
//   0xFE   the reply window closes (the reply timer's tick)
//   else   a piece of (c & 0x3F) bytes that follow, delivered by the top two bits as
//          00 one event, 01 one event per byte, 10 the piece 100 times in one event,
//          11 one event and then an event that brings nothing.
// Selector: 0..7 pick CR0, CR1, CR3, CR4, CR6 (the decoded reads), CRA (echoed only), C00 and cr0
// (case differs); 0x80 | n takes the next n bytes as the command itself.
#include "core/echorendering.h"
#include "core/exchange.h"
#include "core/link.h"
#include "core/replycollection.h"
#include "fuzz/fuzzcheck.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <algorithm>

using zuno::fuzz::require;

namespace {

// Takes every write; the bytes a test lets arrive are emitted as received.
class SilentLink : public zuno::Link
{
  public:
    void open(int, int) override { emit opened(); }
    void close() override {}
    bool isOpen() const override { return true; }
    bool write(QByteArrayView) override { return true; }
    int lineSpeed() const override { return 9600; }
};

// Neither a control nor a non-ASCII character, nor one above "z".
bool plain(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7A; });
}

enum class Effect
{
    Unchanged,
    Replace,
    Append
};

// What the decoder must do to the status line, read from the bytes rather than from the
// rendering it works on.
Effect expectedEffect(const QByteArray& command, const QByteArray& rx)
{
    static const QByteArrayList power =
        QByteArray("00 80 40 20 10 08 18 28 48 88 21 81").split(' ');
    static const QByteArrayList reversal = QByteArray("11 10 01 00").split(' ');
    const bool input = !rx.isEmpty() && rx[0] >= '1' && rx[0] <= '5';
    if ((command == "CR0" && power.contains(rx.left(2))) || (command == "CR1" && input) ||
        (command == "CR4" && reversal.contains(rx.left(2))) ||
        (command == "CR6" && rx.size() == 18))
        return Effect::Replace;
    return command == "CR3" && rx.size() == 6 ? Effect::Append : Effect::Unchanged;
}

// Every byte received since the panel command went out, without bound.
struct Received
{
    QByteArray sinceTransmit;
    QString lastRxd;
};

void checkPiece(zuno::Exchange& exchange, const QByteArray& command, Received& received,
                const QString& statusBefore, qsizetype collectedBefore)
{
    const QByteArray rx = exchange.collected();
    require(rx == received.sinceTransmit.first(
                      std::min(received.sinceTransmit.size(), zuno::kReplyCollectionLimit)),
            "the collection is the first bytes since the transmit, up to its bound");
    const QString text = exchange.rxd();
    if (rx.isEmpty())
        return;
    // An event that adds nothing to a collection changes nothing on the lines.
    if (rx.size() == collectedBefore) {
        require(text == received.lastRxd && exchange.status() == statusBefore,
                "an event that brings nothing new redraws and decodes nothing");
        return;
    }
    require(text.size() ==
                1 + 2 * rx.size() + 5 * rx.count(0x06) + 4 * rx.count('\r') + 5 * rx.count('\n'),
            "a blank, then two characters for an ordinary byte, ACK 7, CR 6, LF 7");
    require(text.startsWith(u' ') && text.endsWith(u' ') && plain(text),
            "a rendering is blank-framed and holds no control or non-ASCII character");
    require(text.startsWith(received.lastRxd), "a longer collection extends the earlier rendering");
    received.lastRxd = text;

    const QString status = exchange.status();
    require(plain(status), "status text holds no control character");
    switch (expectedEffect(command, rx)) {
    case Effect::Unchanged:
        require(status == statusBefore, "the status line changes only when a decoder acts");
        break;
    case Effect::Replace:
        if (command == "CR6" && std::none_of(rx.begin(), rx.begin() + 17, [](char c) {
                return c == 0x06 || c == '\r' || c == '\n';
            })) {
            // Readings at reply characters 1-5, 7-11 and 13-17, each as the echo shows it.
            const auto reading = [&rx](qsizetype from) {
                return zuno::renderEcho(rx.sliced(from, 5)).text.chopped(1) +
                       QLatin1String(" deg C");
            };
            require(status == reading(0) + reading(6) + reading(12) + u' ',
                    "temperatures show the three readings");
        }
        break;
    case Effect::Append: {
        require(status.startsWith(statusBefore), "lamp hours are appended to the status line");
        const QString hours = status.mid(statusBefore.size());
        // The echo less its CR token's last five characters, leading zeros blanked, the unit.
        require(hours.size() == text.size() + 4 && hours.endsWith(u" Hour Use"),
                "lamp hours keep the echo's columns");
        for (qsizetype i = 0; i < text.size() - 5; ++i)
            require(hours[i] == text[i] || hours[i] == u' ',
                    "lamp hours only blank out characters");
        const QByteArray digits = rx.first(5);
        if (rx[5] == '\r' && std::all_of(digits.begin(), digits.end(),
                                         [](char c) { return c >= '0' && c <= '9'; })) {
            const int value = digits.toInt();
            require(QString(hours).remove(u' ') ==
                        (value ? QString::number(value) : QString()) + QLatin1String("HourUse"),
                    "lamp hours show the figures less their leading zeros");
        }
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const char* const kCommands[] = {"CR0", "CR1", "CR3", "CR4", "CR6", "CRA", "C00", "cr0"};
    if (size == 0)
        return 0;
    const auto* bytes = reinterpret_cast<const char*>(data);
    std::size_t at = 1;
    QByteArray command = kCommands[data[0] % std::size(kCommands)];
    if (data[0] & 0x80) {
        command =
            QByteArray(bytes + at, qsizetype(std::min<std::size_t>(data[0] & 0x7F, size - at)));
        at += command.size();
    }
    SilentLink link;
    zuno::Exchange exchange(link);
    exchange.transmit(command);
    Received received;
    int readings = 0; // since the reply began
    QObject::connect(&exchange, &zuno::Exchange::replyDecoded, [&readings] {
        require(++readings == 1, "a reply gives one reading, however it arrives");
    });
    const auto event = [&](const QByteArray& piece) {
        const QString statusBefore = exchange.status();
        const qsizetype collectedBefore = exchange.collected().size();
        received.sinceTransmit += piece;
        emit link.received(piece);
        checkPiece(exchange, command, received, statusBefore, collectedBefore);
    };
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control >= 0xFE) {
            if (control == 0xFF)
                exchange.transmit(command);
            else
                exchange.replyTimerFired();
            require(exchange.collected().isEmpty(), "a new exchange starts with nothing collected");
            received = {};
            readings = 0;
            continue;
        }
        const QByteArray piece(bytes + at,
                               qsizetype(std::min<std::size_t>(control & 0x3F, size - at)));
        at += piece.size();
        const int mode = control >> 6;
        if (mode == 1) {
            for (const char byte : piece)
                event(QByteArray(1, byte));
        } else {
            event(mode == 2 ? piece.repeated(100) : piece);
        }
        if (mode == 3)
            event({});
    }
    return 0;
}
