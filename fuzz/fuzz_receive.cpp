// The receive path as the panel drives it: arbitrary bytes arrive in arbitrary pieces under an
// arbitrary last panel command; each piece is collected (appendReceived), the collection is
// rendered (renderEcho) and decoded (decodeReply) into the status line. Every step is checked
// against the rules the echo lines and the status line must keep.
//
// Input: one selector byte for the last command, then records. A record is a control byte c:
//   0xFF   a transmit: the collection starts anew
//   0xFE   the display-clear tick: the status line empties
//   else   a piece of (c & 0x3F) bytes that follow, delivered by the top two bits as
//          00 one event, 01 one event per byte, 10 the piece 100 times in one event,
//          11 one event and then an event that brings nothing.
// Selector: 0..7 pick CR0, CR1, CR3, CR4, CR6 (the decoded reads), CRA (echoed only), CR0 without
// its CR and cr0 (case differs); 0x80 | n takes the next n bytes as the command itself.
#include "fuzz/fuzzcheck.h"
#include "link/echo.h"
#include "link/replydecoder.h"
#include "link/rxbuffer.h"

#include <QByteArray>
#include <algorithm>
#include <span>
#include <string>

using zuno::fuzz::require;
using Kind = zuno::StatusLineUpdate::Kind;

namespace {

constexpr char kAck = 0x06;
constexpr char kLf = 0x0A;
constexpr char kCr = 0x0D;

bool isOrdinary(char byte)
{
    return byte != kAck && byte != kCr && byte != kLf;
}

// The one character an ordinary byte shows as.
char shownAs(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    if (code == 0x20)
        return '_';
    return code >= 0x21 && code <= 0x7A ? char(code) : '?';
}

std::string referenceRendering(const QByteArray& bytes)
{
    std::string text = " ";
    for (const char byte : bytes) {
        if (byte == kAck)
            text += " [ACK] ";
        else if (byte == kCr)
            text += " [CR] ";
        else if (byte == kLf)
            text += " [LF]  ";
        else
            text += {shownAs(byte), ' '};
    }
    return text;
}

// The first n shown characters of bytes, a blank between each and none after the last.
std::string joined(const QByteArray& bytes, qsizetype from, qsizetype n)
{
    std::string text;
    for (qsizetype i = from; i < from + n; ++i) {
        if (i > from)
            text += ' ';
        text += shownAs(bytes[i]);
    }
    return text;
}

struct Expected
{
    bool checked = true; // false: only the kind and the general shape are known
    Kind kind = Kind::Unchanged;
    std::string text;
};

// A two-character reply start and the status text it stands for.
struct ReplyPair
{
    char first;
    char second;
    const char* caption;
};

const char* pairCaption(std::span<const ReplyPair> table, char first, char second)
{
    for (const ReplyPair& pair : table) {
        if (pair.first == first && pair.second == second)
            return pair.caption;
    }
    return nullptr;
}

// What the status line must do, read from the received bytes themselves rather than from the
// rendering the decoder works on.
Expected referenceDecode(const QByteArray& command, const QByteArray& rx)
{
    static const ReplyPair kPower[] = {
        {'0', '0', " Power ON"},
        {'8', '0', " Stand by"},
        {'4', '0', " Count down"},
        {'2', '0', " Cooling down"},
        {'1', '0', " Power abnormality"},
        {'0', '8', " Temperature abnormality"},
        {'1', '8', " Temperature abnormality"},
        {'2', '8', " Temperature abnormality"},
        {'4', '8', " Temperature abnormality"},
        {'8', '8', " Temperature abnormality"},
        {'2', '1', " Lamp Failure"},
        {'8', '1', " Lamp Failure"},
    };
    static const ReplyPair kReversal[] = {
        {'1', '1', " Normally"},
        {'1', '0', " Top/Bottom reversal"},
        {'0', '1', " Left/Right reversal"},
        {'0', '0', " Top/Bottom , Left/Right reversal"},
    };
    static const char* const kInput[] = {" Input 1", " Input 2", " Input 3", " Wired",
                                         " Wireless/Viewer"};
    const qsizetype n = rx.size();
    Expected result;
    if (command == "CR0\r" || command == "CR4\r") {
        const bool power = command == "CR0\r";
        const char* caption =
            n < 2
                ? nullptr
                : pairCaption(power ? std::span<const ReplyPair>(kPower) : kReversal, rx[0], rx[1]);
        if (caption)
            result = {true, Kind::Replace, caption};
    } else if (command == "CR1\r") {
        if (n >= 1 && rx[0] >= '1' && rx[0] <= '5')
            result = {true, Kind::Replace, kInput[rx[0] - '1']};
    } else if (command == "CR3\r" && n == 6) {
        result.kind = Kind::Append;
        const bool digits =
            std::all_of(rx.begin(), rx.begin() + 5, [](char c) { return c >= '0' && c <= '9'; });
        result.checked = digits && rx[5] == kCr;
        if (result.checked) {
            // Leading zeros become blanks so the figures keep their columns.
            result.text = " ";
            bool significant = false;
            for (qsizetype i = 0; i < 5; ++i) {
                significant = significant || rx[i] != '0';
                result.text += {significant ? rx[i] : ' ', ' '};
            }
            result.text += "  Hour Use";
        }
    } else if (command == "CR6\r" && n == 18) {
        result.kind = Kind::Replace;
        result.checked = std::all_of(rx.begin(), rx.begin() + 17, isOrdinary);
        if (result.checked) {
            result.text = ' ' + joined(rx, 0, 5) + " deg C " + joined(rx, 6, 5) + " deg C " +
                          joined(rx, 12, 5) + " deg C ";
        }
    }
    return result;
}

bool noControlCharacter(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7A; });
}

