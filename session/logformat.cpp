#include "session/logformat.h"

#include "core/echorendering.h"

#include <QDateTime>

namespace zuno {

QString logField(const QString& text)
{
    QString field = text.trimmed();
    for (QChar& c : field) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    return field;
}

QString logBytesFields(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper()) + u'\t' +
           renderEcho(bytes).text.trimmed();
}

QString logLine(qint64 msecsSinceEpoch, const QString& port, QStringView event,
                const QString& fields)
{
    QString line = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch)
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    line += u'\t';
    line += port;
    line += u'\t';
    line += event;
    if (!fields.isEmpty()) {
        line += u'\t';
        line += fields;
    }
    line += u'\n';
    return line;
}

} // namespace zuno
