#include "links/seriallink.h"
#include "testing/fakelink.h"
#include "testing/testsupport.h"
#include "ui/portdialog.h"
#include "ui/retrycomport.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

namespace {

// A port dialog, shown, on a fake line that is still closed.
struct Dialog
{
    FakeLink link;
    QPointer<PortDialog> dialog;
    QSignalSpy ready;
    explicit Dialog(PortChoice choice = {}, PortChoice saved = {})
        : dialog(new PortDialog(link, choice, saved)), ready(dialog.data(), &PortDialog::portReady)
    {
        dialog->show();
    }
    ~Dialog() { delete dialog; }
    PortDialog* operator->() const { return dialog; }
};

void pick(QAbstractButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, 5));
}

QString stored(const char* key)
{
    return TempStore::value("StartUP", key, "missing");
}

// What a label or tooltip shows of `text`: markup is rendered when the format says so or, as a
// tooltip does, when the text merely looks like markup.
QString shownText(const QString& text, Qt::TextFormat format = Qt::AutoText)
{
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

// Lets `trigger` show the real "Retry Comport" box, reads what its informative text shows, and
// answers the box.
QString retryBoxText(const std::function<void()>& trigger)
{
    QString shown = QStringLiteral("no box");
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        shown = label ? shownText(label->text(), label->textFormat()) : QStringLiteral("no label");
        box->done(QMessageBox::Ok);
    });
    poll.start(10);
    trigger();
    return shown;
}

} // namespace

class TestPortDialog : public QObject
{
    Q_OBJECT
    QStringList m_messages;

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init()
    {
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
        TempStore::clear();
        m_messages.clear();
    }

    // Without a port the dialog opens on 19200 and no COM option, with "0" selected in the box
    // for typing over, and OK says that no port was chosen. A typed number from 1 to 15 becomes
    // the port and reaches the panel; anything else puts "0" back in the box and keeps the
    // port. The close box only closes: no port opens, nothing is stored.
    void typedNumbersAndNoPort()
    {
        Dialog d;
        for (const QRadioButton* option : d->comOptions)
            QVERIFY(!option->isChecked());
        QVERIFY(d->baud19200Option->isChecked() && d->choice() == (PortChoice{0, kBaud19200}));
        QTest::mouseClick(d->okButton, Qt::LeftButton);
        QVERIFY(m_messages.size() == 1 && m_messages[0].contains("No port was chosen"));

        QSignalSpy changes(d.dialog.data(), &PortDialog::choiceChanged);
        QLineEdit* box = d->otherPortBox;
        QCOMPARE(box->selectedText(), QStringLiteral("0"));
        QTest::keyClicks(box, QStringLiteral("1"));
        QCOMPARE(box->text(), QStringLiteral("1"));
        QCOMPARE(changes.last().first().value<PortChoice>(), (PortChoice{1, kBaud19200}));
        QTest::keyClicks(box, QStringLiteral("2"));
        QCOMPARE(d->choice().port, 12);
        for (const char* text :
             {"126", "", "a", "-1", "+3", "1.5", " 4", "16", "256", "99999", "\xc2\xb3"}) {
            box->setText(QString::fromUtf8(text));
            QCOMPARE(box->text(), QStringLiteral("0"));
            QCOMPARE(d->choice().port, 12);
        }
        box->setText(QStringLiteral("0007"));
        QCOMPARE(box->text(), QStringLiteral("0007"));
        QCOMPARE(changes.last().first().value<PortChoice>().port, 7);

        d->close();
        QTRY_VERIFY(d.dialog.isNull());
        QVERIFY(d.link.openCalls == 0 && d.ready.isEmpty() && m_messages.size() == 1);
        QVERIFY(!QFile::exists(TempStore::filePath()));
    }

    // A port that refuses: its reason reaches the message, nothing is stored. A number typed
    // after an option wins; OK opens it at the chosen speed, stores port and speed (and nothing
    // else), and closes the dialog.
    void refusedThenTypedPortOpens()
    {
        Dialog d;
        const QString reason = QStringLiteral("COM3 (/dev/ttyS2) is in use by another program");
        d.link.refusals.insert(3, reason);
        pick(d->comOptions[2]);
        pick(d->baud9600Option);
        QTest::mouseClick(d->okButton, Qt::LeftButton);
        QVERIFY(m_messages == QStringList{reason} && !d.link.isOpen() && d.ready.isEmpty());
        QCOMPARE(stored("ComPort"), QStringLiteral("missing"));

        QTest::keyClicks(d->otherPortBox, QStringLiteral("7"));
        QVERIFY(d->comOptions[2]->isChecked());
        QTest::mouseClick(d->okButton, Qt::LeftButton);
        QVERIFY(m_messages.size() == 1 && d.link.isOpen() && d.ready.count() == 1);
        QVERIFY(d.link.port == 7 && d.link.bitsPerSecond == 9600);
        QCOMPARE(stored("ComPort"), QStringLiteral("7"));
        QCOMPARE(stored("BaudRate"), QStringLiteral("96"));
        QCOMPARE(stored("ADRESS"), QStringLiteral("missing"));
        QTRY_VERIFY(d.dialog.isNull());
    }

