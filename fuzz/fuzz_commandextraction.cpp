// The console's command extraction: whatever the text box or an item holds, the bytes sent
// are the text before the first "[" (one byte per character) and exactly one CR at the end.
#include "core/commandextraction.h"
#include "fuzz/fuzzcheck.h"

#include <QList>

using zuno::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const QString& text : zuno::fuzz::textsFrom(data, size)) {
        const QByteArray sent = zuno::consoleCommandFrom(text);
        require(sent.endsWith('\r'), "the command ends in CR");
        const QByteArray command = sent.chopped(1);
        require(!command.contains('['), "the command holds no [");
        const qsizetype cut = text.indexOf(u'[');
        const QString before = cut < 0 ? text : text.left(cut);
        // Each character (a surrogate pair counts once) is one byte on the wire.
        require(command.size() == before.toUcs4().size(), "one byte per character before [");
        for (qsizetype i = 0, j = 0; i < before.size(); ++j) {
            const char32_t code = QChar::isHighSurrogate(before[i].unicode()) &&
                                          i + 1 < before.size() &&
                                          QChar::isLowSurrogate(before[i + 1].unicode())
                                      ? QChar::surrogateToUcs4(before[i], before[i + 1])
                                      : before[i].unicode();
            i += code > 0xFFFF ? 2 : 1;
            require(code <= 0xFF ? uchar(command[j]) == code : command[j] == '?',
                    "Latin-1 characters pass unchanged, others become ?");
        }
        require(zuno::textBoxTextFor(text) == before + QStringLiteral("[CR]"),
                "the text box shows the command and [CR]");
        require(command.contains('\r') == before.contains(u'\r'), "no CR is added inside");
    }
    return 0;
}
