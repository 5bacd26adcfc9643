#include "links/portdiagnosis.h"
#include "testing/testsupport.h"

#include <QtTest>

#include <sys/stat.h>

using namespace zuno;

namespace {
// A diagnosis of a port the serial layer found busy, lock files looked for in `lockFolder`.
PortOpenFailure busy(const QString& device, const QString& lockFolder)
{
    return diagnoseOpenFailure(device, QSerialPort::PermissionError, QString(), {lockFolder});
}

// A by-id style name for the pseudo-terminal, in a folder of its own.
struct LinkedPty
{
    Pty pty;
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("usb-adapter-if00-port0"));
    LinkedPty() { QFile::link(pty.slavePath(), link); }
};
} // namespace

class TestPortDiagnosis : public QObject
{
    Q_OBJECT
  private slots:
    // A port held open by another program, mapped through a link, names that program; once it
    // lets go, nobody is named.
    void holderFoundByItsDescriptor()
    {
        LinkedPty port;
        QTemporaryDir locks;
        QProcess holder;
        holder.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("exec sleep 1000 <\"$0\""), port.link});
        QVERIFY(holder.waitForStarted());
        const QString named = QStringLiteral("in use by sleep (PID %1).").arg(holder.processId());
        QTRY_VERIFY2(busy(port.link, locks.path()).describe(5).endsWith(named),
                     qPrintable(busy(port.link, locks.path()).describe(5)));

        holder.kill();
        QVERIFY(holder.waitForFinished());
        QCOMPARE(busy(port.link, locks.path()).detail, QStringLiteral("another program"));
    }

    // Lock files as other serial programs leave them, under the device's own name while the COM
    // number maps a link. A running process they name holds the port; one that has ended does
    // not; a FIFO in its place is reported, not waited on.
    void lockFiles_data()
    {
        const qint64 self = QCoreApplication::applicationPid();
        QFile pidMax(QStringLiteral("/proc/sys/kernel/pid_max"));
        QVERIFY(pidMax.open(QIODevice::ReadOnly));
        const qint64 ended = pidMax.readAll().trimmed().toLongLong() + 1; // no process has it
        const QString endedNote = QStringLiteral("names process %1, which has ended").arg(ended);
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("expected");
        QTest::newRow("running, pid program host")
            << QByteArray::number(self) + "\nzuno\nbench\n"
            << QStringLiteral(" (PID %1, lock file ").arg(self);
        QTest::newRow("ended, pid program host") << QByteArray::number(ended) + "\nminicom\nbench\n"
                                                 << "refused: the lock file ";
        QTest::newRow("ended, pid padded to ten")
            << QByteArray::number(ended).rightJustified(10) + '\n'
            << endedNote;
        QTest::newRow("FIFO") << QByteArray()
                              << QStringLiteral(" is no lock file, yet keeps the "
                                                "port from being locked: remove it");
    }
    void lockFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, expected);
        LinkedPty port;
        QTemporaryDir locks;
        const QString lock =
            locks.filePath(QStringLiteral("LCK..") + port.pty.slavePath().mid(5).replace('/', '_'));
        QFile file(lock);
        QVERIFY(contents.isEmpty() ? ::mkfifo(QFile::encodeName(lock).constData(), 0666) == 0
                                   : file.open(QIODevice::WriteOnly) && file.write(contents) > 0);
        file.close();
        const QString reason = busy(port.link, locks.path()).describe(5);
        QVERIFY2(reason.contains(expected) && reason.contains(lock), qPrintable(reason));
        // Only a process that runs is named as the holder.
        QCOMPARE(reason.contains(QStringLiteral("(PID")), expected.contains("(PID"));
    }

    // Joining the device's group helps only when the group may read and write it.
    void accessAdvice()
    {
        for (const int mode : {0660, 0600, 0640, 0620}) {
            QTemporaryFile device;
            QVERIFY(device.open());
            QCOMPARE(::chmod(QFile::encodeName(device.fileName()).constData(), mode_t(mode)), 0);
            const QFileInfo info(device.fileName());
            QCOMPARE(zuno::accessAdvice(device.fileName()),
                     mode == 0660 ? QStringLiteral("The device belongs to group '%1': add your "
                                                   "user to it (sudo adduser $USER %1), then log "
                                                   "out and in again.")
                                        .arg(info.group())
                                  : QStringLiteral("The device is owned by %1, mode 0%2.")
                                        .arg(info.owner())
                                        .arg(mode, 0, 8));
        }
    }
};

QTEST_GUILESS_MAIN(TestPortDiagnosis)
#include "tst_portdiagnosis.moc"
