#include "settings/initext.h"

#include <QStringEncoder>

#include <cstring>

namespace zuno::IniText {

namespace {

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One logical line as QSettings reads it: [start, end) without leading blanks, a comment or the
// line break; equals is the first "=" outside quotes, or -1. Quotes and a backslash before the
// line break carry a line over into the next.
struct Line
{
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype equals = -1;
    bool unclosed = false; // a quote still open at the end of the text
    // A backslash at the end of the text, before a line break or none, would carry the line
    // over into whatever is added after it.
    bool continued = false;
};

// Reads the next logical line from pos on; false at the end of the text.
bool nextLine(const QByteArray& text, qsizetype& pos, Line& line)
{
    const qsizetype size = text.size();
    qsizetype start = pos;
    while (start < size && isSpace(text[start]))
        ++start;
    qsizetype i = start;
    bool inQuotes = false;
    line.equals = -1;
    line.continued = false;
    while (i < size) {
        line.continued = false;
        const char c = text[i++];
        if (c == '=') {
            if (!inQuotes && line.equals < 0)
                line.equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == start + 1)
                ++start;
            else if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            line.continued = i == size;
            if (i < size) {
                const char escaped = text[i++];
                if (i < size &&
                    ((escaped == '\n' && text[i] == '\r') || (escaped == '\r' && text[i] == '\n')))
                    ++i;
                line.continued = escaped == '\n' || escaped == '\r';
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                // A comment line: skipped whole, with the blanks after it.
                while (i < size && text[i] != '\n' && text[i] != '\r')
                    ++i;
                while (i < size && isSpace(text[i]))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.unclosed = inQuotes && i == size;
    line.start = start;
    line.end = i;
    return i > start;
}

// A key or section name as QSettings decodes it: UTF-8, "\" for "/", %XX and %UXXXX.
QString unescapedKey(QByteArrayView bytes)
{
    const QString decoded = QString::fromUtf8(bytes);
    QString result;
    qsizetype i = 0;
    while (i < decoded.size()) {
        const QChar c = decoded[i];
        if (c == u'\\') {
            result += u'/';
            ++i;
            continue;
        }
        if (c != u'%' || i == decoded.size() - 1) {
            result += c;
            ++i;
            continue;
        }
        const qsizetype first = decoded[i + 1] == u'U' ? i + 2 : i + 1;
        const int digits = decoded[i + 1] == u'U' ? 4 : 2;
        bool ok = false;
        const ushort code = first + digits <= decoded.size()
                                ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16)
                                : 0;
        if (!ok) {
            result += u'%';
            ++i;
            continue;
        }
        result += QChar(code);
        i = first + digits;
    }
    return result;
}

// The section a header line opens, as QSettings names it ("" for the general section).
QString sectionOf(QByteArrayView header)
{
    qsizetype close = header.indexOf(']');
    if (close < 0)
        close = header.size();
    const QByteArrayView name = header.first(close).sliced(1).trimmed();
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.sliced(1));
    return unescapedKey(name);
}

// The text QSettings reads from a value as it stands in the file: quotes and escapes undone,
// unquoted trailing blanks dropped, a doubled leading "@" made single. None for a value it reads
// as a list (an unquoted comma) or as a stored type ("@Variant(...)" and the like).
std::optional<QString> storedText(QByteArrayView raw)
{
    static constexpr char kNamedEscapes[] = "a\ab\bf\fn\nr\rt\tv\v\"\"?\?''\\\\";
    QString text;
    QByteArray plain; // bytes not yet decoded
    const auto flush = [&] {
        text += QString::fromUtf8(plain);
        plain.clear();
    };
    bool inQuotes = false, quoted = false;
    qsizetype chopLimit = 0; // unquoted blanks after this place are dropped at the end
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
    };
    skipBlanks();
    while (i < raw.size()) {
        const char c = raw[i++];
        if (c == '"') {
            flush();
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
            chopLimit = text.size();
        } else if (c == ',' && !inQuotes) {
            return std::nullopt;
        } else if (c != '\\') {
            plain += c;
        } else if (i < raw.size()) {
            flush();
            const char e = raw[i++];
            const char* named = std::strchr(kNamedEscapes, e);
            const int base = e == 'x' ? 16 : (e >= '0' && e <= '7') ? 8 : 0;
            if (e != '\0' && named && (named - kNamedEscapes) % 2 == 0) {
                text += QLatin1Char(named[1]);
            } else if (base) {
                // Digits follow as long as there are any: \x41, \101.
                qsizetype end = base == 8 ? i - 1 : i;
                while (end < raw.size() && (base == 16 ? isHexDigit(uchar(raw[end]))
                                                       : raw[end] >= '0' && raw[end] <= '7'))
                    ++end;
                const qsizetype start = base == 8 ? i - 1 : i;
                if (end > start)
                    text += QChar(char16_t(
                        QByteArrayView(raw).sliced(start, end - start).toUInt(nullptr, base)));
                i = end;
            } else if ((e == '\n' || e == '\r') && i < raw.size() &&
                       (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e) {
                ++i; // a line continued
            }
            chopLimit = text.size();
        }
    }
    flush();
    if (!quoted)
        while (text.size() > chopLimit && (text.endsWith(u' ') || text.endsWith(u'\t')))
            text.chop(1);
    if (text.startsWith(u'@')) {
        if (text.startsWith(QLatin1String("@@")))
            return text.sliced(1);
        if (text.startsWith(QLatin1String("@String(")) && text.endsWith(u')'))
            return text.sliced(8).chopped(1);
        return std::nullopt;
    }
    return text;
}

// Where an entry's value stands, its surrounding blanks left out.
struct Entry
{
    qsizetype lineStart;
    qsizetype valueStart;
    qsizetype valueEnd;
    qsizetype lineEnd; // past its line break, if it has one
};

qsizetype pastLineBreak(const QByteArray& text, qsizetype at)
{
    if (at < text.size() && text[at] == ';')
        while (at < text.size() && text[at] != '\n' && text[at] != '\r')
            ++at;
    if (at < text.size() && text[at] == '\r')
        ++at;
    if (at < text.size() && text[at] == '\n')
        ++at;
    return at;
}

} // namespace

QByteArray escapedKey(const QString& key)
{
    QByteArray result;
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == '/')
            result += '\\';
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-' || c == '.')
            result += char(c);
        else if (c <= 0xFF)
            result += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            result += "%U" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
    }
    return result;
}