    // Cancel goes back to the earlier port and speed and opens it, storing nothing; when that
    // port refuses now, the message says why and the dialog stays.
    void cancelGoesBackToTheEarlierPort()
    {
        for (const bool refusedNow : {false, true}) {
            const PortChoice earlier{4, kBaud9600};
            Dialog d(earlier, earlier);
            if (refusedNow)
                d.link.refusals.insert(4, QStringLiteral("COM4 is gone"));
            QVERIFY(d->comOptions[3]->isChecked());
            pick(d->comOptions[4]);
            pick(d->baud19200Option);
            QCOMPARE(d->choice(), (PortChoice{5, kBaud19200}));
            QTest::mouseClick(d->cancelButton, Qt::LeftButton);
            QVERIFY(d->choice() == earlier && d->baud9600Option->isChecked());
            QVERIFY(d.link.port == 4 && d.link.bitsPerSecond == 9600);
            QVERIFY(d.link.isOpen() != refusedNow && d.ready.count() == (refusedNow ? 0 : 1));
            QCOMPARE(m_messages, refusedNow ? QStringList{"COM4 is gone"} : QStringList());
            QCOMPARE(stored("ComPort"), QStringLiteral("missing"));
            QTRY_COMPARE(d.dialog.isNull(), !refusedNow);
        }
    }

    // The port opens and the store refuses port and speed, which go in one replacement: the
    // message says so, the port stays open, no new port is stored with an old speed. OK again, once
    // the store can be written, closes that port and opens and stores the one chosen now.
    void failedStoreWriteKeepsThePortOpen()
    {
        const QByteArray notes = "[Notes]\nText=" + QByteArray(2000, 'x') + '\n';
        TempStore::writeRaw(notes);
        Dialog d;
        pick(d->comOptions[0]);
        {
            FileSizeLimit storeFull(notes.size() + 25);
            QTest::mouseClick(d->okButton, Qt::LeftButton);
        }
        QVERIFY(m_messages.size() == 1 && m_messages[0].contains("could not be stored"));
        QVERIFY(d.link.isOpen() && d->isVisible() && d.ready.isEmpty());
        QCOMPARE(stored("ComPort"), QStringLiteral("missing"));
        QCOMPARE(stored("BaudRate"), QStringLiteral("missing"));
        QCOMPARE(TempStore::value("Notes", "Text"), QString(2000, u'x'));

        pick(d->comOptions[1]);
        QTest::mouseClick(d->okButton, Qt::LeftButton);
        QVERIFY(m_messages.size() == 1 && d.link.isOpen() && d.link.port == 2);
        QCOMPARE(stored("ComPort"), QStringLiteral("2"));
        QCOMPARE(stored("BaudRate"), QStringLiteral("192"));
        QCOMPARE(d.ready.count(), 1);
        QTRY_VERIFY(d.dialog.isNull());
    }

    // A mapped path is the user's own text and the reason a port refused comes from the system:
    // the real box and the COM options' tooltips show them as written, never as markup or links.
    void outsideTextShowsAsWritten()
    {
        QTemporaryDir dir;
        // A real file whose path ends in markup: a folder "<a href=x>y<" holding "a>".
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("<a href=x>y<")));
        const QString path = dir.filePath(QStringLiteral("<a href=x>y</a>"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        TempStore::mapPort(1, path);
        SerialLink link;
        QPointer<PortDialog> dialog(new PortDialog(link, {}, {}));
        dialog->show();
        QCOMPARE(shownText(dialog->comOptions[0]->toolTip()),
                 QStringLiteral("COM1 opens %1 (present)").arg(path));

        RetryComport::setHookForTesting({});
        const QString refused = retryBoxText([&] {
            pick(dialog->comOptions[0]);
            QTest::mouseClick(dialog->okButton, Qt::LeftButton);
        });
        QVERIFY2(refused.startsWith(QStringLiteral("COM1 is %1: refused: ").arg(path)),
                 qPrintable(refused));
        const QString lines = QStringLiteral("first line\n<b>second</b> &amp; <i>third</i>");
        QCOMPARE(retryBoxText([&] { RetryComport::show(dialog, lines); }), lines);
        delete dialog;
    }
};

QTEST_MAIN(TestPortDialog)
#include "tst_portdialog.moc"
