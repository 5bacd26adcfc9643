#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace zuno {

// Telnet bytes of a serial device server.
namespace telnet {
inline constexpr std::uint8_t kIac = 0xFF;  // "interpret as command": a command follows
inline constexpr std::uint8_t kDont = 0xFE; // the four option verbs
inline constexpr std::uint8_t kDo = 0xFD;
inline constexpr std::uint8_t kWont = 0xFC;
inline constexpr std::uint8_t kWill = 0xFB;
inline constexpr std::uint8_t kSb = 0xFA; // a subnegotiation begins ...
inline constexpr std::uint8_t kSe = 0xF0; // ... and ends
inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPort = 44; // the COM-port option of RFC 2217
} // namespace telnet

// True when the first bytes a server sent are Telnet negotiation (IAC followed by WILL, WONT, DO,
// DONT or SB): its port speaks Telnet or RFC 2217, not raw TCP. Needs the first two bytes.
bool isTelnetNegotiation(QByteArrayView firstBytes);

// The client side of a serial line reached over Telnet with the COM-port option (RFC 2217), as
// much as a line to a projector needs: it asks to use the COM-port option and binary
// transmission, sets the line (speed, 8 data bits, no parity, one stop bit) once the server
// agrees, and refuses every other option. Data going out has its 0xFF bytes doubled; from what
// comes in it removes the doubling and every command and subnegotiation, also when one is split
// across reads. It owns no socket: the link writes what it returns.
class TelnetCodec
{
  public:
    // The server's answer to the COM-port option.
    enum class ComPort
    {
        Asked,
        Agreed,
        Refused
    };

    // What the client says first: it will use the COM-port option and send binary, and asks the
    // server to send binary.
    QByteArray start();
    // The line settings as COM-port commands: SET-BAUDRATE, SET-DATASIZE 8, SET-PARITY none,
    // SET-STOPSIZE 1. Send them once comPort() is Agreed.
    static QByteArray lineSettings(int bitsPerSecond);

    // The line's data as the server is to receive it.
    QByteArray encode(QByteArrayView data) const;
    // The line's data in what the server sent; the answers owed to its negotiation are appended
    // to `answers`.
    QByteArray decode(QByteArrayView bytes, QByteArray& answers);

    ComPort comPort() const { return m_comPort; }
    // The server confirmed all four line settings.
    bool lineSettingsConfirmed() const { return m_confirmed == kAllConfirmed; }
    // The speed the server reported for the line (its answer to SET-BAUDRATE); 0 before.
    std::uint32_t confirmedBitsPerSecond() const { return m_confirmedBitsPerSecond; }
    // Some Telnet command has come from the server.
    bool heardTelnet() const { return m_heardTelnet; }

  private:
    // Per option and side, as in RFC 1143: asked for, or agreed.
    enum class OptionState : std::uint8_t
    {
        No,
        WantYes,
        Yes
    };
    enum class Stage : std::uint8_t
    {
        Data,
        Command,       // after IAC
        Option,        // after IAC and an option verb
        Sub,           // inside a subnegotiation
        SubCommand,    // after IAC inside a subnegotiation
        AfterCarriage, // after a CR outside binary mode, where NUL may follow
    };
    static constexpr int kMaxSubBytes = 32; // longer subnegotiations are skipped, not kept
    static constexpr std::uint8_t kAllConfirmed = 0x0F;

    void negotiate(std::uint8_t verb, std::uint8_t option, QByteArray& answers);
    void subnegotiation();

    std::array<OptionState, 256> m_ours{};   // options on our side (WILL/WONT)
    std::array<OptionState, 256> m_theirs{}; // options on the server's side (DO/DONT)
    Stage m_stage = Stage::Data;
    std::uint8_t m_verb = 0;
    QByteArray m_sub;
    bool m_subOverflow = false;
    ComPort m_comPort = ComPort::Asked;
    std::uint8_t m_confirmed = 0;
    std::uint32_t m_confirmedBitsPerSecond = 0;
    bool m_heardTelnet = false;
};

} // namespace zuno
