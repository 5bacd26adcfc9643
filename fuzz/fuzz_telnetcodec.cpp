// The Telnet decoding of an RFC 2217 line: what a server sends, cut into reads where the input
// says, gives the same data and answers as in one read; every answer is a whole three-byte
// option command; and the line's data encoded by the client reads back unchanged.
//
// Input: the first byte chooses where the reads are cut (one read per (byte & 0x0F) + 1 bytes);
// the rest is what the server sends, and also the data the client sends.
#include "core/telnetcodec.h"
#include "fuzz/fuzzcheck.h"

#include <algorithm>

using zuno::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype piece = (data[0] & 0x0F) + 1;
    const QByteArrayView stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    zuno::TelnetCodec whole;
    zuno::TelnetCodec cut;
    whole.start();
    cut.start();
    QByteArray wholeAnswers, cutAnswers;
    const QByteArray wholeData = whole.decode(stream, wholeAnswers);
    QByteArray cutData;
    for (qsizetype from = 0; from < stream.size(); from += piece)
        cutData +=
            cut.decode(stream.sliced(from, std::min(piece, stream.size() - from)), cutAnswers);
    require(cutData == wholeData && cutAnswers == wholeAnswers, "reads cut anywhere decode alike");
    require(wholeData.size() <= stream.size(), "decoding never adds bytes");
    require(wholeAnswers.size() % 3 == 0, "answers are whole option commands");
    for (qsizetype i = 0; i < wholeAnswers.size(); i += 3) {
        const auto verb = std::uint8_t(wholeAnswers[i + 1]);
        require(std::uint8_t(wholeAnswers[i]) == zuno::telnet::kIac &&
                    verb >= zuno::telnet::kWill && verb <= zuno::telnet::kDont,
                "an answer is IAC and an option verb");
    }

    // A server in binary mode both ways reads the client's data as it was.
    zuno::TelnetCodec client;
    zuno::TelnetCodec reader;
    QByteArray ignored;
    client.start();
    reader.start();
    const char agreed[] = {char(0xFF), char(0xFD), 0, char(0xFF), char(0xFB), 0};
    client.decode(QByteArrayView(agreed, 6), ignored);
    reader.decode(QByteArrayView(agreed, 6), ignored);
    require(reader.decode(client.encode(stream), ignored) == stream, "encoded data reads back");
    return 0;
}
