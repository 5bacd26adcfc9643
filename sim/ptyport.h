#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

namespace zuno::sim {

// The master side of a pseudo-terminal whose slave side a client opens as its serial
// device. The slave is in raw mode (no echo, no CR/LF translation). While no client
// has the slave open the master reports a hang-up on every poll; the port then stops
// listening for input and looks for a client a few times a second instead, so an
// absent client costs no CPU.
class PtyPort : public QObject
{
    Q_OBJECT
  public:
    explicit PtyPort(QObject* parent = nullptr);
    ~PtyPort() override;

    // Opens a new pseudo-terminal at the given line speed; false with a reason on failure.
    bool open(int baud, QString* error);

    // Closes the master side: the device node disappears and a client sees a hang-up.
    void close();

    bool isOpen() const { return m_master >= 0; }
    bool hasClient() const { return m_hasClient; }

    // The slave device a client opens, e.g. "/dev/pts/3"; empty while closed.
    QString devicePath() const { return m_devicePath; }

    // Writes bytes towards the client. Returns how many went out: none while no client
    // listens (nothing is kept for a later client), fewer when its input buffer is full.
    // A client found gone on the way is reported as a disconnect.
    qsizetype write(const QByteArray& bytes);

  signals:
    void received(const QByteArray& bytes);
    void clientConnected();
    void clientDisconnected();

  private:
    void readMaster();
    void lookForClient();
    void loseClient();
    enum class ReadResult
    {
        Read,  // a chunk was read and handed on
        Empty, // nothing waits
        Gone   // the client side or the port is gone
    };
    // Reads one chunk of what is waiting.
    ReadResult readChunk();

    int m_master = -1;
    QString m_devicePath;
    bool m_hasClient = false;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_clientPoll;
};

} // namespace zuno::sim
