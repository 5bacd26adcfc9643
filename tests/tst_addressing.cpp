#include "link/form1.h"
#include "settings/portsettings.h"
#include "support/testsupport.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace zuno;

// The address row: what each option puts on the wire, what is restored at start-up
// and stored at close, and the keyboard focus a technician starts with.
class TestAddressing : public QObject
{
    Q_OBJECT
  private:
    std::unique_ptr<Pty> m_pty;

    std::unique_ptr<Form1> startPanel()
    {
        auto form = std::make_unique<Form1>();
        form->load();
        form->show();
        return form;
    }
    static QRadioButton* option(Form1& form, int n)
    {
        return form.findChild<QRadioButton*>(QStringLiteral("Option%1").arg(n));
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init()
    {
        TempStore::clear();
        m_pty = std::make_unique<Pty>();
        TempStore::mapPort(2, m_pty->slavePath());
        TempStore::setValue("StartUP", "ComPort", "2");
    }
    void cleanup() { m_pty.reset(); }

    void optionPrefixOnTheWire_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("SINGLE") << 1 << QByteArray("C00\r");
        QTest::newRow("ALL") << 2 << QByteArray("AFFFC00\r");
        QTest::newRow("001") << 3 << QByteArray("A001C00\r");
        QTest::newRow("002") << 4 << QByteArray("A002C00\r");
        QTest::newRow("003") << 5 << QByteArray("A003C00\r");
        QTest::newRow("004") << 6 << QByteArray("A004C00\r");
    }
    void optionPrefixOnTheWire()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, wire);
        TempStore::setValue("StartUP", "ADRESS", number == 1 ? "A004" : "");
        auto form = startPanel();
        const QByteArray storedBefore = TempStore::readRaw();
        QTest::mouseClick(option(*form, number), Qt::LeftButton, {}, QPoint(4, 4));
        QVERIFY(option(*form, number)->isChecked());
        // Choosing an address sends nothing and stores nothing.
        QCOMPARE(m_pty->drain(100), QByteArray());
        QCOMPARE(TempStore::readRaw(), storedBefore);
        QTest::mouseClick(form->button("Command17"), Qt::LeftButton);
        QCOMPARE(m_pty->read(2000, wire.size()), wire);
        QCOMPARE(SendText, QByteArray("C00\r"));
    }

    void restoreAtStartUp_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("selected");
        QTest::newRow("AFFF") << "AFFF" << 2;
        QTest::newRow("A001") << "A001" << 3;
        QTest::newRow("A002") << "A002" << 4;
        QTest::newRow("A003") << "A003" << 5;
        QTest::newRow("A004") << "A004" << 6;
        QTest::newRow("lower case") << "a001" << 1;
        QTest::newRow("leading blank") << " A001" << 1;
        QTest::newRow("trailing blank") << "\"A001 \"" << 1;
        QTest::newRow("no such projector") << "A005" << 1;
        QTest::newRow("default text") << "DATAD" << 1;
        QTest::newRow("empty") << "" << 1;
    }
    void restoreAtStartUp()
    {
        QFETCH(QString, stored);
        QFETCH(int, selected);
        TempStore::setValue("StartUP", "ADRESS", stored);
        auto form = startPanel();
        for (int n = 1; n <= 6; ++n)
            QCOMPARE(option(*form, n)->isChecked(), n == selected);
        const QByteArray expected = selected == 1 ? QByteArray() : stored.toLatin1();
        QCOMPARE(form->AddressPrefix, expected);
        QTest::mouseClick(form->button("Command44"), Qt::LeftButton);
        QCOMPARE(m_pty->read(2000, expected.size() + 4), expected + "CR0\r");
    }

    void choiceSurvivesARestart()
    {
        {
            auto form = startPanel();
            QTest::mouseClick(option(*form, 2), Qt::LeftButton, {}, QPoint(4, 4));
            form->close();
        }
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("AFFF"));
        {
            auto form = startPanel();
            QVERIFY(option(*form, 2)->isChecked());
            QTest::mouseClick(option(*form, 1), Qt::LeftButton, {}, QPoint(4, 4));
            form->close();
        }
        QCOMPARE(TempStore::value("StartUP", "ADRESS", "missing"), QString());
        auto form = startPanel();
        QVERIFY(option(*form, 1)->isChecked());
    }

    void keyboardStartsOnPowerOn_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("enter") << int(Qt::Key_Return);
    }
    void keyboardStartsOnPowerOn()
    {
        QFETCH(int, key);
        auto form = startPanel();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(QApplication::focusWidget(), form->button("Command17"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(m_pty->read(2000, 4), QByteArray("C00\r"));
    }
};

QTEST_MAIN(TestAddressing)
#include "tst_addressing.moc"
