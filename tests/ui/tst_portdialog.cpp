#include "link/mscomm.h"
#include "settings/form2.h"
#include "settings/portsettings.h"
#include "settings/retrycomport.h"
#include "testing/testsupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace zuno;

class TestPortDialog : public QObject
{
    Q_OBJECT
  private:
    QStringList m_messages;
    QWidget m_main;

    Form2* openDialog(MSComm1& comm)
    {
        auto* dialog = new Form2(comm, &m_main);
        dialog->show();
        return dialog;
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        TempStore::clear();
        m_messages.clear();
        m_main.hide();
        PortNumber = 0;
        BaudCode = 0;
        SavedPortNumber = 0;
        SavedBaudCode = 0;
    }

    void firstRunLoadAndOkWithoutPort()
    {
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("  COM PORT"));
        for (auto* option :
             {dialog->Option3, dialog->Option4, dialog->Option5, dialog->Option6, dialog->Option7})
            QVERIFY(!option->isChecked());
        QVERIFY(dialog->Option2->isChecked());
        QCOMPARE(int(BaudCode), 192);
        QCOMPARE(comm.settings(), QStringLiteral("19200,N,8,1"));
        QCOMPARE(dialog->Text1->text(), QStringLiteral("0"));
        QCOMPARE(dialog->Text1->selectedText(), QStringLiteral("0"));

        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains("No port was chosen"));
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!comm.portOpen());
        QVERIFY(!TempStore::contains("StartUP", "ComPort"));
        delete dialog;
    }

    void typedNumbers()
    {
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QLineEdit* box = dialog->Text1;
        box->setFocus();
        box->setSelection(0, 1);
        QTest::keyClicks(box, "1");
        QCOMPARE(box->text(), QStringLiteral("1"));
        QCOMPARE(int(PortNumber), 1);
        QTest::keyClicks(box, "2");
        QCOMPARE(int(PortNumber), 12);
        box->setText("1");
        QTest::keyClicks(box, "6");
        QCOMPARE(box->text(), QStringLiteral("0"));
        QCOMPARE(int(PortNumber), 1);

        // Anything that is not a whole number from 0 to 255 resets the box, never the port.
        for (const char* text : {"", "a", "-1", "+3", "1.5", " 4", "256", "99999", "\xc2\xb3"}) {
            box->setText(QString::fromUtf8(text));
            QCOMPARE(box->text(), QStringLiteral("0"));
            QCOMPARE(int(PortNumber), 1);
        }
        box->setText("015");
        QCOMPARE(int(PortNumber), 15);
        // Leading zeros do not make a number longer than three digits unreadable.
        box->setText("0007");
        QCOMPARE(box->text(), QStringLiteral("0007"));
        QCOMPARE(int(PortNumber), 7);
        delete dialog;
    }

    void optionThenTypedNumberOpensTypedPort()
    {
        Pty pty;
        TempStore::mapPort(7, pty.slavePath());
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QTest::mouseClick(dialog->Option5, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(int(PortNumber), 3);
        QTest::mouseClick(dialog->Option1, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(int(BaudCode), 96);
        dialog->Text1->setSelection(0, 1);
        QTest::keyClicks(dialog->Text1, "7");
        QVERIFY(dialog->Option5->isChecked());
        QCOMPARE(int(PortNumber), 7);

        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QVERIFY(m_messages.isEmpty());
        QVERIFY(comm.portOpen());
        QCOMPARE(comm.commPort(), 7);
        QCOMPARE(comm.settings(), QStringLiteral("9600,N,8,1"));
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("7"));
        QCOMPARE(TempStore::value("StartUP", "BaudRate"), QStringLiteral("96"));
        QVERIFY(!TempStore::contains("StartUP", "ADRESS"));
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(m_main.isVisible());
    }

    void cancelReturnsToPreviousPort_data()
    {
        QTest::addColumn<bool>("previousStillThere");
        QTest::newRow("previous port reopens") << true;
        QTest::newRow("previous port vanished") << false;
    }
    void cancelReturnsToPreviousPort()
    {
        QFETCH(bool, previousStillThere);
        Pty pty;
        TempStore::mapPort(4, previousStillThere ? pty.slavePath() : "/dev/zuno-test-gone");
        SavedPortNumber = PortNumber = 4;
        SavedBaudCode = BaudCode = 96;
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QVERIFY(dialog->Option6->isChecked());
        QTest::mouseClick(dialog->Option7, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(dialog->Option2, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(int(PortNumber), 5);
        QCOMPARE(int(BaudCode), 192);

        QTest::mouseClick(dialog->Command2, Qt::LeftButton);
        QCOMPARE(int(PortNumber), 4);
        QCOMPARE(int(BaudCode), 96);
        QCOMPARE(comm.settings(), QStringLiteral("9600,N,8,1"));
        QVERIFY(!TempStore::contains("StartUP", "ComPort"));
        if (previousStillThere) {
            QVERIFY(m_messages.isEmpty());
            QVERIFY(comm.portOpen());
            QCOMPARE(comm.commPort(), 4);
            QTRY_VERIFY(dialog.isNull());
        } else {
            QCOMPARE(m_messages.size(), 1);
            QVERIFY(m_messages.first().contains("no such device"));
            QVERIFY(dialog && dialog->isVisible());
            QVERIFY(dialog->Option7->isChecked());
            QVERIFY(dialog->Option1->isChecked());
            delete dialog;
        }
    }

    void cancelWithoutEarlierPortKeepsDialog()
    {
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QTest::mouseClick(dialog->Option4, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(dialog->Command2, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(int(PortNumber), 0);
        QVERIFY(dialog && dialog->isVisible());
        delete dialog;
    }

    void refusedPortsSayWhy()
    {
        Pty pty;
        TempStore::mapPort(2, pty.slavePath());
        MSComm1 holder;
        holder.setCommPort(2);
        QVERIFY(holder.setPortOpen(true));

        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QTest::mouseClick(dialog->Option4, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.last().contains("in use"), qPrintable(m_messages.last()));
        QVERIFY(!comm.portOpen());

        dialog->Text1->setText("12");
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 2);
        QVERIFY2(m_messages.last().contains("/dev/ttyUSB7"), qPrintable(m_messages.last()));
        QVERIFY(!TempStore::contains("StartUP", "ComPort"));
        delete dialog;
    }

    void failedStoreWriteKeepsPortUsable()
    {
        Pty pty;
        // A long device name makes the store's file larger than the lock file the serial
        // layer writes, so a file size limit between the two fails only the store.
        QTemporaryDir dir;
        const QString device = dir.filePath(QString(150, u'p'));
        QVERIFY(QFile::link(pty.slavePath(), device));
        TempStore::mapPort(1, device);
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QTest::mouseClick(dialog->Option3, Qt::LeftButton, {}, QPoint(5, 5));
        {
            FileSizeLimit storeFull(120);
            QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        }
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains("could not be stored"));
        QVERIFY(comm.portOpen());
        QVERIFY(dialog && dialog->isVisible());

        // Nothing half-written is left behind.
        QCOMPARE(TempStore::value("Ports", "COM1"), device);
        QVERIFY(!TempStore::contains("StartUP", "ComPort"));
        // OK again once the store is writable: the open port is closed and opened again.
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(comm.portOpen());
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("1"));
        QTRY_VERIFY(dialog.isNull());
    }

    void closeBoxDoesNothing()
    {
        MSComm1 comm;
        QPointer<Form2> dialog = openDialog(comm);
        QTest::mouseClick(dialog->Option5, Qt::LeftButton, {}, QPoint(5, 5));
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(int(PortNumber), 3);
        QVERIFY(!comm.portOpen());
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!QFile::exists(TempStore::filePath()));
    }
};

QTEST_MAIN(TestPortDialog)
#include "tst_portdialog.moc"