QByteArray escapedValue(const QString& text)
{
    // QSettings keeps a text with NUL characters as @String(...), and one starting with "@"
    // with the "@" doubled, so that neither reads as a stored type.
    QString stored = text;
    if (stored.contains(QChar::Null))
        stored = QStringLiteral("@String(") + stored + u')';
    else if (stored.startsWith(u'@'))
        stored.prepend(u'@');

    QByteArray result;
    bool needsQuotes = false;
    // After a numeric escape the next hex digit would continue it, so it is escaped too.
    bool escapeNextIfHex = false;
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (const QChar qc : stored) {
        const char16_t c = qc.unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        if (escapeNextIfHex && isHexDigit(c)) {
            result += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfHex = false;
        switch (c) {
        case '\0':
            result += "\\0";
            escapeNextIfHex = true;
            break;
        case '\a':
            result += "\\a";
            break;
        case '\b':
            result += "\\b";
            break;
        case '\f':
            result += "\\f";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        case '\v':
            result += "\\v";
            break;
        case '"':
        case '\\':
            result += '\\';
            result += char(c);
            break;
        default:
            if (c <= 0x1F) {
                result += "\\x" + QByteArray::number(c, 16);
                escapeNextIfHex = true;
            } else {
                result += toUtf8(qc);
            }
        }
    }
    if (needsQuotes || result.startsWith(' ') || result.endsWith(' '))
        result = '"' + result + '"';
    return result;
}

namespace {

// Where a key stands in a section: every line that holds it, in order, and where a new entry
// of the section would go.
struct Found
{
    QList<Entry> entries;
    qsizetype sectionEnd = -1;   // after the section's last line; -1 when there is no section
    bool unclosedAtEnd = false;  // the text ends in an open quote
    bool continuedAtEnd = false; // it ends in a backslash that carries its last line over
};

Found find(const QByteArray& text, const QString& section, const QString& key)
{
    Found found;
    bool inSection = false;
    qsizetype pos = text.startsWith("\xef\xbb\xbf") ? 3 : 0;
    Line line;
    while (nextLine(text, pos, line)) {
        found.unclosedAtEnd = line.unclosed;
        found.continuedAtEnd = line.continued && line.end == text.size();
        const QByteArrayView bytes = QByteArrayView(text).sliced(line.start, line.end - line.start);
        if (bytes.startsWith('[')) {
            inSection = sectionOf(bytes) == section;
            if (inSection)
                found.sectionEnd = pastLineBreak(text, line.end);
            continue;
        }
        if (!inSection)
            continue;
        found.sectionEnd = pastLineBreak(text, line.end);
        if (line.equals < 0 ||
            unescapedKey(
                QByteArrayView(text).sliced(line.start, line.equals - line.start).trimmed()) != key)
            continue;
        qsizetype valueStart = line.equals + 1;
        while (valueStart < line.end && (text[valueStart] == ' ' || text[valueStart] == '\t'))
            ++valueStart;
        qsizetype valueEnd = line.end;
        while (valueEnd > valueStart && isSpace(text[valueEnd - 1]))
            --valueEnd;
        // A removed line takes its indentation with it.
        qsizetype lineStart = line.start;
        while (lineStart > 0 && (text[lineStart - 1] == ' ' || text[lineStart - 1] == '\t'))
            --lineStart;
        found.entries.append({lineStart, valueStart, valueEnd, found.sectionEnd});
    }
    return found;
}

// The line break that ends `bytes`; empty when they end without one.
QByteArrayView lineBreakOf(QByteArrayView bytes)
{
    qsizetype size = 0;
    while (size < bytes.size() &&
           (bytes[bytes.size() - 1 - size] == '\n' || bytes[bytes.size() - 1 - size] == '\r'))
        ++size;
    return bytes.last(size);
}

} // namespace

std::optional<QByteArray> entryLine(const QByteArray& text, const QString& section,
                                    const QString& key)
{
    const Found found = find(text, section, key);
    if (found.entries.isEmpty())
        return std::nullopt;
    const Entry& last = found.entries.last();
    return text.sliced(last.lineStart, last.lineEnd - last.lineStart);
}

QByteArray withChanges(const QByteArray& text, const QString& section, const QList<Change>& changes)
{
    const QByteArray newline = text.contains("\r\n") ? "\r\n" : "\n";
    QByteArray result = text;
    for (const Change& change : changes) {
        // Each change is found afresh in the text the ones before it made.
        const Found scan = find(result, section, change.key);
        const QList<Entry>& found = scan.entries;
        qsizetype sectionEnd = scan.sectionEnd;

        // What QSettings reads now: the key's last line.
        const std::optional<QString> holding =
            found.isEmpty()
                ? std::nullopt
                : storedText(QByteArrayView(result).sliced(
                      found.last().valueStart, found.last().valueEnd - found.last().valueStart));
        if (change.onlyIfHolding && holding != change.onlyIfHolding)
            continue;
        if (change.restoredLine && !found.isEmpty()) {
            const Entry& last = found.last();
            QByteArray line = *change.restoredLine;
            // A line that ended the file goes back without a break only where it still ends it.
            if (lineBreakOf(line).isEmpty())
                line += lineBreakOf(
                    QByteArrayView(result).sliced(last.lineStart, last.lineEnd - last.lineStart));
            result.replace(last.lineStart, last.lineEnd - last.lineStart, line);
            continue;
        }
        if (change.text && holding == change.text)
            continue;
        if (!change.text) {
            // Every line of the key goes, last first, so that the earlier places stay valid.
            for (qsizetype i = found.size() - 1; i >= 0; --i)
                result.remove(found[i].lineStart, found[i].lineEnd - found[i].lineStart);
            continue;
        }
        const QByteArray value = escapedValue(*change.text);
        if (!found.isEmpty()) {
            const Entry& last = found.last();
            result.replace(last.valueStart, last.valueEnd - last.valueStart, value);
            continue;
        }
        const QByteArray entry = escapedKey(change.key) + '=' + value + newline;
        // A quote left open at the end would take in whatever is added after it: it is closed,
        // which leaves the value it opened as QSettings reads it.
        if (scan.unclosedAtEnd && (sectionEnd < 0 || sectionEnd == result.size())) {
            result += '"';
            sectionEnd = sectionEnd < 0 ? -1 : result.size();
        }
        if (sectionEnd >= 0) {
            // A section whose last line has no line break (the end of the file) gets one.
            if (sectionEnd > 0 && result[sectionEnd - 1] != '\n' &&
                result[sectionEnd - 1] != '\r') {
                result.insert(sectionEnd, newline);
                sectionEnd += newline.size();
            }
            // A line carried over by a backslash ends at a second line break, so that it takes
            // nothing of the new entry in.
            if (scan.continuedAtEnd && sectionEnd == result.size()) {
                result += newline;
                sectionEnd = result.size();
            }
            result.insert(sectionEnd, entry);
            continue;
        }
        QByteArray header = escapedKey(section);
        if (header.compare("general", Qt::CaseInsensitive) == 0)
            header.prepend('%');
        if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
            result += newline;
        if (!result.isEmpty())
            result += newline;
        result += '[' + header + ']' + newline + entry;
    }
    return result;
}

} // namespace zuno::IniText
