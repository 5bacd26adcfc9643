#include "links/portnaming.h"
#include "testing/fakepanel.h"
#include "testing/testsupport.h"
#include "ui/portdialog.h"
#include "ui/retrycomport.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

namespace {

// A port dialog, shown, whose choices come back to it as the session gives them back.
struct Dialog
{
    QPointer<PortDialog> dialog;
    QSignalSpy picks, oks, cancels;
    explicit Dialog(const PortNaming& naming, PortChoice choice = {})
        : dialog(new PortDialog(naming, choice)), picks(dialog.data(), &PortDialog::choicePicked),
          oks(dialog.data(), &PortDialog::okPressed),
          cancels(dialog.data(), &PortDialog::cancelPressed)
    {
        QObject::connect(dialog, &PortDialog::choicePicked, dialog, &PortDialog::showChoice);
        dialog->show();
    }
    ~Dialog() { delete dialog; }
    PortDialog* operator->() const { return dialog; }
    PortChoice lastPick() const { return picks.last().first().value<PortChoice>(); }
};

void pick(QAbstractButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, 5));
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
    // for typing over. A typed number from 1 to 15 is picked as the port; anything else puts "0"
    // back in the box and picks nothing. Esc does not end the dialog; OK and Cancel are requests.
    void typedNumbersAndButtons()
    {
        const zuno::Settings settings;
        const PortNaming naming(settings);
        Dialog d(naming);
        for (const QRadioButton* option : d->comOptions)
            QVERIFY(!option->isChecked());
        QVERIFY(d->baud19200Option->isChecked());
        QLineEdit* box = d->otherPortBox;
        QCOMPARE(box->selectedText(), QStringLiteral("0"));
        QTest::keyClicks(box, QStringLiteral("1"));
        QCOMPARE(box->text(), QStringLiteral("1"));
        QCOMPARE(d.lastPick(), (PortChoice{1, 19200}));
        QTest::keyClicks(box, QStringLiteral("2"));
        QCOMPARE(d.lastPick(), (PortChoice{12, 19200}));
        const qsizetype picked = d.picks.size();
        for (const char* text :
             {"126", "", "a", "-1", "+3", "1.5", " 4", "16", "256", "99999", "\xc2\xb3"}) {
            box->setText(QString::fromUtf8(text));
            QCOMPARE(box->text(), QStringLiteral("0"));
        }
        QCOMPARE(d.picks.size(), picked);
        box->setText(QStringLiteral("0007"));
        QCOMPARE(box->text(), QStringLiteral("0007"));
        QCOMPARE(d.lastPick(), (PortChoice{7, 19200}));

        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(d->isVisible());
        QTest::mouseClick(d->okButton, Qt::LeftButton);
        QTest::mouseClick(d->cancelButton, Qt::LeftButton);
        QVERIFY(d.oks.size() == 1 && d.cancels.size() == 1 && d->isVisible());
    }

    // Port and speed options pick their part of the choice. A choice given back (a Cancel that
    // went back to an earlier port) moves the speed options; the port options keep what the
    // operator clicked.
    void optionsAndTheChoiceGivenBack()
    {
        const zuno::Settings settings;
        const PortNaming naming(settings);
        Dialog d(naming, {4, 9600});
        QVERIFY(d->comOptions[3]->isChecked() && d->baud9600Option->isChecked());
        pick(d->comOptions[4]);
        pick(d->baud19200Option);
        QCOMPARE(d.lastPick(), (PortChoice{5, 19200}));
        d->showChoice({4, 9600});
        QVERIFY(d->baud9600Option->isChecked() && d->comOptions[4]->isChecked());
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
        zuno::Settings settings;
        Session session(settings);
        PanelWindow panel(session);
        panel.show();
        QTest::mouseClick(panel.controls().button(PanelButton::Com), Qt::LeftButton);
        QPointer<PortDialog> dialog = openWindow<PortDialog>("portDialog");
        QVERIFY(dialog);
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
    }
};

QTEST_MAIN(TestPortDialog)
#include "tst_portdialog.moc"
