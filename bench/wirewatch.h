#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace zuno::bench {

// Nanoseconds on the monotonic clock, comparable across threads.
std::int64_t monotonicNs();

// Watches the far end of a line (a pseudo-terminal's master side) from a thread of its own, so
// that the moment bytes become readable is taken while the GUI thread is busy or asleep.
class WireWatch
{
  public:
    struct Chunk
    {
        std::int64_t readableNs; // when poll() said the bytes were there
        QByteArray bytes;
    };

    explicit WireWatch(int fd);
    ~WireWatch();
    WireWatch(const WireWatch&) = delete;
    WireWatch& operator=(const WireWatch&) = delete;

    // Everything read so far, taken out of the watch.
    std::vector<Chunk> take();
    // Bytes read so far and not yet taken.
    std::size_t pendingBytes() const;

  private:
    void run();

    int m_fd;
    int m_stop[2] = {-1, -1};
    mutable std::mutex m_mutex;
    std::vector<Chunk> m_chunks;
    std::size_t m_pending = 0;
    std::thread m_thread;
};

} // namespace zuno::bench
