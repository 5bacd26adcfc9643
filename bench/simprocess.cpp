#include "bench/simprocess.h"

#include <QDeadlineTimer>
#include <QFileInfo>

namespace zuno::bench {

SimProcess::SimProcess(const QString& program, const QString& linkPath, const QString& logPath,
                       const QStringList& options)
    : m_link(linkPath), m_log(logPath)
{
    m_process.setStandardOutputFile(logPath);
    m_process.setStandardErrorFile(logPath + QStringLiteral(".err"));
    m_process.start(program, options + QStringList{QStringLiteral("--link"), linkPath});
}

SimProcess::~SimProcess()
{
    if (running())
        stop();
}

bool SimProcess::waitUntilReady(int timeoutMs)
{
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    // Looks for the link every 10 ms; waiting for the process's end meanwhile notices at once a
    // simulator that refused to start.
    QDeadlineTimer deadline(timeoutMs);
    while (!QFileInfo::exists(m_link)) {
        if (deadline.hasExpired() || m_process.waitForFinished(10))
            return false;
    }
    return true;
}

bool SimProcess::stop()
{
    if (!running())
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

} // namespace zuno::bench
