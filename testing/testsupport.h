#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <optional>

// A real settings store in a temporary folder: XDG_CONFIG_HOME points there for
// the whole test process (the store's location is fixed at its first use).
class TempStore
{
  public:
    // Call before anything touches the settings store.
    static void setUpProcess();
    static QString filePath();
    // Removes everything stored.
    static void clear();
    static void writeRaw(const QByteArray& contents);
    static QByteArray readRaw();
    static void mapPort(int port, const QString& device);
    static QString value(const QString& section, const QString& key, const QString& fallback = {});
    static void setValue(const QString& section, const QString& key, const QString& text);
    static bool contains(const QString& section, const QString& key);

  private:
    static std::optional<QVariant> read(const QString& section, const QString& key);
};

// A pseudo-terminal pair: the test holds the master side, the code under test
// opens the slave device like a serial port.
class Pty
{
  public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    bool isOpen() const { return m_master >= 0; }
    // Writes bytes as the projector would.
    void write(const QByteArray& bytes);
    // Reads what arrived within timeoutMs, until at least minBytes are there.
    QByteArray read(int timeoutMs, qsizetype minBytes = 1);
    // Hangs up: the slave side sees the line go away.
    void closeMaster();

  private:
    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
};

// While it lives, no file this process writes may grow beyond `bytes`: writes of the
// settings store then fail even for the superuser, while reading still works.
class FileSizeLimit
{
  public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    qint64 m_previous = -1;
};

// CPU time (user + system) this process has used, in milliseconds.
qint64 processCpuMs();

// The peak resident memory of a process in KiB, from /proc/PID/status; 0 when it cannot be read.
qint64 peakKiB(qint64 pid);
