#include "link/form1.h"
#include "settings/form2.h"
#include "settings/portsettings.h"
#include "settings/retrycomport.h"
#include "testing/testsupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

using namespace zuno;

// Start-up paths and the two action buttons of the main window ("COM" and "END").
class TestStartup : public QObject
{
    Q_OBJECT
  private:
    QStringList m_messages;

    // Runs Form1's start-up; its modal port dialog must come up, and `answer` handles it. A failed
    // check in the answer closes the dialog, so that the start-up returns.
    void loadAnswering(Form1& form, const std::function<void(Form2&)>& answer)
    {
        bool answered = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QPointer<Form2> dialog = qobject_cast<Form2*>(QApplication::activeModalWidget());
            if (dialog && !std::exchange(answered, true))
                answer(*dialog);
            if (dialog && QTest::currentTestFailed())
                dialog->close();
        });
        poll.start(10);
        form.load();
        QVERIFY(answered);
    }
    static bool checked(Form1& form, const QString& name)
    {
        return form.findChild<QRadioButton*>(name)->isChecked();
    }

  private slots:
    void init()
    {
        TempStore::setUpProcess();
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
        TempStore::clear();
        m_messages.clear();
        PortNumber = BaudCode = SavedPortNumber = SavedBaudCode = 0;
    }

    // First run: the port dialog comes before the panel, and its OK shows the panel on the port,
    // with the long reply window of a start-up without a stored port.
    void emptyStoreOpensDialogFirst()
    {
        Pty pty;
        TempStore::mapPort(2, pty.slavePath());
        Form1 form;
        loadAnswering(form, [&](Form2& dialog) {
            QVERIFY(!form.isVisible());
            QTest::mouseClick(dialog.Option4, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        });
        QVERIFY(m_messages.isEmpty());
        QVERIFY(form.isVisible() && form.comm().portOpen());
        QCOMPARE(form.comm().settings(), QStringLiteral("19200,N,8,1"));
        QCOMPARE(form.Timer2.interval(), 10000);
        QCOMPARE(form.Timer4.interval(), 10500);
        QVERIFY(!form.Timer1.isActive() && !form.Timer2.isActive() && !form.Timer4.isActive());
        QVERIFY(checked(form, "Option1"));
        // "ADRESS" was not read: nothing stored, nothing created.
        QVERIFY(!TempStore::contains("StartUP", "ADRESS"));
    }

    void storedPortOpensAtStoredSpeed_data()
    {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parameters");
        // clang-format off
        QTest::newRow("96 is 9600") << "96" << "9600,N,8,1";
        QTest::newRow("192 is 19200") << "192" << "19200,N,8,1";
        QTest::newRow("missing") << QString() << "19200,N,8,1";
        // clang-format on
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
        QCOMPARE(form.AddressPrefix, QByteArray("A003"));
        QVERIFY(checked(form, "Option5"));
        QCOMPARE(form.Timer2.interval(), 1000);
        QCOMPARE(form.Timer4.interval(), 1200);
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