class Panel
{
  public:
    explicit Panel(QByteArray command) : m_command(std::move(command)) {}

    void transmit()
    {
        m_rx.clear();
        m_sinceTransmit.clear();
        m_lastEcho.clear();
    }
    void clearDisplay() { m_status.clear(); }

    // One communication event that hands over `piece`, handled as the panel's receive handler
    // does: append, skip the redraw when a full collection took nothing, render, decode.
    void receive(const QByteArray& piece)
    {
        const qsizetype before = m_rx.size();
        zuno::appendReceived(m_rx, piece);
        m_sinceTransmit += piece;

        require(m_rx.size() <= zuno::kRxBufferLimit, "the collection keeps within its bound");
        require(m_rx ==
                    m_sinceTransmit.first(std::min(m_sinceTransmit.size(), zuno::kRxBufferLimit)),
                "the collection is the first bytes received since the transmit");
        if (m_rx.size() == before && before > 0)
            return;

        const zuno::EchoRendering echo = zuno::renderEcho(m_rx);
        checkRendering(echo);
        m_lastEcho = echo.text;

        const zuno::StatusLineUpdate update = zuno::decodeReply(m_command, echo.text, m_rx.size());
        checkDecode(update, echo.text);
        if (update.kind == Kind::Replace)
            m_status = update.text;
        else if (update.kind == Kind::Append)
            m_status += update.text;
        require(noControlCharacter(m_status), "the status line holds no control character");
    }

  private:
    void checkRendering(const zuno::EchoRendering& echo) const
    {
        const QString& text = echo.text;
        require(text.startsWith(u' '), "a rendering starts with a blank");
        require(noControlCharacter(text), "a rendering holds no control or non-ASCII character");
        require(text.endsWith(u' '), "every token ends in a blank");
        qsizetype expectedLength = 1;
        for (const char byte : m_rx)
            expectedLength += byte == kAck ? 7 : byte == kCr ? 6 : byte == kLf ? 7 : 2;
        require(text.size() == expectedLength,
                "an ordinary byte renders to two characters, ACK 7, CR 6, LF 7");
        require(text.startsWith(m_lastEcho), "a longer collection extends the earlier rendering");
        require(text.toStdString() == referenceRendering(m_rx), "rendering agrees with the rules");
        require(echo.showAck == m_rx.contains(kAck), "ACK legend exactly when an ACK came");
        require(echo.showCr == m_rx.contains(kCr), "CR legend exactly when a CR came");
        require(echo.showSpace == m_rx.contains(' '), "space legend exactly when a space came");
    }

    void checkDecode(const zuno::StatusLineUpdate& update, const QString& echo) const
    {
        const Expected expected = referenceDecode(m_command, m_rx);
        require(update.kind == expected.kind, "decoder acts exactly when the reply calls for it");
        require(noControlCharacter(update.text), "status text holds no control character");
        if (expected.checked) {
            require(update.text.toStdString() == expected.text, "decoded text agrees");
            return;
        }
        if (update.kind == Kind::Append) {
            // Any six bytes: the echo less its last five characters, leading blanks and zeros
            // blanked, then the unit.
            require(update.text.endsWith(u" Hour Use"), "lamp hours end with the unit");
            const qsizetype figures = echo.size() - 5;
            require(update.text.size() == figures + 9, "lamp hours keep the echo's columns");
            for (qsizetype i = 0; i < figures; ++i) {
                require(update.text[i] == echo[i] || update.text[i] == u' ',
                        "lamp hours only blank out characters");
            }
        } else {
            require(update.text.endsWith(u" deg C ") && update.text.count(u" deg C ") >= 3,
                    "temperatures carry three units");
            require(update.text.startsWith(echo.left(10)), "first reading is the echo's start");
        }
    }

    QByteArray m_command;
    QByteArray m_rx;            // RxBuffer
    QByteArray m_sinceTransmit; // every byte received since the transmit, without bound
    QString m_lastEcho;
    QString m_status; // Label25
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const kCommands[] = {"CR0\r", "CR1\r", "CR3\r", "CR4\r",
                                            "CR6\r", "CRA\r", "CR0",   "cr0\r"};
    if (size == 0)
        return 0;
    const auto* bytes = reinterpret_cast<const char*>(data);
    std::size_t at = 1;
    QByteArray command;
    if (data[0] & 0x80) {
        const std::size_t n = std::min<std::size_t>(data[0] & 0x7F, size - at);
        command = QByteArray(bytes + at, qsizetype(n));
        at += n;
    } else {
        command = kCommands[data[0] % std::size(kCommands)];
    }

    Panel panel(command);
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control == 0xFF) {
            panel.transmit();
            continue;
        }
        if (control == 0xFE) {
            panel.clearDisplay();
            continue;
        }
        const std::size_t n = std::min<std::size_t>(control & 0x3F, size - at);
        const QByteArray piece(bytes + at, qsizetype(n));
        at += n;
        switch (control >> 6) {
        case 0:
            panel.receive(piece);
            break;
        case 1:
            for (const char byte : piece)
                panel.receive(QByteArray(1, byte));
            break;
        case 2:
            panel.receive(piece.repeated(100));
            break;
        default:
            panel.receive(piece);
            panel.receive({});
            break;
        }
    }
    return 0;
}
