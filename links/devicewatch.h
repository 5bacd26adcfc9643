#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace zuno {

// Watches the device node of an open port: a USB adapter pulled out, or a pseudo-terminal whose
// other side went away, is noticed even when the serial layer reports nothing (some Qt versions
// go on polling a dead descriptor without a word). Where the platform has no device nodes the
// watch never fires and the serial layer's own errors tell.
class DeviceWatch : public QObject
{
    Q_OBJECT
  public:
    explicit DeviceWatch(QObject* parent = nullptr);

    // Starts watching the device just opened at this path.
    void start(const QString& device);
    void stop();

  signals:
    // The device is gone or another device stands at its path; the watch has stopped.
    void gone();

  private:
    void check();

    QTimer m_timer;
    QString m_device;
    std::optional<quint64> m_identity; // the device number of the node opened
};

} // namespace zuno
