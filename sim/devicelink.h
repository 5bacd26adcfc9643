#pragma once

#include <QString>

namespace zuno::sim {

// A symbolic link at a fixed path that names the simulator's current device, so that a
// client can be configured once although every new pseudo-terminal gets a new name.
class DeviceLink
{
  public:
    explicit DeviceLink(const QString& path) : m_path(path) {}
    ~DeviceLink() { remove(); }
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Points the link at target in one step (a client never finds the path missing).
    // An existing symbolic link is replaced; anything else at the path is left alone
    // and reported as an error.
    bool pointTo(const QString& target, QString* error);

    // Removes the link, unless it no longer points where this object put it.
    void remove();

    QString path() const { return m_path; }

  private:
    QString m_path;
    QString m_target;
};

} // namespace zuno::sim
