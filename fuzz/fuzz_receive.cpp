// The receive path as the panel drives it: arbitrary bytes arrive in arbitrary pieces under an
// arbitrary last panel command; each piece is collected (appendReceived), the collection is
// rendered (renderEcho) and decoded (decodeReply), and each step is checked against rules read
// from the received bytes themselves.
//
// Input: one selector byte for the last command, then records. A record is a control byte c:
//   0xFF   a transmit: the collection starts anew
//   0xFE   nothing (kept so that older inputs keep their meaning)
//   else   a piece of (c & 0x3F) bytes that follow, delivered by the top two bits as
//          00 one event, 01 one event per byte, 10 the piece 100 times in one event,
//          11 one event and then an event that brings nothing.
// Selector: 0..7 pick CR0, CR1, CR3, CR4, CR6 (the decoded reads), CRA (echoed only), CR0 without
// its CR and cr0 (case differs); 0x80 | n takes the next n bytes as the command itself.
#include "fuzz/fuzzcheck.h"
#include "link/echo.h"
#include "link/replydecoder.h"
#include "link/rxbuffer.h"

#include <QByteArrayList>
#include <algorithm>

using zuno::fuzz::require;
using Kind = zuno::StatusLineUpdate::Kind;

namespace {

// Neither a control nor a non-ASCII character, nor one above "z".
bool plain(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7A; });
}

// When the decoder must act, read from the bytes rather than from the rendering it works on.
Kind expectedKind(const QByteArray& command, const QByteArray& rx)
{
    static const QByteArrayList power =
        QByteArray("00 80 40 20 10 08 18 28 48 88 21 81").split(' ');
    static const QByteArrayList reversal = QByteArray("11 10 01 00").split(' ');
    const bool input = !rx.isEmpty() && rx[0] >= '1' && rx[0] <= '5';
    if ((command == "CR0\r" && power.contains(rx.left(2))) || (command == "CR1\r" && input) ||
        (command == "CR4\r" && reversal.contains(rx.left(2))) ||
        (command == "CR6\r" && rx.size() == 18))
        return Kind::Replace;
    return command == "CR3\r" && rx.size() == 6 ? Kind::Append : Kind::Unchanged;
}

// What the panel holds since its last transmit.
struct Collection
{
    QByteArray rx;            // RxBuffer
    QByteArray sinceTransmit; // every byte received, without bound
    QString lastEcho;
};

// One communication event as the panel's receive handler takes it: append, skip the redraw when
// nothing was added, render, decode.
void receive(const QByteArray& command, Collection& collection, const QByteArray& piece)
{
    auto& [rx, sinceTransmit, lastEcho] = collection;
    const qsizetype before = rx.size();
    zuno::appendReceived(rx, piece);
    sinceTransmit += piece;
    require(rx == sinceTransmit.first(std::min(sinceTransmit.size(), zuno::kRxBufferLimit)),
            "the collection is the first bytes since the transmit, up to its bound");
    if (rx.size() == before && before > 0)
        return;

    const zuno::EchoRendering echo = zuno::renderEcho(rx);
    const QString& text = echo.text;
    require(text.size() ==
                1 + 2 * rx.size() + 5 * rx.count(0x06) + 4 * rx.count('\r') + 5 * rx.count('\n'),
            "a blank, then two characters for an ordinary byte, ACK 7, CR 6, LF 7");
    require(text.startsWith(u' ') && text.endsWith(u' ') && plain(text),
            "a rendering is blank-framed and holds no control or non-ASCII character");
    require(text.startsWith(lastEcho), "a longer collection extends the earlier rendering");
    require(echo.showAck == rx.contains(0x06) && echo.showCr == rx.contains('\r') &&
                echo.showSpace == rx.contains(' '),
            "a legend shows exactly when its byte came");
    lastEcho = text;

    const zuno::StatusLineUpdate update = zuno::decodeReply(command, text, rx.size());
    require(update.kind == expectedKind(command, rx), "the decoder acts exactly when it should");
    require(plain(update.text), "status text holds no control character");
    if (update.kind == Kind::Append) {
        // The echo less its CR token's last five characters, leading zeros blanked, the unit.
        require(update.text.size() == text.size() + 4 && update.text.endsWith(u" Hour Use"),
                "lamp hours keep the echo's columns");
        for (qsizetype i = 0; i < text.size() - 5; ++i)
            require(update.text[i] == text[i] || update.text[i] == u' ',
                    "lamp hours only blank out characters");
        const QByteArray digits = rx.first(5);
        if (rx[5] == '\r' && std::all_of(digits.begin(), digits.end(),
                                         [](char c) { return c >= '0' && c <= '9'; })) {
            const int hours = digits.toInt();
            require(QString(update.text).remove(u' ') ==
                        (hours ? QString::number(hours) : QString()) + QLatin1String("HourUse"),
                    "lamp hours show the figures less their leading zeros");
        }
    } else if (command == "CR6\r" && update.kind == Kind::Replace &&
               std::none_of(rx.begin(), rx.begin() + 17,
                            [](char c) { return c == 0x06 || c == '\r' || c == '\n'; })) {
        // Readings at reply characters 1-5, 7-11 and 13-17, each as the echo shows it.
        const auto reading = [&rx = collection.rx](qsizetype from) {
            return zuno::renderEcho(rx.sliced(from, 5)).text.chopped(1) + QLatin1String(" deg C");
        };
        require(update.text == reading(0) + reading(6) + reading(12) + u' ',
                "temperatures show the three readings");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const kCommands[] = {"CR0\r", "CR1\r", "CR3\r", "CR4\r",
                                            "CR6\r", "CRA\r", "CR0",   "cr0\r"};
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
    Collection collection;
    const auto event = [&](const QByteArray& piece) { receive(command, collection, piece); };
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control >= 0xFE) {
            if (control == 0xFF)
                collection = {};
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
