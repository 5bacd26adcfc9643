#include "links/devicewatch.h"

namespace zuno {

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent) {}

void DeviceWatch::start(const QString& device)
{
    m_device = device;
}

void DeviceWatch::stop() {}

void DeviceWatch::check() {}

} // namespace zuno
