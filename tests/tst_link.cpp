#include "link/form1.h"
#include "settings/portsettings.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace zuno;

// The link engine through the real panel: bytes on a pseudo-terminal, echo lines,
// decoded replies, holds and the three timers.
class TestLink : public QObject
{
    Q_OBJECT
  private:
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<Form1> m_form;

    Form1& form() { return *m_form; }
    QString text(const char* label) { return m_form->label(QString::fromLatin1(label))->text(); }
    bool visible(const char* label)
    {
        return m_form->label(QString::fromLatin1(label))->isVisibleTo(m_form.get());
    }
    QPushButton* button(const char* name) { return m_form->button(QString::fromLatin1(name)); }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init()
    {
        TempStore::clear();
        m_pty = std::make_unique<Pty>();
        TempStore::mapPort(8, m_pty->slavePath());
        TempStore::setValue("StartUP", "ComPort", "8");
        TempStore::setValue("StartUP", "BaudRate", "96");
        SendText.clear();
        m_form = std::make_unique<Form1>();
        m_form->load();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QVERIFY(m_form->comm().portOpen());
    }
    void cleanup()
    {
        m_form.reset();
        m_pty.reset();
    }

    void everyButtonSendsItsCommand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("hold");
        const struct
        {
            const char* name;
            const char* command;
            bool hold;
        } rows[] = {
            {"Command17", "C00", false},
            {"Command18", "C01", false},
            {"Command27", "C05", false},
            {"Command28", "C06", false},
            {"Command53", "C07", false},
            {"Command41", "C08", false},
            {"Command21", "C0D", false},
            {"Command22", "C0E", false},
            {"Command25", "C43", false},
            {"Command26", "C44", false},
            {"Command31", "C0F", false},
            {"Command32", "C10", false},
            {"Command9", "C8A", false},
            {"Command34", "C8B", false},
            {"Command23", "C1C", false},
            {"Command24", "C1D", false},
            {"Command6", "C3F", false},
            {"Command5", "C3C", true},
            {"Command7", "C3D", true},
            {"Command38", "C3B", true},
            {"Command8", "C3A", true},
            {"Command10", "C8E", true},
            {"Command35", "C8F", true},
            {"Command4", "C91", true},
            {"Command11", "C90", true},
            {"Command12", "C5D", true},
            {"Command20", "C5E", true},
            {"Command15", "C5F", true},
            {"Command19", "C60", true},
            {"Command30", "C47", true},
            {"Command42", "C46", true},
            {"Command1", "C4B", true},
            {"Command2", "C4A", true},
            {"Command36", "C30", true},
            {"Command37", "C31", true},
            {"Command60", "CF KEYDIS NONE", false},
            {"Command61", "CF KEYDIS RC", false},
            {"Command62", "CF KEYDIS KEY", false},
            {"Command3", "C1E", false},
            {"Command13", "C89", false},
            {"Command73", "C27", false},
            {"Command14", "C8A", false},
            {"Command44", "CR0", false},
            {"Command45", "CR1", false},
            {"Command54", "CR6", false},
            {"Command47", "CR4", false},
            {"Command46", "CR3", false},
            {"Command55", "CRA", false},
            {"Command76", "CR7", false},
            {"Command29", "CR9", false},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.name << QByteArray(row.command) << row.hold;
    }
    void everyButtonSendsItsCommand()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, command);
        QFETCH(bool, hold);
        QPushButton* target = form().button(name);
        QVERIFY(target);
        for (const QByteArray& prefix : {QByteArray(), QByteArray("A003")}) {
            form().AddressPrefix = prefix;
            const QByteArray wire = prefix + command + '\r';
            if (hold) {
                QTest::mousePress(target, Qt::LeftButton);
                QTest::mouseRelease(target, Qt::LeftButton);
            } else {
                QTest::mouseClick(target, Qt::LeftButton);
            }
            QCOMPARE(m_pty->read(2000, wire.size()), wire);
            QCOMPARE(SendText, command + '\r');
            QCOMPARE(m_pty->drain(30), QByteArray());
        }
        // The keyboard sends a click button once, and never starts a hold.
        target->setFocus();
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            QCOMPARE(m_pty->drain(120), hold ? QByteArray() : QByteArray("A003") + command + '\r');
        }
    }

    void transmitEchoAndLegends()
    {
        form().AddressPrefix = "A004";
        QTest::mouseClick(button("Command17"), Qt::LeftButton);
        QCOMPARE(text("Label11"), QStringLiteral(" A 0 0 4 C 0 0  [CR] "));
        QVERIFY(visible("Label28"));
        QVERIFY(!visible("Label27") && !visible("Label19"));
        QCOMPARE(SendText, QByteArray("C00\r"));
        QCOMPARE(form().AwaitingReply, 1);
        QVERIFY(form().Timer2.isActive() && form().Timer4.isActive());

        // A space shows its legend; legends stay across transmits until the reply window closes.
        QTest::mouseClick(button("Command61"), Qt::LeftButton);
        QVERIFY(text("Label11").contains("F _ K E Y"));
        QVERIFY(visible("Label27") && visible("Label28"));
        m_pty->write("\x06\r");
        QTRY_COMPARE(text("Label12"), QStringLiteral("  [ACK]  [CR] "));
        QVERIFY(visible("Label19"));
        QCOMPARE(form().AwaitingReply, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!visible("Label19") && !visible("Label27") && !visible("Label28"),
                                 1500);
        // The reply that did arrive stays on the line after the reply window closes.
        QCOMPARE(text("Label12"), QStringLiteral("  [ACK]  [CR] "));
    }

    void repliesDecodeInAnySplit_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::newRow("status power on") << "Command44" << QByteArray("00\r") << " Power ON";
        QTest::newRow("lamp hours")
            << "Command46" << QByteArray("01234\r") << "   1 2 3 4   Hour Use";
        QTest::newRow("temperature") << "Command54" << QByteArray("035.0 038.5 041.0\r")
                                     << " 0 3 5 . 0 deg C 0 3 8 . 5 deg C 0 4 1 . 0 deg C ";
        QTest::newRow("status 2 is echoed only") << "Command55" << QByteArray("00\r") << "";
    }
    void repliesDecodeInAnySplit()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        for (const int piece : {int(reply.size()), 1}) {
            QTest::mouseClick(form().button(button), Qt::LeftButton);
            m_pty->drain(20);
            for (qsizetype at = 0; at < reply.size(); at += piece) {
                m_pty->write(reply.mid(at, piece));
                const qsizetype upTo = std::min<qsizetype>(at + piece, reply.size());
                QTRY_COMPARE(form().RxBuffer, reply.left(upTo));
                // The length-bound decoders act only on the completing piece.
                const bool lengthBound = button == "Command46" || button == "Command54";
                if (lengthBound && upTo < reply.size())
                    QCOMPARE(text("Label25"), QString());
            }
            QCOMPARE(text("Label25"), status);
            QTRY_COMPARE_WITH_TIMEOUT(text("Label25"), QString(), 2500);
        }
    }

    void consoleReplyDecodesAgainstLastPanelCommand()
    {
        QTest::mouseClick(button("Command44"), Qt::LeftButton);
        form().Hyouji("CR LAMPH\r", Form1::kTransmit);
        QCOMPARE(SendText, QByteArray("CR0\r"));
        m_pty->write("10\r");
        QTRY_COMPARE(text("Label25"), QStringLiteral(" Power abnormality"));
    }

    void noReplyMarkAndDisplayClear()
    {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button("Command44"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral(" X X X X "), 1500);
        QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!text("Label11").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(text("Label11"), QString(), 1000);
        QVERIFY(clock.elapsed() >= 1150);
        QCOMPARE(text("Label12"), QString());
        QVERIFY(!form().Timer2.isActive() && !form().Timer4.isActive());
    }

    void holdRepeatsUntilRelease()
    {
        QPushButton* zoom = button("Command30");
        QTest::mousePress(zoom, Qt::RightButton);
        QCOMPARE(form().HoldActive, 1);
        QCOMPARE(form().RepeatKey, 1);
        QCOMPARE(form().Timer1.interval(), 100);
        // A second press, even on another hold button, changes nothing.
        QTest::mousePress(button("Command42"), Qt::LeftButton);
        QCOMPARE(form().RepeatKey, 1);
        const QByteArray sent = m_pty->drain(560);
        QTest::mouseRelease(zoom, Qt::RightButton);
        const int sends = int(sent.count("C47\r"));
        QVERIFY2(sends >= 5 && sends <= 7, qPrintable(QString::number(sends)));
        QCOMPARE(sent, QByteArray("C47\r").repeated(sends));
        QCOMPARE(text("Label11"), QString());
        QCOMPARE(form().HoldActive, 0);
        QVERIFY(!form().Timer1.isActive() && !form().Timer2.isActive() && form().Timer4.isActive());
        QCOMPARE(form().Timer2.interval(), 500);
        QCOMPARE(form().Timer4.interval(), 1000);
        QCOMPARE(m_pty->drain(300), QByteArray());
        // No no-reply mark after a hold: the reply timer is off.
        QCOMPARE(text("Label12"), QString());

        // A click after the hold: reply window 500 ms.
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button("Command44"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral(" X X X X "), 1000);
        QVERIFY(clock.elapsed() < 900);
    }

    void holdEndsWhenThePanelLosesTheMouse()
    {
        QTest::mousePress(button("Command12"), Qt::LeftButton);
        QCOMPARE(m_pty->read(1000, 4), QByteArray("C5D\r"));
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(&form(), &deactivate);
        QCOMPARE(form().HoldActive, 0);
        QVERIFY(!form().Timer1.isActive());
        QCOMPARE(m_pty->drain(300), QByteArray());

        QTest::mousePress(button("Command36"), Qt::MiddleButton);
        QCOMPARE(m_pty->read(1000, 4), QByteArray("C30\r"));
        button("Command36")->hide();
        QCOMPARE(form().HoldActive, 0);
        QCOMPARE(m_pty->drain(300), QByteArray());
    }

    void menuOnResetsRepeatInterval()
    {
        QTest::mousePress(button("Command5"), Qt::LeftButton);
        QCOMPARE(form().Timer1.interval(), 100);
        QTest::mouseClick(button("Command23"), Qt::LeftButton);
        QCOMPARE(form().Timer1.interval(), 200);
        QTest::mouseRelease(button("Command5"), Qt::LeftButton);
        QVERIFY(!form().Timer1.isActive());
    }

    void panelSizeToggle()
    {
        QCOMPARE(form().height(), Form1::compactClientHeight());
        QWidget* focus = button("Command17");
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(focus, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(focus, Qt::Key_K);
        QCOMPARE(form().height(), Form1::compactClientHeight());
        QCOMPARE(m_pty->drain(50), QByteArray());
        QTest::keyClick(focus, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(form().height(), Form1::fullClientHeight());
        QWidget* other = button("Command44");
        other->setFocus();
        QTest::keyClick(other, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(form().height(), Form1::compactClientHeight());
    }

    void closedPortKeepsPanelUsable()
    {
        form().comm().setPortOpen(false);
        QTest::mouseClick(button("Command17"), Qt::LeftButton);
        QCOMPARE(text("Label11"), QStringLiteral(" C 0 0  [CR] "));
        QCOMPARE(text("Label12"), QStringLiteral(" PORT CLOSED "));
        QTest::qWait(1050);
        QCOMPARE(text("Label12"), QStringLiteral(" PORT CLOSED ")); // no no-reply mark over it
        QTest::mousePress(button("Command19"), Qt::LeftButton);
        QTest::qWait(250);
        QCOMPARE(text("Label12"), QStringLiteral(" PORT CLOSED "));
        QTest::mouseRelease(button("Command19"), Qt::LeftButton);
        QCOMPARE(form().HoldActive, 0);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QString(), 1500);
    }

    void noiseIsBounded()
    {
        QTest::mouseClick(button("Command44"), Qt::LeftButton);
        m_pty->drain(20);
        const QByteArray noise(10000, '\x55');
        m_pty->write(noise);
        QTRY_VERIFY(form().RxBuffer.size() == 4096);
        QTest::qWait(100);
        QCOMPARE(form().RxBuffer.size(), 4096);
        QVERIFY(text("Label12").startsWith(" U U U"));
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
