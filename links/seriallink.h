#pragma once

#include "core/link.h"
#include "links/devicewatch.h"

#include <QSerialPort>

namespace zuno {

class PortNaming;

// The line to the projector over a serial port: the COM number names the device (see
// PortNaming), opened at 8 data bits, no parity, one stop bit and no flow control. A device
// that goes away while open closes the port once and reports lost().
class SerialLink : public Link
{
    Q_OBJECT
  public:
    explicit SerialLink(const PortNaming& naming, QObject* parent = nullptr);
    ~SerialLink() override;

    void open(int port, int bitsPerSecond) override;
    void close() override;
    bool isOpen() const override;
    bool write(QByteArrayView bytes) override;

    int lineSpeed() const override;

  private:
    void lose();

    const PortNaming& m_naming;
    QSerialPort m_port;
    DeviceWatch m_watch;
    QString m_device;
};

} // namespace zuno
