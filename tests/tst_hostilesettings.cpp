#include "link/form1.h"
#include "panel/paneltable.h"
#include "settings/form2.h"
#include "settings/portsettings.h"
#include "settings/retrycomport.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <unistd.h>

using namespace zuno;

// Start-up and shutdown against settings stores of every odd shape: damaged or hand-edited files,
// things standing where the file should be, and stores that cannot be written.
class TestHostileSettings : public QObject
{
    Q_OBJECT
  public:
    enum class InTheWay
    {
        Folder,
        SymlinkLoop,
        DanglingSymlink,
        ReadOnlyFile,
        ReadOnlyFolder,
        SizeLimit,
    };
    Q_ENUM(InTheWay)

  private:
    QStringList m_messages;

    // All the bytes of a literal, NULs included.
    template <qsizetype N> static QByteArray bytes(const char (&text)[N])
    {
        return QByteArray(text, N - 1);
    }

    static QString single() { return QStringLiteral("SINGLE"); }
    static QString configDir() { return QFileInfo(TempStore::filePath()).absolutePath(); }

    static QByteArray portsSection(const Pty& pty)
    {
        return "[Ports]\nCOM3=" + pty.slavePath().toUtf8() + '\n';
    }

    // The file's bytes with the port mapping put where "@PORTS@" stands, or at the end.
    static QByteArray withPorts(QByteArray contents, const Pty& pty)
    {
        if (contents.contains("@PORTS@"))
            return contents.replace("@PORTS@", portsSection(pty));
        return contents + '\n' + portsSection(pty);
    }

    // Removes whatever stands where the store's file should be, and gives the folder back its
    // usual mode.
    static void clearTheWay()
    {
        QFile::setPermissions(configDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
        const QFileInfo info(TempStore::filePath());
        if (info.isSymLink() || info.isFile())
            QFile::remove(TempStore::filePath());
        else if (info.isDir())
            QDir(TempStore::filePath()).removeRecursively();
        QFile::remove(TempStore::filePath() + QStringLiteral(".new"));
    }

    static void putInTheWay(InTheWay way)
    {
        const QString path = TempStore::filePath();
        switch (way) {
        case InTheWay::Folder:
            QFile::remove(path);
            QVERIFY(QDir().mkpath(path));
            break;
        case InTheWay::SymlinkLoop:
            QFile::remove(path);
            QVERIFY(QFile::link(path, path));
            break;
        case InTheWay::DanglingSymlink:
            QFile::remove(path);
            QVERIFY(QFile::link(configDir() + QStringLiteral("/absent/ZUNO.conf"), path));
            break;
        case InTheWay::ReadOnlyFile:
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
            break;
        case InTheWay::ReadOnlyFolder:
            QVERIFY(
                QFile::setPermissions(configDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            break;
        case InTheWay::SizeLimit:
            break; // set up by the test itself: it must end before the checks write anything
        }
    }

    // Runs Form1's start-up; a port dialog it shows is closed with its close box.
    bool loadClosingDialog(Form1& form)
    {
        bool shown = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<Form2*>(QApplication::activeModalWidget())) {
                shown = true;
                dialog->close();
            }
        });
        poll.start();
        form.load();
        return shown;
    }

    // The address option the panel shows as chosen, by its prefix.
    static QByteArray checkedAddressPrefix(Form1& form)
    {
        for (const OptionSpec& spec : addressOptions()) {
            const auto* option = form.findChild<QRadioButton*>(QString::fromLatin1(spec.name));
            if (option && option->isChecked())
                return spec.prefix;
        }
        return "none";
    }

    // Binary noise with every byte value, NUL included, but without the INI file's quote and
    // escape characters, which would join the following lines into one value.
    static QByteArray binaryJunk()
    {
        QByteArray junk;
        quint32 state = 12345;
        while (junk.size() < 600) {
            state = state * 1103515245u + 12345u;
            const char byte = char(state >> 23);
            if (byte != '"' && byte != '\\')
                junk += byte;
        }
        for (int code = 0; code < 256; ++code) {
            if (code != '"' && code != '\\')
                junk += char(code);
        }
        return junk;
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        clearTheWay();
        TempStore::clear();
        m_messages.clear();
        PortNumber = 0;
        BaudCode = 0;
        SavedPortNumber = 0;
        SavedBaudCode = 0;
    }
    void cleanup() { clearTheWay(); }

