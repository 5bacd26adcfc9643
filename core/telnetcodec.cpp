#include "core/telnetcodec.h"

namespace zuno {

using namespace telnet;

namespace {
// COM-port commands of the client, and the server's answers (the same plus 100).
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kServerAnswer = 100;
constexpr std::uint8_t kParityNone = 1;
constexpr std::uint8_t kOneStopBit = 1;
constexpr char kCarriageReturn = '\r';

// Options the client uses on its side (it never sends a go-ahead anyway), and those it lets the
// server use.
bool weUse(std::uint8_t option)
{
    return option == kComPort || option == kBinary || option == kSuppressGoAhead;
}
bool theyMayUse(std::uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

void command(QByteArray& out, std::uint8_t verb, std::uint8_t option)
{
    out.append(char(kIac)).append(char(verb)).append(char(option));
}

// A COM-port command with its value, IAC in the value doubled.
void comPortCommand(QByteArray& out, std::uint8_t code, QByteArrayView value)
{
    out.append(char(kIac)).append(char(kSb)).append(char(kComPort)).append(char(code));
    for (const char c : value) {
        out.append(c);
        if (std::uint8_t(c) == kIac)
            out.append(c);
    }
    out.append(char(kIac)).append(char(kSe));
}
} // namespace

bool isTelnetNegotiation(QByteArrayView firstBytes)
{
    if (firstBytes.size() < 2 || std::uint8_t(firstBytes[0]) != kIac)
        return false;
    const std::uint8_t verb = std::uint8_t(firstBytes[1]);
    return verb == kSb || (verb >= kWill && verb <= kDont);
}

QByteArray TelnetCodec::start()
{
    QByteArray out;
    m_ours[kComPort] = OptionState::WantYes;
    m_ours[kBinary] = OptionState::WantYes;
    m_theirs[kBinary] = OptionState::WantYes;
    command(out, kWill, kComPort);
    command(out, kWill, kBinary);
    command(out, kDo, kBinary);
    return out;
}

QByteArray TelnetCodec::lineSettings(int bitsPerSecond)
{
    const auto speed = std::uint32_t(bitsPerSecond);
    const char bigEndian[] = {char(speed >> 24), char(speed >> 16), char(speed >> 8), char(speed)};
    const char eight = 8, none = char(kParityNone), one = char(kOneStopBit);
    QByteArray out;
    comPortCommand(out, kSetBaudRate, QByteArrayView(bigEndian, 4));
    comPortCommand(out, kSetDataSize, QByteArrayView(&eight, 1));
    comPortCommand(out, kSetParity, QByteArrayView(&none, 1));
    comPortCommand(out, kSetStopSize, QByteArrayView(&one, 1));
    return out;
}

QByteArray TelnetCodec::encode(QByteArrayView data) const
{
    // Outside binary mode a CR alone is sent as CR NUL (RFC 854).
    const bool binary = m_ours[kBinary] == OptionState::Yes;
    QByteArray out;
    out.reserve(data.size() + 8);
    for (const char c : data) {
        out.append(c);
        if (std::uint8_t(c) == kIac)
            out.append(c);
        else if (c == kCarriageReturn && !binary)
            out.append('\0');
    }
    return out;
}

QByteArray TelnetCodec::decode(QByteArrayView bytes, QByteArray& answers)
{
    QByteArray data;
    for (const char c : bytes) {
        const auto b = std::uint8_t(c);
        switch (m_stage) {
        case Stage::AfterCarriage:
            m_stage = Stage::Data;
            if (b == 0)
                break; // the NUL that a CR carries outside binary mode
            [[fallthrough]];
        case Stage::Data:
            if (b == kIac) {
                m_stage = Stage::Command;
            } else {
                data.append(c);
                if (c == kCarriageReturn && m_theirs[kBinary] != OptionState::Yes)
                    m_stage = Stage::AfterCarriage;
            }
            break;
        case Stage::Command:
            if (b == kIac) {
                data.append(c); // a doubled 0xFF is one data byte
                m_stage = Stage::Data;
                break;
            }
            m_heardTelnet = true;
            if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_stage = Stage::Option;
            } else if (b == kSb) {
                m_sub.clear();
                m_subOverflow = false;
                m_stage = Stage::Sub;
            } else {
                m_stage = Stage::Data; // a command of its own (NOP, GA, a stray SE ...)
            }
            break;
        case Stage::Option:
            negotiate(m_verb, b, answers);
            m_stage = Stage::Data;
            break;
        case Stage::Sub:
            if (b == kIac)
                m_stage = Stage::SubCommand;
            else if (m_sub.size() < kMaxSubBytes)
                m_sub.append(c);
            else
                m_subOverflow = true;
            break;
        case Stage::SubCommand:
            if (b == kIac) {
                if (m_sub.size() < kMaxSubBytes)
                    m_sub.append(c);
                m_stage = Stage::Sub;
            } else if (b == kSe) {
                if (!m_subOverflow)
                    subnegotiation();
                m_stage = Stage::Data;
            } else {
                // IAC and anything but IAC or SE ends a subnegotiation left open (RFC 855 leaves
                // it undefined); the byte is read as a command.
                m_stage = Stage::Command;
                data += decode(QByteArrayView(&c, 1), answers);
            }
            break;
        }
    }
    return data;
}

// RFC 1143, without queueing: an answer goes out only when an option's state changes, so two
// sides can never answer each other for ever.
void TelnetCodec::negotiate(std::uint8_t verb, std::uint8_t option, QByteArray& answers)
{
    const bool aboutUs = verb == kDo || verb == kDont;
    const bool enable = verb == kDo || verb == kWill;
    OptionState& state = aboutUs ? m_ours[option] : m_theirs[option];
    const bool supported = aboutUs ? weUse(option) : theyMayUse(option);
    const std::uint8_t yes = aboutUs ? kWill : kDo;
    const std::uint8_t no = aboutUs ? kWont : kDont;
    if (enable) {
        if (state == OptionState::No) {
            command(answers, supported ? yes : no, option);
            if (supported)
                state = OptionState::Yes;
        } else {
            state = OptionState::Yes; // agreed to what we asked, or said again
        }
    } else {
        if (state == OptionState::Yes)
            command(answers, no, option);
        state = OptionState::No;
    }
    if (aboutUs && option == kComPort)
        m_comPort = m_ours[kComPort] == OptionState::Yes ? ComPort::Agreed : ComPort::Refused;
}

void TelnetCodec::subnegotiation()
{
    if (m_sub.size() < 3 || std::uint8_t(m_sub[0]) != kComPort)
        return;
    const std::uint8_t code = std::uint8_t(m_sub[1]) - kServerAnswer;
    const QByteArrayView value = QByteArrayView(m_sub).sliced(2);
    if (code == kSetBaudRate && value.size() == 4) {
        m_confirmedBitsPerSecond = 0;
        for (const char c : value)
            m_confirmedBitsPerSecond = m_confirmedBitsPerSecond << 8 | std::uint8_t(c);
    } else if (!(code >= kSetDataSize && code <= kSetStopSize && value.size() == 1)) {
        return;
    }
    m_confirmed |= std::uint8_t(1u << (code - 1));
}

} // namespace zuno
