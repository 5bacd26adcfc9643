#include "core/echorendering.h"

namespace zuno {

namespace {

constexpr unsigned char kAck = 0x06;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kSpace = 0x20;
// Printable characters from "!" to "z" are shown as themselves; everything above is not.
constexpr unsigned char kFirstShown = 0x21;
constexpr unsigned char kLastShown = 0x7A;

constexpr char kAckToken[] = " [ACK] ";
constexpr char kCrToken[] = " [CR] ";
constexpr char kLfToken[] = " [LF]  ";
constexpr char kSpaceToken[] = "_ ";

template <std::size_t N> constexpr qsizetype tokenSize(const char (&)[N])
{
    return qsizetype(N - 1);
}

constexpr qsizetype tokenLength(unsigned char code)
{
    switch (code) {
    case kAck:
        return tokenSize(kAckToken);
    case kCr:
        return tokenSize(kCrToken);
    case kLf:
        return tokenSize(kLfToken);
    default:
        return 2; // every other byte is one character and a blank
    }
}

template <std::size_t N> QChar* put(QChar* out, const char (&token)[N])
{
    for (std::size_t i = 0; i + 1 < N; ++i)
        *out++ = QLatin1Char(token[i]);
    return out;
}

} // namespace

EchoRendering renderEcho(QByteArrayView bytes)
{
    // The receive path re-renders the whole collection on every event, so the text is sized
    // exactly once up front and filled in place.
    qsizetype length = 1;
    for (const char byte : bytes)
        length += tokenLength(static_cast<unsigned char>(byte));

    EchoRendering result;
    result.text.resize(length);
    QChar* out = result.text.data();
    *out++ = u' ';
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        switch (code) {
        case kAck:
            out = put(out, kAckToken);
            result.showAck = true;
            break;
        case kCr:
            out = put(out, kCrToken);
            result.showCr = true;
            break;
        case kLf:
            out = put(out, kLfToken);
            break;
        case kSpace:
            out = put(out, kSpaceToken);
            result.showSpace = true;
            break;
        default:
            *out++ =
                code >= kFirstShown && code <= kLastShown ? QChar(char16_t(code)) : QChar(u'?');
            *out++ = u' ';
            break;
        }
    }
    Q_ASSERT(out == result.text.constData() + length);
    return result;
}

} // namespace zuno