    void oddFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("opens"); // false: no valid port, the port dialog comes up
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<QString>("address");

        const QString k9600 = QStringLiteral("9600,N,8,1");
        const QString k19200 = QStringLiteral("19200,N,8,1");
        const QString single = this->single();
        auto noPort = [&](const char* name, const QByteArray& contents) {
            QTest::newRow(name) << contents << false << k19200 << single;
        };
        noPort("empty file", "");
        noPort("only the port mapping", "@PORTS@");
        noPort("group name in other case", "[Startup]\nComPort=3\nBaudRate=96\nADRESS=A003\n");
        noPort("keys outside any group", "ComPort=3\nBaudRate=96\nADRESS=A003\n@PORTS@");
        noPort("key name in lower case", "[StartUP]\ncomport=3\nADRESS=A003\n");
        noPort("negative port", "[StartUP]\nComPort=-3\nADRESS=A003\n");
        noPort("port wraps to 3 in 16 bits", "[StartUP]\nComPort=65539\nADRESS=A003\n");
        noPort("port wraps to 3 in 64 bits", "[StartUP]\nComPort=18446744073709551619\n");
        noPort("port of 100000 digits", "[StartUP]\nComPort=3" + QByteArray(100000, '0') + '\n');
        noPort("full-width digit", "[StartUP]\nComPort=\xef\xbc\x93\nADRESS=A003\n");
        noPort("invalid UTF-8 before the digit", "[StartUP]\nComPort=\xff\xfe\x33\n");
        noPort("NUL before the digit", bytes("[StartUP]\nComPort=\0003\n"));
        noPort("binary junk only", binaryJunk());
        noPort("stored rectangle", "[StartUP]\nComPort=@Rect(1 2 3 4)\n");
        noPort("stored variant claiming a 2 GB text",
               "[StartUP]\nComPort=@Variant(\\0\\0\\0\\n\\x7f\\xff\\xff\\xfe)\n");
        noPort("stored variant of garbage", "[StartUP]\nComPort=@Variant(garbage\n");

