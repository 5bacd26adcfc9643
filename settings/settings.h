#pragma once

#include "core/portchoice.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

class QSettings;

namespace zuno {

// What the settings file holds for the start-up, read into the tool's own terms.
struct StoredStartUp
{
    int port = 0;              // 1 to 15; 0 when no valid port is stored
    int bitsPerSecond = 19200; // the stored speed code 96 is 9600 bit/s, any other 19200
    QByteArray address;        // an address prefix ("", "AFFF", "A001" ...); "" for anything else
};

// The per-user settings: the INI file $XDG_CONFIG_HOME/ZUNO.conf (on Windows the user's registry
// branch of application "ZUNO"). The file is read when the object is made and again on
// reload(); its sections, keys, defaults and the speed codes it stores are known here alone.
//
// A write edits the file: only the lines of the keys written change, every comment, blank line
// and unknown line stays, a file that is a symbolic link stays one, and a write that would change
// nothing does not touch the file. A file that is no regular file (a named pipe, a device), or
// larger than 64 KiB, is neither read nor written; one the user may not write is not written.
class Settings
{
  public:
    // Key and text of one entry to write.
    using Entry = QPair<QString, QString>;

    // The user's settings file (where QSettings keeps the native store), found without
    // reading it.
    static QString userFile();

    explicit Settings(const QString& path = userFile());

    // The file, for messages.
    QString location() const { return m_path; }
    // Reads the file again: another program (zuno --map) may have changed it.
    void reload();
    // Why the file can be neither read nor written (it is larger than a settings file may be, or
    // it or its lock is no regular file), in words that name it; empty when it can. Such a file
    // stays as it is, and its keys read as missing.
    QString problem() const { return m_problem; }
    // Why the last write failed, in words that name the file; empty when it succeeded.
    QString writeProblem() const { return m_writeProblem; }

    // "StartUP": port, speed and address of the last run.
    StoredStartUp startUp() const;
    // Port and speed in one replacement of the file: a failure cannot leave a new port with an
    // old speed. False when the file could not be written (writeProblem() says why).
    bool storePortChoice(PortChoice choice);
    bool storeAddress(const QByteArray& prefix);

    // "Ports": the device that COM `port` is mapped to, blanks around it dropped; empty when the
    // section does not map it.
    QString portEntry(int port) const;
    bool storePortEntry(int port, const QString& device);
    bool removePortEntry(int port);

    // "Log": the file the session log goes to, "~" or "$HOME" at its start standing for the home
    // folder; empty for none.
    QString logFile() const;

    // Any section and key: the stored text, or defaultText when it is missing. A value that the
    // file holds as a list (an unquoted comma in a hand-edited file) reads as its items joined
    // by ", ".
    QString text(const QString& section, const QString& key, const QString& defaultText) const;
    // Stores the entries of one section in one replacement of the file, creating what is
    // missing (an empty text is kept as an empty entry): all of them, or on a failure (false)
    // none. A file that already holds them is not touched.
    bool store(const QString& section, const QList<Entry>& entries);
    // Removes section/key; true when it is gone (or was never there).
    bool remove(const QString& section, const QString& key);

  private:
    bool change(const QString& section, const QList<Entry>& entries, bool removing);
    void takeValues(const QSettings& store);

    QString m_path;
    QString m_problem;
    QString m_writeProblem;
    QByteArray m_text;                // the file as last read
    QHash<QString, QString> m_values; // "section/key" to the stored text
};

} // namespace zuno
