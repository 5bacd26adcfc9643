#include "bench/simprocess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

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
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!running())
            return false;
        if (QFileInfo::exists(m_link))
            return true;
        QThread::msleep(10);
    }
    return false;
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
