#include "core/commandextraction.h"

#include <QList>

namespace zuno {

namespace {
constexpr char kCarriageReturn = '\r';
constexpr char kUnmappable = '?';
constexpr char16_t kMarkerStart = u'[';
constexpr char32_t kLastLatin1 = 0xFF;
} // namespace

QStringView commandTextOf(QStringView source)
{
    const qsizetype bracket = source.indexOf(kMarkerStart);
    return bracket < 0 ? source : source.first(bracket);
}

QByteArray consoleCommandFrom(QStringView source)
{
    const QStringView command = commandTextOf(source);
    QByteArray bytes;
    bytes.reserve(command.size() + 1);
    // One byte per code point: a typed character beyond Latin-1 becomes a single "?" even
    // when it takes two UTF-16 units.
    for (const char32_t codePoint : command.toUcs4())
        bytes.append(codePoint <= kLastLatin1 ? char(codePoint) : kUnmappable);
    bytes.append(kCarriageReturn);
    return bytes;
}

QString textBoxTextFor(QStringView item)
{
    return commandTextOf(item).toString() + QLatin1String("[CR]");
}

ExtractedCommand extractFromItem(QStringView item)
{
    return {consoleCommandFrom(item), textBoxTextFor(item)};
}

} // namespace zuno
