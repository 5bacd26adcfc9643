// The floor of a one-shot exchange: the least a Qt Core + Qt Serial Port program does to open a
// device at 9600 bit/s, write "CR0" and CR, and wait for the reply's CR. Its wall time is what
// `zuno --send CR0` is measured against.
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(QSerialPort::Baud9600);
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    port.write("CR0\r");
    QByteArray reply;
    while (!reply.endsWith('\r')) {
        if (!port.waitForReadyRead(5000))
            return 3;
        reply += port.readAll();
    }
    std::fwrite(reply.constData(), 1, std::size_t(reply.size()), stdout);
    return 0;
}