        auto opens = [&](const char* name, const QByteArray& contents, const QString& parameters,
                         const QString& address) {
            QTest::newRow(name) << contents << true << parameters << address;
        };
        opens("only the port", "[StartUP]\nComPort=3\n", k19200, single);
        opens("blanks around plain values",
              "[StartUP]\nComPort=  3  \nBaudRate= 96 \nADRESS= A003 \n", k9600, "A003");
        opens("blanks inside quotes",
              "[StartUP]\nComPort=\" 3\"\nBaudRate=\"96 \"\nADRESS=\" A003\"\n", k9600, single);
        opens("signed speed and address", "[StartUP]\nComPort=3\nBaudRate=-96\nADRESS=-A003\n",
              k19200, single);
        opens("speed wraps to 96 in 8 bits", "[StartUP]\nComPort=3\nBaudRate=352\nADRESS=A001\n",
              k19200, "A001");
        opens("speed far beyond 64 bits",
              "[StartUP]\nComPort=3\nBaudRate=18446744073709551712\nADRESS=AFFF\n", k19200, "AFFF");
        opens("non-ASCII speed and address",
              "[StartUP]\nComPort=3\nBaudRate=\xd9\xa9\xd9\xa6\nADRESS=\xef\xbc\xa1\x30\x30\x33\n",
              k19200, single);
        opens("NUL bytes inside values",
              bytes("[StartUP]\nComPort=3\0 7\nBaudRate=96\0\nADRESS=\0A003\n"), k9600, single);
        opens("binary junk before the group",
              binaryJunk() + "\n[StartUP]\nComPort=3\nBaudRate=96\nADRESS=A002\n", k9600, "A002");
        opens("unclosed quote takes the rest as the port's text",
              "@PORTS@[StartUP]\nComPort=\"3\nBaudRate=96\nADRESS=A003\n", k19200, single);
        opens("values that read as lists",
              "[StartUP]\nComPort=3,4\nBaudRate=96,1\nADRESS=A001,A002\n", k9600, single);
        opens("CR LF line ends", "[StartUP]\r\nComPort=3\r\nBaudRate=96\r\nADRESS=A004\r\n", k9600,
              "A004");
        opens("unclosed group header", "[StartUP\nComPort=3\nBaudRate=96\n", k9600, single);
        opens("stored byte array, rectangle and huge variant",
              "[StartUP]\nComPort=@ByteArray(3)\nBaudRate=@Rect(1 2 3 4)\n"
              "ADRESS=@Variant(\\0\\0\\0\\n\\x7f\\xff\\xff\\xfe)\n",
              k19200, single);
    }
    void oddFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, opens);
        QFETCH(QString, parameters);
        QFETCH(QString, address);
        Pty pty;
        const QByteArray stored = withPorts(contents, pty);
        TempStore::writeRaw(stored);

        Form1 form;
        QCOMPARE(loadClosingDialog(form), !opens);
        QCOMPARE(form.comm().portOpen(), opens);
        QCOMPARE(form.comm().settings(), parameters);
        QCOMPARE(int(BaudCode), parameters == QStringLiteral("9600,N,8,1") ? 96 : 192);
        QCOMPARE(int(PortNumber), opens ? 3 : 0);
        const QByteArray prefix = address == single() ? QByteArray() : address.toLatin1();
        QCOMPARE(form.AddressPrefix, prefix);
        QCOMPARE(checkedAddressPrefix(form), prefix);
        QCOMPARE(form.Timer2.interval(), opens ? 1000 : 10000);
        // Start-up only reads.
        QCOMPARE(TempStore::readRaw(), stored);

        // Closing writes the address into whatever the file held, keeping the other entries.
        const QString portText = TempStore::value("StartUP", "ComPort", "missing");
        form.show();
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QVERIFY(!form.comm().portOpen());
        QCOMPARE(TempStore::value("StartUP", "ADRESS", "missing"), QString::fromLatin1(prefix));
        QCOMPARE(TempStore::value("StartUP", "ComPort", "missing"), portText);
        QCOMPARE(TempStore::value("Ports", "COM3"), pty.slavePath());
    }

    void somethingInTheWay_data()
    {
        QTest::addColumn<InTheWay>("way");
        QTest::addColumn<bool>("readable");
        QTest::newRow("folder where the file should be") << InTheWay::Folder << false;
        QTest::newRow("symbolic link to itself") << InTheWay::SymlinkLoop << false;
        QTest::newRow("symbolic link to nothing") << InTheWay::DanglingSymlink << false;
        QTest::newRow("read-only file") << InTheWay::ReadOnlyFile << true;
        QTest::newRow("read-only folder") << InTheWay::ReadOnlyFolder << true;
    }
    void somethingInTheWay()
    {
        QFETCH(InTheWay, way);
        QFETCH(bool, readable);
        Pty pty;
        const QByteArray stored =
            "[StartUP]\nComPort=3\nBaudRate=96\nADRESS=A002\n\n" + portsSection(pty);
        TempStore::writeRaw(stored);
        putInTheWay(way);

        Form1 form;
        QCOMPARE(loadClosingDialog(form), !readable);
        QCOMPARE(form.comm().portOpen(), readable);
        QCOMPARE(form.AddressPrefix, readable ? QByteArray("A002") : QByteArray());
        form.show();
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QVERIFY(!form.comm().portOpen());

        const QFileInfo info(TempStore::filePath());
        if (way == InTheWay::Folder)
            QVERIFY(info.isDir());
        // A link that leads to no file is replaced by a store that holds the address.
        if (way == InTheWay::SymlinkLoop || way == InTheWay::DanglingSymlink) {
            QVERIFY(info.isFile() && !info.isSymLink());
            QCOMPARE(TempStore::value("StartUP", "ADRESS", "missing"), QString());
        }
        // Modes bind only when not running as the superuser, who may write anyway.
        if (readable && ::geteuid() != 0)
            QCOMPARE(TempStore::readRaw(), stored);
    }

    void closingWithUnwritableStore_data()
    {
        QTest::addColumn<InTheWay>("way");
        QTest::newRow("file size limit") << InTheWay::SizeLimit;
        QTest::newRow("folder where the file should be") << InTheWay::Folder;
    }
    void closingWithUnwritableStore()
    {
        QFETCH(InTheWay, way);
        Pty pty;
        const QByteArray stored =
            "[StartUP]\nComPort=3\nBaudRate=96\nADRESS=A004\n\n" + portsSection(pty);
        TempStore::writeRaw(stored);
        Form1 form;
        form.load();
        form.show();
        QVERIFY(form.comm().portOpen());
        QTest::mouseClick(form.findChild<QRadioButton*>(QStringLiteral("Option1")), Qt::LeftButton,
                          {}, QPoint(5, 5));
        QCOMPARE(form.AddressPrefix, QByteArray());

        if (way == InTheWay::SizeLimit) {
            FileSizeLimit limit(8);
            QVERIFY(form.close());
        } else {
            putInTheWay(way);
            QVERIFY(form.close());
        }
        QVERIFY(!form.isVisible());
        QVERIFY(!form.comm().portOpen());
        if (way == InTheWay::SizeLimit) {
            // The failed write left the old store whole, and no half-written copy behind.
            QCOMPARE(TempStore::readRaw(), stored);
            QCOMPARE(QDir(configDir()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                     QStringList{QStringLiteral("ZUNO.conf")});
        }
    }

    // OK opens the port, then the store refuses the choice: "Retry Comport", the port stays open,
    // the store stays whole, and a second OK once the store can be written again succeeds.
    void portDialogOkWithUnwritableStore_data()
    {
        QTest::addColumn<qint64>("headroom"); // bytes the file may grow by
        QTest::addColumn<bool>("portStored");
        QTest::newRow("no copy of the store can be made") << qint64(-8) << false;
        QTest::newRow("the port does not fit") << qint64(2) << false;
        QTest::newRow("the port fits, the speed does not") << qint64(25) << true;
    }
    void portDialogOkWithUnwritableStore()
    {
        QFETCH(qint64, headroom);
        QFETCH(bool, portStored);
        Pty pty;
        // A store larger than the serial layer's lock file, so the size limit stops the store's
        // writes but not the port's opening.
        const QByteArray stored =
            "[Notes]\nText=" + QByteArray(2000, 'x') + "\n\n" + portsSection(pty);
        TempStore::writeRaw(stored);

        Form1 form;
        bool answered = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<Form2*>(QApplication::activeModalWidget());
            if (!dialog || answered)
                return;
            answered = true;
            QPointer<Form2> guard(dialog);
            answerWithUnwritableStore(*dialog, form, pty, stored, headroom, portStored);
            // A failed check must not leave the modal dialog waiting for an answer.
            if (QTest::currentTestFailed() && guard)
                guard->close();
        });
        poll.start();
        form.load();
        poll.stop();
        QVERIFY(answered);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(form.isVisible());
        QVERIFY(form.comm().portOpen());
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("3"));
        QCOMPARE(TempStore::value("StartUP", "BaudRate"), QStringLiteral("192"));
        form.close();
    }

  private:
    void answerWithUnwritableStore(Form2& dialog, Form1& form, const Pty& pty,
                                   const QByteArray& stored, qint64 headroom, bool portStored)
    {
        QPointer<Form2> guard(&dialog);
        dialog.Text1->setText(QStringLiteral("3"));
        {
            FileSizeLimit limit(stored.size() + headroom);
            QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        }
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(QStringLiteral("could not be stored")),
                 qPrintable(m_messages.first()));
        QVERIFY(dialog.isVisible());
        QVERIFY(form.comm().portOpen());
        QCOMPARE(TempStore::value("Ports", "COM3"), pty.slavePath());
        QCOMPARE(TempStore::value("StartUP", "ComPort", "missing"),
                 portStored ? QStringLiteral("3") : QStringLiteral("missing"));
        QCOMPARE(TempStore::value("StartUP", "BaudRate", "missing"), QStringLiteral("missing"));
        if (!portStored)
            QCOMPARE(TempStore::readRaw(), stored);

        // The store takes writes again: OK once more stores the choice and closes the dialog.
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        QTRY_VERIFY(guard.isNull() || !guard->isVisible());
    }
};

QTEST_MAIN(TestHostileSettings)
#include "tst_hostilesettings.moc"
