#include "settings/settings.h"

#include "core/fileaccess.h"
#include "core/panellayout.h"
#include "core/storednumber.h"
#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>

namespace zuno {

namespace {
// The sections and keys of the file, and what each key's default reads as when it is missing.
constexpr QLatin1StringView kStartUpSection("StartUP");
constexpr QLatin1StringView kComPortKey("ComPort");
constexpr QLatin1StringView kBaudRateKey("BaudRate");
constexpr QLatin1StringView kAddressKey("ADRESS");
constexpr QLatin1StringView kPortsSection("Ports");
constexpr QLatin1StringView kLogSection("Log");
constexpr QLatin1StringView kLogFileKey("File");
// A missing key reads as a text that is no number and no address: no port, 19200 bit/s, SINGLE.
constexpr QLatin1StringView kMissingPort("DATAC");
constexpr QLatin1StringView kMissingSpeed("DATAb");
constexpr QLatin1StringView kMissingAddress("DATAD");

// The line speed as the file stores it: a code, 96 for 9600 bit/s and 192 for 19200 bit/s. Any
// other stored text reads as 19200 bit/s.
constexpr int kSlowSpeedCode = 96;
constexpr int kFastSpeedCode = 192;

QString portKey(int port)
{
    return QStringLiteral("COM%1").arg(port);
}
} // namespace

QString Settings::userFile()
{
#ifdef Q_OS_WIN
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"))
        .fileName();
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ZUNO.conf");
#endif
}

Settings::Settings(const QString& path) : m_path(path)
{
    reload();
}

void Settings::reload()
{
#ifdef Q_OS_WIN
    m_values.clear();
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"));
    takeValues(store);
#else
    // Checked before the file is opened: a named pipe would wait for a writer that may never
    // come, and a large file would be read whole. The file is read without waiting.
    m_problem = SettingsFile::unusable(m_path);
    QByteArray text;
    QFile file(m_path);
    QString problem;
    if (m_problem.isEmpty() && openWithoutWaiting(file, QIODevice::ReadOnly, true, &problem))
        text = file.read(SettingsFile::kMaxBytes + 1);
    if (text.size() > SettingsFile::kMaxBytes) // it grew meanwhile
        m_problem = SettingsFile::unusable(m_path);
    if (!m_problem.isEmpty() || text.size() > SettingsFile::kMaxBytes)
        text.clear();
    if (text == m_text)
        return;
    m_text = text;
    m_values.clear();
    if (text.isEmpty())
        return;
    // QSettings reads the text from a copy under a name of its own: it keeps what it read of a
    // file and reads it again only when its size or time has changed, which a rewrite within
    // the same millisecond at the same size does not show; and whatever took the file's place
    // meanwhile is not opened.
    QTemporaryFile copy;
    if (copy.open() && copy.write(text) == text.size() && copy.flush()) {
        takeValues(QSettings(copy.fileName(), QSettings::IniFormat));
        return;
    }
    takeValues(QSettings(m_path, QSettings::IniFormat));
#endif
}

void Settings::takeValues(const QSettings& store)
{
    for (const QString& key : store.allKeys()) {
        const QVariant value = store.value(key);
        m_values.insert(key, value.typeId() == QMetaType::QStringList
                                 ? value.toStringList().join(QStringLiteral(", "))
                                 : value.toString());
    }
}

QString Settings::text(const QString& section, const QString& key, const QString& defaultText) const
{
    return m_values.value(section + u'/' + key, defaultText);
}

StoredStartUp Settings::startUp() const
{
    StoredStartUp stored;
    stored.port = readStoredPortNumber(text(kStartUpSection, kComPortKey, kMissingPort));
    stored.bitsPerSecond =
        readLeadingNumber(text(kStartUpSection, kBaudRateKey, kMissingSpeed)) == kSlowSpeedCode
            ? 9600
            : 19200;
    // An address the address row does not offer reads as SINGLE.
    const QString address = text(kStartUpSection, kAddressKey, kMissingAddress);
    if (isKnownAddressPrefix(address))
        stored.address = address.toLatin1();
    return stored;
}

bool Settings::storePortChoice(PortChoice choice)
{
    const int code = choice.bitsPerSecond == 9600 ? kSlowSpeedCode : kFastSpeedCode;
    return store(kStartUpSection, {{kComPortKey, QString::number(choice.port)},
                                   {kBaudRateKey, QString::number(code)}});
}

bool Settings::storeAddress(const QByteArray& prefix)
{
    return store(kStartUpSection, {{kAddressKey, QString::fromLatin1(prefix)}});
}

QString Settings::portEntry(int port) const
{
    return text(kPortsSection, portKey(port), QString()).trimmed();
}

bool Settings::storePortEntry(int port, const QString& device)
{
    return store(kPortsSection, {{portKey(port), device}});
}

bool Settings::removePortEntry(int port)
{
    return remove(kPortsSection, portKey(port));
}

// A path written by hand as in a shell: "~" and "$HOME" (or "${HOME}") at its start stand for
// the home folder.
QString Settings::logFile() const
{
    const QString path = text(kLogSection, kLogFileKey, QString()).trimmed();
    const QString home = QDir::homePath();
    for (const QLatin1StringView prefix :
         {QLatin1StringView("~"), QLatin1StringView("${HOME}"), QLatin1StringView("$HOME")}) {
        if (path == prefix || path.startsWith(prefix + u'/'))
            return home + path.mid(prefix.size());
    }
    return path;
}

bool Settings::store(const QString& section, const QList<Entry>& entries)
{
    return change(section, entries, false);
}

bool Settings::remove(const QString& section, const QString& key)
{
    return change(section, {{key, QString()}}, true);
}

bool Settings::change(const QString& section, const QList<Entry>& entries, bool removing)
{
#ifdef Q_OS_WIN
    QSettings native(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"));
    for (const Entry& entry : entries) {
        if (removing)
            native.remove(section + u'/' + entry.first);
        else
            native.setValue(section + u'/' + entry.first, entry.second);
    }
    native.sync();
    const bool done = native.status() == QSettings::NoError;
    m_writeProblem = done ? QString() : QStringLiteral("the registry refused the change");
#else
    QList<IniText::Change> changes;
    for (const Entry& entry : entries) {
        changes.append(
            {entry.first, removing ? std::nullopt : std::optional<QString>(entry.second)});
    }
    const SettingsFile::Result result = SettingsFile::update(m_path, section, changes);
    const bool done = result.done();
    m_writeProblem = result.problem;
#endif
    // What was written reads back as written, whatever else another program changed meanwhile.
    reload();
    if (done) {
        for (const Entry& entry : entries) {
            if (removing)
                m_values.remove(section + u'/' + entry.first);
            else
                m_values.insert(section + u'/' + entry.first, entry.second);
        }
    }
    return done;
}

} // namespace zuno
