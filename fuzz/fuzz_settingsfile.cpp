// The settings store's writer on any file text: an edit of one of the tool's keys leaves every
// other key as QSettings reads it, and the key reads back as written (or is gone, when removed);
// or the writer refuses the edit and the file stays as it was, byte for byte.
//
// Input: which key (and whether it is removed), the new text, then the file's text.
#include "fuzz/fuzzcheck.h"
#include "settings/settingsfile.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <fuzzer/FuzzedDataProvider.h>

using zuno::fuzz::require;

namespace {

// In memory where the system has it: the writer syncs each copy to the disk.
const QTemporaryDir& folder()
{
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/zuno-fuzz-XXXXXX")
                                       : QString());
    return dir;
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                file.write(text) == text.size(),
            "the test can write its files");
}

QByteArray serialised(const QVariant& value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return bytes;
}

// Every key with its value as QSettings reads the text, serialised so that equal values compare
// equal whatever their type.
QMap<QString, QByteArray> readBack(const QByteArray& text)
{
    // A name of its own each time: QSettings keeps what it read of a file by name, size and time.
    static int serial = 0;
    const QString path = folder().filePath(QStringLiteral("read%1.conf").arg(++serial));
    writeFile(path, text);
    QMap<QString, QByteArray> values;
    {
        const QSettings settings(path, QSettings::IniFormat);
        for (const QString& key : settings.allKeys())
            values.insert(key, serialised(settings.value(key)));
    }
    QFile::remove(path);
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QStringList keys{"StartUP/ComPort", "StartUP/BaudRate", "StartUP/ADRESS",
                                  "Ports/COM1",      "Ports/COM15",      "Log/File"};
    FuzzedDataProvider input(data, size);
    const QString key = keys[input.ConsumeIntegralInRange<qsizetype>(0, keys.size() - 1)];
    const bool removing = input.ConsumeBool();
    const QString text = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QByteArray before = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());

    const QString path = folder().filePath(QStringLiteral("ZUNO.conf"));
    writeFile(path, before);
    const zuno::IniText::Change change{key.section(u'/', 1),
                                       removing ? std::nullopt : std::optional(text)};
    const zuno::SettingsFile::Result result =
        zuno::SettingsFile::update(path, key.section(u'/', 0, 0), {change});
    QFile file(path);
    require(file.open(QIODevice::ReadOnly), "the file is still there");
    const QByteArray after = file.readAll();
    if (!result.done()) {
        require(after == before, "a refused edit leaves the file as it was");
        return 0;
    }
    QMap<QString, QByteArray> expected = readBack(before), got = readBack(after);
    expected.remove(key);
    const std::optional<QByteArray> changed =
        got.contains(key) ? std::optional(got.take(key)) : std::nullopt;
    require(got == expected, "every other key keeps its value");
    require(removing ? !changed : changed == serialised(QVariant(text)),
            "the key reads back as written");
    return 0;
}
