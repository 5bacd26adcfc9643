#include "link/form1.h"
#include "settings/form2.h"
#include "settings/portsettings.h"
#include "settings/retrycomport.h"
#include "support/testsupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

using namespace zuno;

// Start-up paths, the close handler and the two action buttons of the main window.
class TestStartup : public QObject
{
    Q_OBJECT
  private:
    QStringList m_messages;

    // Runs Form1's start-up; while its modal port dialog is up, `answer` handles it.
    void loadAnswering(Form1& form, std::function<void(Form2&)> answer)
    {
        bool answered = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<Form2*>(QApplication::activeModalWidget());
            if (!dialog || answered)
                return;
            answered = true;
            answer(*dialog);
        });
        poll.start();
        form.load();
        poll.stop();
        QVERIFY(answered);
    }

    static QRadioButton* option(Form1& form, const char* name)
    {
        return form.findChild<QRadioButton*>(QString::fromLatin1(name));
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
        PortNumber = 0;
        BaudCode = 0;
        SavedPortNumber = 0;
        SavedBaudCode = 0;
    }

    void emptyStoreOpensDialogFirst()
    {
        Pty pty;
        TempStore::mapPort(2, pty.slavePath());
        Form1 form;
        loadAnswering(form, [&](Form2& dialog) {
            QVERIFY(!form.isVisible());
            QCOMPARE(int(PortNumber), 0);
            QVERIFY(dialog.Option2->isChecked());
            QTest::mouseClick(dialog.Option4, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        });
        QVERIFY(m_messages.isEmpty());
        QVERIFY(form.isVisible());
        QVERIFY(form.comm().portOpen());
        QCOMPARE(form.comm().settings(), QStringLiteral("19200,N,8,1"));
        QCOMPARE(form.Timer2.interval(), 10000);
        QCOMPARE(form.Timer4.interval(), 10500);
        QVERIFY(!form.Timer1.isActive() && !form.Timer2.isActive() && !form.Timer4.isActive());
        QVERIFY(option(form, "Option1")->isChecked());
        QCOMPARE(form.AddressPrefix, QByteArray());
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("2"));
        QCOMPARE(TempStore::value("StartUP", "BaudRate"), QStringLiteral("192"));
        // "ADRESS" and "BaudRate" were not read: nothing stored, nothing created.
        QVERIFY(!TempStore::contains("StartUP", "ADRESS"));
    }

    void storedPortOpensAtStoredSpeed_data()
    {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parameters");
        QTest::newRow("96 is 9600") << "96"
                                    << "9600,N,8,1";
        QTest::newRow("192 is 19200") << "192"
                                      << "19200,N,8,1";
        QTest::newRow("9600 is no code") << "9600"
                                         << "19200,N,8,1";
        QTest::newRow("missing") << QString() << "19200,N,8,1";
    }
    void storedPortOpensAtStoredSpeed()
    {
        QFETCH(QString, baud);
        QFETCH(QString, parameters);
        Pty pty;
        TempStore::mapPort(3, pty.slavePath());
        TempStore::setValue("StartUP", "ComPort", " 3");
        if (!baud.isNull())
            TempStore::setValue("StartUP", "BaudRate", baud);
        TempStore::setValue("StartUP", "ADRESS", "A003");
        Form1 form;
        form.load();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(form.comm().portOpen());
        QCOMPARE(form.comm().settings(), parameters);
        QCOMPARE(int(BaudCode), parameters.startsWith("9600") ? 96 : 192);
        QCOMPARE(form.AddressPrefix, QByteArray("A003"));
        QVERIFY(option(form, "Option5")->isChecked());
        QCOMPARE(form.Timer2.interval(), 1000);
        QCOMPARE(form.Timer4.interval(), 1200);
        QVERIFY(!form.Timer2.isActive() && !form.Timer4.isActive());
        QCOMPARE(form.height(), Form1::compactClientHeight());

        // Centred across, lifted 1350 twips above the middle of the design's 5000-twip height.
        const QRect screen = form.screen()->geometry();
        const float top = (float(screen.height() * 15) - 5000.0f) / 2.0f - 1350.0f;
        QCOMPARE(form.pos().y(), qRound(top / 15));
        QVERIFY(qAbs(form.frameGeometry().center().x() - screen.center().x()) <= 1);
    }

    void storedPortThatDoesNotOpen()
    {
        TempStore::mapPort(3, "/dev/zuno-test-absent");
        TempStore::setValue("StartUP", "ComPort", "3");
        TempStore::setValue("StartUP", "BaudRate", "96");
        TempStore::setValue("StartUP", "ADRESS", "A002");
        Form1 form;
        loadAnswering(form, [&](Form2& dialog) {
            QVERIFY(dialog.Option5->isChecked());
            QVERIFY(dialog.Option1->isChecked());
            QCOMPARE(int(BaudCode), 96);
            dialog.close();
        });
        QVERIFY(!form.comm().portOpen());
        QCOMPARE(form.Timer2.interval(), 10000);
        QCOMPARE(form.AddressPrefix, QByteArray("A002"));
        QCOMPARE(TempStore::value("StartUP", "ComPort"), QStringLiteral("3"));
    }

    void invalidStoredPortsGoToTheDialog_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("16") << "16";
        QTest::newRow("0") << "0";
        QTest::newRow("-1") << "-1";
        QTest::newRow("letters") << "DATAC";
        QTest::newRow("too large") << "4294967299";
    }
    void invalidStoredPortsGoToTheDialog()
    {
        QFETCH(QString, stored);
        TempStore::setValue("StartUP", "ComPort", stored);
        TempStore::setValue("StartUP", "ADRESS", "AFFF");
        Form1 form;
        loadAnswering(form, [](Form2& dialog) { dialog.close(); });
        QCOMPARE(int(PortNumber), 0);
        // "ADRESS" was not read: the panel runs with "SINGLE".
        QCOMPARE(form.AddressPrefix, QByteArray());
        QVERIFY(option(form, "Option1")->isChecked());
    }

    void cancelAfterFallbackKeepsAsking()
    {
        Pty pty;
        TempStore::mapPort(1, pty.slavePath());
        Form1 form;
        loadAnswering(form, [&](Form2& dialog) {
            QTest::mouseClick(dialog.Command2, Qt::LeftButton);
            QCOMPARE(m_messages.size(), 1);
            QVERIFY(dialog.isVisible());
            QTest::mouseClick(dialog.Option3, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        });
        QVERIFY(form.comm().portOpen());
    }

    void closingStoresAddressAndClosesPort()
    {
        Pty pty;
        TempStore::mapPort(6, pty.slavePath());
        TempStore::setValue("StartUP", "ComPort", "6");
        TempStore::setValue("StartUP", "ADRESS", "A004");
        {
            Form1 form;
            form.load();
            form.show();
            QVERIFY(form.comm().portOpen());
            form.close();
            QVERIFY(!form.comm().portOpen());
        }
        // Stored even though nothing changed.
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A004"));

        TempStore::setValue("StartUP", "ADRESS", "junk");
        Form1 form;
        form.load();
        QCOMPARE(form.AddressPrefix, QByteArray());
        form.close();
        QCOMPARE(TempStore::value("StartUP", "ADRESS", "missing"), QString());
    }

    void closingWithUnwritableStoreStillCloses()
    {
        Pty pty;
        TempStore::mapPort(6, pty.slavePath());
        TempStore::setValue("StartUP", "ComPort", "6");
        Form1 form;
        form.load();
        form.show();
        QVERIFY(QFile::remove(TempStore::filePath()));
        QVERIFY(QDir().mkpath(TempStore::filePath()));
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QVERIFY(!form.comm().portOpen());
        QVERIFY(QDir(TempStore::filePath()).removeRecursively());
    }

    void comButtonReopensThroughTheDialog()
    {
        Pty pty;
        TempStore::mapPort(4, pty.slavePath());
        TempStore::setValue("StartUP", "ComPort", "4");
        TempStore::setValue("StartUP", "BaudRate", "96");
        Form1 form;
        form.load();
        form.show();
        QPushButton* com = form.button("Command33");
        QVERIFY(com);
        QTest::mouseClick(com, Qt::LeftButton);
        QVERIFY(!form.comm().portOpen());
        QCOMPARE(int(SavedPortNumber), 4);
        QCOMPARE(int(SavedBaudCode), 96);
        QPointer<Form2> dialog = form.portDialog();
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        // The panel stays usable, and a second click takes fresh copies without reloading.
        QTest::mouseClick(dialog->Option7, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(com, Qt::LeftButton);
        QCOMPARE(int(SavedPortNumber), 5);
        QCOMPARE(form.portDialog(), dialog.data());
        QVERIFY(dialog->Option7->isChecked());

        QTest::mouseClick(dialog->Command2, Qt::LeftButton); // back to port 5: not mapped, missing
        QCOMPARE(m_messages.size(), 1);
        dialog->Text1->setText("4");
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QVERIFY(form.comm().portOpen());
        QTRY_VERIFY(dialog.isNull());
    }

    void endClosesEverything()
    {
        Pty pty;
        TempStore::mapPort(4, pty.slavePath());
        TempStore::setValue("StartUP", "ComPort", "4");
        TempStore::setValue("StartUP", "ADRESS", "A001");
        Form1 form;
        form.load();
        form.show();
        QTest::mouseClick(form.button("Command33"), Qt::LeftButton);
        QPointer<Form2> dialog = form.portDialog();
        QVERIFY(dialog);
        QTest::mouseClick(form.button("Command16"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QVERIFY(dialog.isNull());
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A001"));
        QVERIFY(!form.comm().portOpen());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
