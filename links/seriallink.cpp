#include "links/seriallink.h"

#include "core/storednumber.h"
#include "links/portdiagnosis.h"
#include "links/portinventory.h"
#include "links/portnaming.h"

namespace zuno {

// The port and the watch are children as well as members, so that whoever walks the link's
// objects (the soak counting timers) finds them.
SerialLink::SerialLink(const PortNaming& naming, QObject* parent)
    : Link(parent), m_naming(naming), m_port(this), m_watch(this)
{
    connect(&m_watch, &DeviceWatch::gone, this, &SerialLink::lose);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        const QByteArray bytes = m_port.readAll();
        if (!bytes.isEmpty())
            emit received(bytes);
    });
    // A pulled adapter shows as a resource error; a pseudo-terminal whose other side hung up
    // as read errors, thousands a second until the port is closed.
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (m_port.isOpen() &&
            (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
             error == QSerialPort::WriteError))
            lose();
    });
}

SerialLink::~SerialLink() = default;

void SerialLink::open(int port, int bitsPerSecond)
{
    if (m_port.isOpen()) {
        emit opened();
        return;
    }
    PortOpenFailure failure;
    m_device = m_naming.deviceFor(port);
    failure.device = m_device;
    if (!isValidPortNumber(port) || m_device.isEmpty()) {
        failure.kind = PortOpenFailure::Kind::NoPortChosen;
        emit openFailed(failure.describe(port));
        return;
    }
    // The serial layer would wait for good on a FIFO where it reads the port's lock, and takes
    // over a lock that holds only the pid of another serial program as if it were left behind.
    if (failure = lockFileObstacle(m_device, defaultLockFolders());
        failure.kind != PortOpenFailure::Kind::None) {
        emit openFailed(failure.describe(port));
        return;
    }
    // Looked at before the serial layer sets the line: a program holding the device keeps its
    // line settings, and what is no serial port is not treated as one.
    const DeviceLook look(m_device);
    if (failure = look.obstacle(); failure.kind != PortOpenFailure::Kind::None) {
        emit openFailed(failure.describe(port));
        return;
    }
    m_port.setPortName(m_device);
    m_port.setBaudRate(bitsPerSecond);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        failure = diagnoseOpenFailure(m_device, m_port);
        // A missing device may be an adapter that another COM number should name.
        if (failure.kind == PortOpenFailure::Kind::Missing)
            failure.detail = unreachedDevicesNote(
                takeInventory(m_naming, systemSerialDevices(), serialByIdFolder()));
        emit openFailed(failure.describe(port));
        return;
    }
    // Held while the port is open, so that other serial programs are refused the device.
    if (failure = lockOpenDevice(m_port, m_device); failure.kind != PortOpenFailure::Kind::None) {
        m_port.close();
        emit openFailed(failure.describe(port));
        return;
    }
    m_watch.start(m_device);
    emit opened();
}

void SerialLink::close()
{
    m_watch.stop();
    if (!m_port.isOpen())
        return;
    m_port.close();
    emit closed();
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

int SerialLink::lineSpeed() const
{
    return m_port.isOpen() ? int(m_port.baudRate()) : 0;
}

bool SerialLink::write(QByteArrayView bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    m_port.flush();
    return true;
}

void SerialLink::lose()
{
    m_watch.stop();
    if (!m_port.isOpen())
        return;
    m_port.close();
    emit lost();
}

} // namespace zuno
