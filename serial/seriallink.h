#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <sys/types.h>

namespace zuno {

// Why a port did not open, in words a technician can act on.
struct PortOpenFailure
{
    enum class Kind
    {
        None,
        NoPortChosen,
        Missing,
        NotPermitted,
        InUse,
        Refused
    };
    Kind kind = Kind::None;
    QString device; // the device path tried
    QString detail; // the system's words, the device's group, or who holds the port
    QString describe(int port) const;
};

// The main window's serial control: line parameters from text, a port number,
// PortOpen, whole-string writes, and a communication event after which all
// waiting characters are read as one string.
class MSComm1 : public QObject
{
    Q_OBJECT
  public:
    static constexpr int kEventReceive = 2;

    explicit MSComm1(QObject* parent = nullptr);
    ~MSComm1() override;

    // "9600,N,8,1" or "19200,N,8,1"; other speeds in the same form are accepted too.
    void setSettings(const QString& lineParameters);
    QString settings() const { return m_settings; }
    void setCommPort(int port) { m_commPort = port; }
    int commPort() const { return m_commPort; }

    // Opens (true) or closes (false) the port. Opening an open port or closing a
    // closed one changes nothing. Returns false when the port did not open.
    bool setPortOpen(bool open);
    bool portOpen() const { return m_port.isOpen(); }
    const PortOpenFailure& lastOpenFailure() const { return m_failure; }
    QString devicePath() const { return m_device; }

    // Writes the whole string at once; false when the port is closed or refused it.
    bool output(const QByteArray& bytes);
    // The code of the last communication event (2 = characters received).
    int commEvent() const { return m_commEvent; }
    // All characters waiting, taken out of the input buffer.
    QByteArray input();

  signals:
    void onComm();
    // The open port's device went away (adapter pulled, other side hung up); the port is now
    // closed.
    void portLost();

  private:
    void diagnoseOpenFailure();
    void checkDevicePresent();
    void lose();

    QSerialPort m_port;
    QTimer m_watch;
    QString m_settings = QStringLiteral("9600,N,8,1");
    QString m_device;
    int m_commPort = 1;
    int m_commEvent = 0;
    dev_t m_deviceId = 0;
    PortOpenFailure m_failure;
};

} // namespace zuno
