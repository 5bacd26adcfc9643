#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zuno::bench {

// A projector simulator run as a child process, its log written to a file, reachable through
// a symbolic link that names its current line.
class SimProcess
{
  public:
    // Starts `program` with the given options plus --link linkPath; the log goes to logPath.
    SimProcess(const QString& program, const QString& linkPath, const QString& logPath,
               const QStringList& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Waits until the link exists; false when the simulator ended or took too long.
    bool waitUntilReady(int timeoutMs = 5000);
    bool running() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // Ends it with SIGTERM (so that it removes its link); true when it exited normally.
    bool stop();
    QString linkPath() const { return m_link; }
    QString logPath() const { return m_log; }

  private:
    QProcess m_process;
    QString m_link;
    QString m_log;
};

} // namespace zuno::bench
