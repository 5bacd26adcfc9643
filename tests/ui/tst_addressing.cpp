#include "link/form1.h"
#include "settings/portsettings.h"
#include "testing/testsupport.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace zuno;

// The address row: what each option puts on the wire, what is restored at start-up and
// stored at close, and the keyboard focus a technician starts with.
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

    // Choosing an address sends and stores nothing; the next command carries its prefix,
    // and closing stores the choice.
    void chosenOptionPrefixesAndIsStored_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("SINGLE") << 1 << QByteArray();
        QTest::newRow("ALL") << 2 << QByteArray("AFFF");
        QTest::newRow("001") << 3 << QByteArray("A001");
        QTest::newRow("002") << 4 << QByteArray("A002");
        QTest::newRow("003") << 5 << QByteArray("A003");
        QTest::newRow("004") << 6 << QByteArray("A004");
    }
    void chosenOptionPrefixesAndIsStored()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, prefix);
        TempStore::setValue("StartUP", "ADRESS", number == 1 ? "A004" : "");
        auto form = startPanel();
        const QByteArray storedBefore = TempStore::readRaw();
        QTest::mouseClick(option(*form, number), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(m_pty->drain(100), QByteArray());
        QCOMPARE(TempStore::readRaw(), storedBefore);
        QTest::mouseClick(form->button("Command17"), Qt::LeftButton);
        QCOMPARE(m_pty->read(2000, prefix.size() + 4), prefix + "C00\r");
        QCOMPARE(SendText, QByteArray("C00\r"));
        form->close();
        QCOMPARE(TempStore::value("StartUP", "ADRESS", "missing"), QString::fromLatin1(prefix));
    }

    // Only an exact stored prefix selects its option; anything else means SINGLE. Focus
    // starts on POWER On, so Space powers on the restored address.
    void restoreAtStartUp_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("selected");
        QTest::newRow("A003") << "A003" << 5;
        QTest::newRow("lower case") << "a001" << 1;
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
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(QApplication::focusWidget(), form->button("Command17"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(m_pty->read(2000, expected.size() + 4), expected + "C00\r");
    }
};

QTEST_MAIN(TestAddressing)
#include "tst_addressing.moc"
