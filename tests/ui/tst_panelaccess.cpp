#include "testing/fakelink.h"
#include "testing/testsupport.h"
#include "ui/panelwindow.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

using namespace zuno;

namespace {

// A panel on a fake line already open on COM5, shown and active.
struct Panel
{
    FakeLink link;
    PanelWindow window{link};
    Panel()
    {
        link.open(5, 9600);
        window.show();
        window.activateWindow();
    }
    bool holding() { return window.exchange().isHolding(); }
    void tick() { window.exchange().repeatTimerFired(); }
};

// What the keyboard's own repeat sends while Space stays down: a release and a press.
void autoRepeatSpace(QWidget* target)
{
    for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(target, &event);
    }
}

QString accessibleText(QWidget* widget, QAccessible::Text text)
{
    return QAccessible::queryAccessibleInterface(widget)->text(text);
}

} // namespace

class TestPanelAccess : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }

    // Space held on a focused hold button puts the same bytes on the wire as the mouse held on
    // it for the same repeat ticks; the keyboard's auto-repeat changes nothing.
    void spaceHoldsLikeTheMouse_data()
    {
        QTest::addColumn<PanelButton>("button");
        for (const ButtonSpec& spec : panelButtons()) {
            if (spec.kind == ButtonKind::Hold)
                QTest::newRow(spec.objectName) << spec.id;
        }
    }
    void spaceHoldsLikeTheMouse()
    {
        QFETCH(PanelButton, button);
        Panel panel;
        QVERIFY(QTest::qWaitForWindowActive(&panel.window));
        QPushButton* target = panel.window.button(button);
        QTest::mousePress(target, Qt::LeftButton);
        panel.tick();
        panel.tick();
        QTest::mouseRelease(target, Qt::LeftButton);
        const QByteArray byMouse = panel.link.takeWire();
        QCOMPARE(byMouse.count('\r'), 3);

        target->setFocus();
        QTest::keyPress(target, Qt::Key_Space);
        panel.tick();
        autoRepeatSpace(target);
        panel.tick();
        QVERIFY(target->isDown());
        QTest::keyRelease(target, Qt::Key_Space);
        QVERIFY(!panel.holding());
        panel.tick();
        QCOMPARE(panel.link.takeWire(), byMouse);
    }

    // A Space hold ends when its button loses the focus or the panel the window focus; Space
    // released elsewhere then, or on a button the mouse holds, ends nothing.
    void spaceHoldEndsWithoutRelease()
    {
        Panel panel;
        QVERIFY(QTest::qWaitForWindowActive(&panel.window));
        QPushButton* zoomUp = panel.window.button(PanelButton::ZoomUp);
        QPushButton* focusDown = panel.window.button(PanelButton::FocusDown);
        zoomUp->setFocus();
        QTest::keyPress(zoomUp, Qt::Key_Space);
        focusDown->setFocus();
        QVERIFY(!panel.holding());
        QTest::keyRelease(focusDown, Qt::Key_Space);
        panel.tick();

        QTest::keyPress(focusDown, Qt::Key_Space);
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!panel.holding());

        QTest::mousePress(focusDown, Qt::LeftButton);
        QTest::keyClick(focusDown, Qt::Key_Space);
        QVERIFY(panel.holding());
        QTest::mouseRelease(focusDown, Qt::LeftButton);
        QCOMPARE(panel.link.writes, QList<QByteArray>({"C47\r", "C4A\r", "C4A\r"}));
    }

    // Every button has its own accessible name; an arrow's also shows as its tooltip, a hold
    // button's saying that it repeats. END tells where the rest of the panel is.
    void buttonsAreNamed()
    {
        Panel panel;
        QSet<QString> names;
        for (const ButtonSpec& spec : panelButtons()) {
            QPushButton* button = panel.window.button(spec.id);
            const QString name = accessibleText(button, QAccessible::Name);
            QVERIFY2(!name.isEmpty() && !names.contains(name), spec.objectName);
            names << name;
            if (spec.face == ButtonFace::Caption)
                QVERIFY(name.endsWith(button->text()));
            else
                QVERIFY2(button->toolTip().startsWith(name), spec.objectName);
            QCOMPARE(button->toolTip().contains(QStringLiteral("hold to repeat")),
                     spec.kind == ButtonKind::Hold);
        }
        QCOMPARE(accessibleText(panel.window.button(PanelButton::FocusUp), QAccessible::Name),
                 QStringLiteral("FOCUS up"));
        QVERIFY(
            panel.window.button(PanelButton::End)
                ->toolTip()
                .contains(QKeySequence(Qt::CTRL | Qt::Key_K).toString(QKeySequence::NativeText)));
    }

    // The TxD, RxD and status lines: plain text, named by what they show and described; the
    // mouse selects in them without taking the focus, and "Copy" puts the selection, or the
    // whole line when nothing is selected, on the clipboard.
    void linesCanBeCopied()
    {
        Panel panel;
        QVERIFY(QTest::qWaitForWindowActive(&panel.window));
        const PanelControls& c = panel.window.controls();
        QTest::mouseClick(panel.window.button(PanelButton::Status), Qt::LeftButton);
        panel.link.arrive("00\r");
        QPushButton* focused = panel.window.button(PanelButton::PowerOn);
        focused->setFocus();
        QClipboard* clipboard = QApplication::clipboard();
        for (QLabel* line : {c.txdLine, c.rxdLine, c.statusLine}) {
            QVERIFY(!line->text().isEmpty());
            QCOMPARE(line->textFormat(), Qt::PlainText);
            QCOMPARE(line->focusPolicy(), Qt::NoFocus);
            QCOMPARE(accessibleText(line, QAccessible::Name), line->text());
            QVERIFY(!accessibleText(line, QAccessible::Description).isEmpty());
            QCOMPARE(line->contextMenuPolicy(), Qt::ActionsContextMenu);
            QAction* copy = line->actions().value(0);
            QVERIFY(copy && copy->text() == QStringLiteral("Copy"));

            copy->trigger();
            QCOMPARE(clipboard->text(), line->text());
            // A drag from the start to the middle of the text.
            const QPoint middle(QFontMetrics(line->font()).horizontalAdvance(line->text()) / 2,
                                line->height() / 2);
            QTest::mousePress(line, Qt::LeftButton, {}, QPoint(2, middle.y()));
            QTest::mouseMove(line, middle);
            QTest::mouseRelease(line, Qt::LeftButton, {}, middle);
            QVERIFY(line->hasSelectedText());
            QVERIFY(line->selectedText().size() < line->text().size());
            QCOMPARE(QApplication::focusWidget(), focused);
            copy->trigger();
            QCOMPARE(clipboard->text(), line->selectedText());
        }
    }
};

QTEST_MAIN(TestPanelAccess)
#include "tst_panelaccess.moc"
