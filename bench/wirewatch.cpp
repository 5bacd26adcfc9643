#include "bench/wirewatch.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace zuno::bench {

std::int64_t monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

WireWatch::WireWatch(int fd) : m_fd(fd)
{
    if (::pipe(m_stop) != 0)
        m_stop[0] = m_stop[1] = -1;
    m_thread = std::thread([this] { run(); });
}

WireWatch::~WireWatch()
{
    const char byte = 1;
    if (::write(m_stop[1], &byte, 1) < 0) {
        // The thread then ends at its next poll timeout.
    }
    m_thread.join();
    ::close(m_stop[0]);
    ::close(m_stop[1]);
}

std::vector<WireWatch::Chunk> WireWatch::take()
{
    std::lock_guard lock(m_mutex);
    m_pending = 0;
    return std::exchange(m_chunks, {});
}

std::size_t WireWatch::pendingBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_pending;
}

void WireWatch::run()
{
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(fds, 2, 200) < 0)
            continue;
        const std::int64_t readable = monotonicNs();
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN)) {
            // A hung-up line reports POLLHUP at once, every time: do not spin on it.
            if (fds[0].revents)
                ::usleep(1000);
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_chunks.push_back({readable, QByteArray(buffer, n)});
        m_pending += std::size_t(n);
    }
}

} // namespace zuno::bench
