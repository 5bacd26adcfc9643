#include "testing/fakepanel.h"
#include "testing/testsupport.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

namespace {

// A panel at its full height on a fake line already open on COM5, without the start-up.
struct Panel : FakePanel
{
    Panel()
    {
        link.open(5, 9600);
        window.setFixedHeight(PanelWindow::fullClientHeight());
    }
    bool holding() { return session.exchange().isHolding(); }
    QRect rectOf(const QWidget* w) const { return {w->mapTo(&window, QPoint()), w->size()}; }
};

bool showActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// The way a black arrow on yellow in the picture points, from where its ink is widest; a caption
// when there is no such arrow.
ButtonPicture arrowWay(const QImage& picture)
{
    QList<int> rows(picture.height()), columns(picture.width());
    int yellow = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            yellow += colour == QColor(255, 255, 0);
            if (colour == QColor(0, 0, 0))
                ++rows[y], ++columns[x];
        }
    }
    const auto inked = [](const QList<int>& lines) {
        QList<int> kept;
        for (int count : lines)
            if (count > 0)
                kept << count;
        return kept;
    };
    const QList<int> r = inked(rows), c = inked(columns);
    if (yellow == 0 || r.size() < 5 || c.size() < 5)
        return ButtonPicture::Caption;
    if (r.first() == 1 && r.last() > 8)
        return ButtonPicture::UpArrow;
    if (r.last() == 1 && r.first() > 8)
        return ButtonPicture::DownArrow;
    if (c.first() == 1 && c.last() > 4)
        return ButtonPicture::LeftArrow;
    if (c.last() == 1 && c.first() > 4)
        return ButtonPicture::RightArrow;
    return ButtonPicture::Caption;
}

// Whether the widget's text, centred on one line in the box, keeps its ink inside it.
bool inkFits(const QWidget* widget, QRect box)
{
    const QString text = widget->property("text").toString();
    const QFontMetricsF metrics(widget->font());
    const QRectF ink = metrics.tightBoundingRect(text);
    const qreal top = (box.height() - metrics.height()) / 2 + metrics.ascent() + ink.top();
    return std::max(metrics.horizontalAdvance(text), ink.right()) <= box.width() && top >= 0 &&
           top + ink.height() <= box.height();
}

} // namespace

class TestPanelWindow : public QObject
{
    Q_OBJECT

  private slots:
    // Fusion draws fills and palettes as given; the panel's colours rely on it.
    void initTestCase()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        TempStore::setUpProcess();
    }
    void init() { TempStore::clear(); }

    // Every filled button, coloured frame and label, and the window show their colour when
    // drawn. An arrow button shows a black arrow on yellow at its centre, pointing its way: the
    // arrow's broad end is opposite its point.
    void colouredControls()
    {
        Panel panel;
        const PanelControls& c = panel.window.controls();
        for (QLabel* legend : {c.ackLegend, c.crLegend, c.spaceLegend})
            legend->show();
        const QImage shot = panel.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Left of the echo frame, below the groups, is the window itself.
        QCOMPARE(shot.pixelColor(2, 4600 / kTwipsPerPixel), QColor(192, 192, 192));
        QStringList wrong;
        const auto expect = [&](const char* name, QRgb rgb) {
            const auto* widget = panel.window.findChild<QWidget*>(QString::fromLatin1(name));
            // Just inside the border; labels at the top right, clear of their text.
            const auto* frame = qobject_cast<const QFrame*>(widget);
            const int in = frame ? frame->frameWidth() + 1 : 3;
            const int x = qobject_cast<const QLabel*>(widget) ? widget->width() - 1 - in : in;
            if (shot.pixel(widget->mapTo(&panel.window, QPoint(x, in))) != (rgb | 0xFF000000u))
                wrong << QString::fromLatin1(name);
        };
        const QRgb caption = inactiveCaptionTextColour().rgb();
        for (const ButtonSpec& entry : panelButtons()) {
            const QPoint centre = panel.rectOf(panel.button(entry.id)).center();
            if (entry.picture != ButtonPicture::Caption &&
                arrowWay(shot.copy(QRect(centre - QPoint(12, 12), QSize(25, 25)))) != entry.picture)
                wrong << QStringLiteral("arrow of %1").arg(entry.objectName);
            if (entry.fill != kNoFill)
                expect(entry.objectName, entry.fill);
        }
        expect("powerFrame", caption);
        for (const LabelSpec& entry : panelLabels())
            if (entry.background != PanelBackground::ButtonColour)
                expect(entry.objectName,
                       entry.background == PanelBackground::Rgb ? entry.backRgb : caption);
        QCOMPARE(wrong, QStringList());
    }

    // No caption loses ink to its control's edges, whichever fallback face is in use; no label
    // reads the bytes it shows as markup.
    void captionsFit()
    {
        Panel panel;
        QList<std::pair<QWidget*, QRect>> boxes;
        const auto contents = [&boxes](QAbstractButton* button, QStyle::SubElement element) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect box = button->style()->subElementRect(element, &option, button);
            boxes.append({button, box.intersected(button->rect())});
        };
        for (QPushButton* button : panel.window.controls().buttons)
            contents(button, QStyle::SE_PushButtonContents);
        for (QRadioButton* option : panel.window.controls().addressOptions)
            contents(option, QStyle::SE_RadioButtonContents);
        for (QLabel* label : panel.window.findChildren<QLabel*>()) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            const int m = label->margin();
            boxes.append({label, label->contentsRect().marginsRemoved({m, m, m, m})});
        }
        for (const auto& [widget, box] : boxes)
            QVERIFY2(inkFits(widget, box), qPrintable(widget->objectName()));
    }

    // The compact height cuts between END (ending at 4455 twips) and the read column (starting
    // at 4687), and through no control. Ctrl+K switches between the two heights from any
    // control; other chords with K do nothing.
    void compactCutAndSizeToggle()
    {
        Panel panel;
        const QRect end = panel.rectOf(panel.button(PanelButton::End));
        const int readColumnTop = panel.rectOf(panel.button(PanelButton::Status)).top();
        const int compact = PanelWindow::compactClientHeight();
        const int full = PanelWindow::fullClientHeight();
        QVERIFY(end.bottom() < compact && compact <= readColumnTop);
        for (QWidget* widget : panel.window.findChildren<QWidget*>()) {
            const QRect rect = panel.rectOf(widget);
            QVERIFY2(rect.bottom() <= end.bottom() || rect.top() >= readColumnTop,
                     qPrintable(widget->objectName()));
        }

        QVERIFY(showActive(panel.window));
        QWidget* focus = panel.button(PanelButton::PowerOn);
        for (const Qt::KeyboardModifiers chord :
             {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier,
              Qt::KeyboardModifiers()}) {
            QTest::keyClick(focus, Qt::Key_K, chord);
            QCOMPARE(panel.window.height(), full);
        }
        QTest::keyClick(focus, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(panel.window.height(), compact);
        QWidget* other = panel.window.controls().addressOptions[0];
        other->setFocus();
        QTest::keyClick(other, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(panel.window.height(), full);
        QVERIFY(panel.link.writes.isEmpty());
    }

    // Where the layout puts another letter on the K key (Cyrillic, Greek), Ctrl and that key
    // still switch the height, found by its scan code (45), Meta held or not; the same letter on
    // another key does not. The Latin K is left to the Ctrl+K shortcut: it acts once.
    void sizeToggleOnTheKKeyInAnyLayout_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("toggles");
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
        QTest::newRow("Cyrillic EL on K") << 0x41b << 45u << ctrl << true;
        QTest::newRow("Greek KAPPA on K, Meta too")
            << 0x39a << 45u << (ctrl | Qt::MetaModifier) << true;
        QTest::newRow("Cyrillic EL on another key") << 0x41b << 46u << ctrl << false;
        QTest::newRow("Latin K, once") << int(Qt::Key_K) << 45u << ctrl << true;
    }
    void sizeToggleOnTheKKeyInAnyLayout()
    {
        QFETCH(int, key);
        QFETCH(quint32, scanCode);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, toggles);
        Panel panel;
        QVERIFY(showActive(panel.window));
        QWidget* focus = QApplication::focusWidget();
        // As a chord from the keyboard comes: the shortcut override, then the press (which, sent
        // from here, passes the shortcuts too).
        const QString text = QChar(key).toLower();
        QKeyEvent override(QEvent::ShortcutOverride, key, modifiers, scanCode, 0, 0, text);
        override.ignore();
        QApplication::sendEvent(focus, &override);
        QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
        QApplication::sendEvent(focus, &press);
        QCOMPARE(override.isAccepted(), toggles && key != Qt::Key_K);
        QCOMPARE(panel.window.height(),
                 toggles ? PanelWindow::compactClientHeight() : PanelWindow::fullClientHeight());
    }

    // Focus starts on POWER "On"; Tab reaches every button once and the selected address
    // option (no other) before it comes round, and Shift+Tab walks the same way back.
    void tabOrder()
    {
        for (const int selected : {0, 3, 5}) {
            Panel panel;
            panel.window.controls().addressOptions[std::size_t(selected)]->setChecked(true);
            QVERIFY(showActive(panel.window));
            QWidget* first = QApplication::focusWidget();
            QCOMPARE(first, panel.button(PanelButton::PowerOn));
            QList<QWidget*> visited{first};
            do {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget();
            } while (visited.last() != first && visited.size() <= kPanelButtonCount + 2);
            QCOMPARE(visited.size(), kPanelButtonCount + 2);
            QSet<QWidget*> expected(panel.window.controls().buttons.begin(),
                                    panel.window.controls().buttons.end());
            expected << panel.window.controls().addressOptions[std::size_t(selected)];
            QCOMPARE(QSet<QWidget*>(visited.begin(), visited.end()), expected);
            for (qsizetype i = visited.size() - 2; i >= 0; --i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
                QCOMPARE(QApplication::focusWidget(), visited[i]);
            }
        }
    }

    // A sample of buttons: a command with spaces, one that two buttons share, the read column,
    // hold buttons. The mouse sends each once; Space and Enter send a focused click button
    // once per key; on a hold button Space sends once as the mouse does, Enter nothing.
    void buttonsSendTheirCommands_data()
    {
        QTest::addColumn<PanelButton>("button");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("POWER On") << PanelButton::PowerOn << QByteArray("C00\r");
        QTest::newRow("R/C KEY OFF R/C")
            << PanelButton::KeyDisableRemote << QByteArray("CF KEYDIS RC\r");
        QTest::newRow("P-TIMER") << PanelButton::PresentationTimer << QByteArray("C8A\r");
        QTest::newRow("LAMP TIME") << PanelButton::LampTime << QByteArray("CR3\r");
        QTest::newRow("MENU left") << PanelButton::MenuLeft << QByteArray("C3B\r");
        QTest::newRow("KEYSTONE right") << PanelButton::KeystoneRight << QByteArray("C90\r");
    }
    void buttonsSendTheirCommands()
    {
        QFETCH(PanelButton, button);
        QFETCH(QByteArray, wire);
        Panel panel;
        QPushButton* target = panel.button(button);
        QTest::mousePress(target, Qt::LeftButton);
        QTest::mouseRelease(target, Qt::LeftButton);
        QCOMPARE(panel.link.takeWire(), wire);
        target->setFocus();
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(target, key);
        QVERIFY(!panel.holding());
        const bool hold = buttonSpec(button).kind == ButtonKind::Hold;
        QCOMPARE(panel.link.takeWire(), hold ? wire : wire.repeated(3));
    }

    // Any mouse button holds a hold button until its release; a second press, on the same or
    // another hold button, changes nothing.
    void holdFollowsTheMouse()
    {
        for (const Qt::MouseButton mouse : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            Panel panel;
            QPushButton* zoomUp = panel.button(PanelButton::ZoomUp);
            QTest::mousePress(zoomUp, mouse);
            QTest::mousePress(zoomUp, mouse);
            QTest::mousePress(panel.button(PanelButton::FocusDown), mouse);
            panel.session.exchange().repeatTimerFired();
            QTest::mouseRelease(zoomUp, mouse);
            panel.session.exchange().repeatTimerFired();
            QVERIFY(!panel.holding());
            QCOMPARE(panel.link.writes, QList<QByteArray>({"C47\r", "C47\r"}));
        }
    }

    // "On" of MENU (not "Off") puts a running repeat back to its resting interval. A hold that
    // can no longer be released ends at once: when the panel loses the focus to another
    // window, or the held button hides (a hold button pressed later hiding changes nothing).
    void holdEndsWithoutRelease()
    {
        Panel panel;
        const QTimer& repeat = panel.session.exchange().repeatTimer();
        QVERIFY(showActive(panel.window));
        QTest::mousePress(panel.button(PanelButton::LensShiftUp), Qt::MiddleButton);
        QTest::mouseClick(panel.button(PanelButton::MenuOff), Qt::LeftButton);
        QCOMPARE(repeat.interval(), Exchange::kHoldRepeatMs);
        QTest::mouseClick(panel.button(PanelButton::MenuOn), Qt::LeftButton);
        QVERIFY(repeat.interval() == Exchange::kRestingRepeatMs && panel.holding());
        QWidget other;
        QVERIFY(showActive(other));
        QTRY_VERIFY(!panel.holding());

        QTest::mousePress(panel.button(PanelButton::DigitalZoomUp), Qt::MiddleButton);
        QTest::mousePress(panel.button(PanelButton::DigitalZoomDown), Qt::LeftButton);
        panel.button(PanelButton::DigitalZoomDown)->hide();
        QVERIFY(panel.holding());
        panel.button(PanelButton::DigitalZoomUp)->hide();
        QVERIFY(!panel.holding());
        panel.session.exchange().repeatTimerFired();
        QCOMPARE(panel.link.writes, QList<QByteArray>({"C5D\r", "C1D\r", "C1C\r", "C30\r"}));
    }

    // Space held on a focused hold button puts the bytes of a mouse hold with the same repeat
    // ticks on the wire (Space on a button the mouse holds changing nothing); the keyboard's
    // auto-repeat, a release and a press, changes nothing. Losing the focus ends a Space hold.
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
        QVERIFY(showActive(panel.window));
        QPushButton* target = panel.button(button);
        QTest::mousePress(target, Qt::LeftButton);
        QTest::keyClick(target, Qt::Key_Space);
        panel.session.exchange().repeatTimerFired();
        QTest::mouseRelease(target, Qt::LeftButton);
        const QByteArray byMouse = panel.link.takeWire();
        QTest::keyPress(target, Qt::Key_Space);
        for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
            QKeyEvent repeat(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
            QApplication::sendEvent(target, &repeat);
        }
        panel.session.exchange().repeatTimerFired();
        QTest::keyRelease(target, Qt::Key_Space);
        panel.session.exchange().repeatTimerFired();
        QCOMPARE(panel.link.takeWire(), byMouse);
        QTest::keyPress(target, Qt::Key_Space);
        panel.button(PanelButton::PowerOn)->setFocus();
        QVERIFY(!panel.holding());
    }

    // Every button has an accessible name of its own; an arrow's tooltip starts with it, and
    // only a hold button's says it repeats. END's names the key to the rest of the panel.
    void buttonsAreNamed()
    {
        Panel panel;
        QSet<QString> names;
        for (const ButtonSpec& spec : panelButtons()) {
            const QPushButton* button = panel.button(spec.id);
            const QString name = button->accessibleName();
            names << name;
            QVERIFY2(spec.picture == ButtonPicture::Caption ? name.endsWith(button->text())
                                                            : button->toolTip().startsWith(name),
                     spec.objectName);
            QCOMPARE(button->toolTip().contains(QStringLiteral("hold to repeat")),
                     spec.kind == ButtonKind::Hold);
        }
        QVERIFY(names.size() == kPanelButtonCount && !names.contains(QString()));
        QVERIFY(panel.button(PanelButton::End)->toolTip().contains(QStringLiteral("Ctrl+K")));
    }

    // The TxD, RxD and status lines are named by what they show and described; the mouse selects
    // in them without taking the focus; "Copy" copies the selection, else the whole line.
    void linesCanBeCopied()
    {
        Panel panel;
        QVERIFY(showActive(panel.window));
        const PanelControls& c = panel.window.controls();
        QTest::mouseClick(panel.button(PanelButton::Status), Qt::LeftButton);
        panel.link.arrive("00\r");
        for (QLabel* line : {c.txdLine, c.rxdLine, c.statusLine}) {
            const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(line);
            QVERIFY(accessible->text(QAccessible::Name) == line->text() &&
                    !accessible->text(QAccessible::Description).isEmpty());
            QAction* copy = line->actions().value(0);
            QVERIFY(copy && copy->text() == QStringLiteral("Copy") &&
                    line->contextMenuPolicy() == Qt::ActionsContextMenu);
            copy->trigger();
            QCOMPARE(QApplication::clipboard()->text(), line->text());
            const QPoint middle(QFontMetrics(line->font()).horizontalAdvance(line->text()) / 2, 8);
            QTest::mousePress(line, Qt::LeftButton, {}, QPoint(2, 8));
            QTest::mouseMove(line, middle);
            QTest::mouseRelease(line, Qt::LeftButton, {}, middle);
            QVERIFY(line->hasSelectedText() && line->selectedText().size() < line->text().size());
            QVERIFY(QApplication::focusWidget() == panel.button(PanelButton::Status) &&
                    line->focusPolicy() == Qt::NoFocus);
            copy->trigger();
            QCOMPARE(QApplication::clipboard()->text(), line->selectedText());
        }
    }

    // The echo lines and the legends show what the exchange signals (the status line as read
    // back end to end).
    void linesFollowTheExchange()
    {
        Panel panel;
        const PanelControls& c = panel.window.controls();
        const auto legends = [&] {
            return QList<bool>{c.ackLegend->isVisibleTo(&panel.window),
                               c.crLegend->isVisibleTo(&panel.window),
                               c.spaceLegend->isVisibleTo(&panel.window)};
        };
        QTest::mouseClick(panel.button(PanelButton::KeyDisableRemote), Qt::LeftButton);
        QCOMPARE(legends(), QList<bool>({false, true, true}));
        panel.link.arrive("\x06\r");
        QCOMPARE(c.txdLine->text(), QStringLiteral(" C F _ K E Y D I S _ R C  [CR] "));
        QCOMPARE(c.rxdLine->text(), QStringLiteral("  [ACK]  [CR] "));
        QCOMPARE(legends(), QList<bool>({true, true, true}));
        panel.session.exchange().replyTimerFired();
        QCOMPARE(legends(), QList<bool>({false, false, false}));
        panel.session.exchange().displayClearTimerFired();
        QVERIFY(c.txdLine->text().isEmpty() && c.rxdLine->text().isEmpty());
    }

    // The stored address selects its option at start-up. Choosing an address sends and stores
    // nothing; the next command carries its prefix, and closing the panel stores the choice.
    void addressOptionChoosesThePrefix()
    {
        TempStore::writeRaw("[StartUP]\nComPort=5\nADRESS=A004\n");
        Panel panel;
        QVERIFY(panel.window.controls().addressOptions[0]->isChecked());
        panel.session.start();
        QVERIFY(panel.window.controls().addressOptions[5]->isChecked());
        const QByteArray storedBefore = TempStore::readRaw();
        const QByteArray prefixes[] = {"", "AFFF", "A001", "A002", "A003", "A004"};
        for (const int option : {0, 1, 2, 3, 4, 5, 2}) {
            QRadioButton* choice = panel.window.controls().addressOptions[std::size_t(option)];
            QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(4, 4));
            QVERIFY(choice->isChecked() && panel.link.writes.isEmpty());
            QCOMPARE(TempStore::readRaw(), storedBefore);
            QTest::mouseClick(panel.button(PanelButton::PowerOn), Qt::LeftButton);
            QCOMPARE(panel.link.writes, QList<QByteArray>{prefixes[option] + "C00\r"});
            panel.link.writes.clear();
        }
        panel.window.close();
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A001"));
    }
};

QTEST_MAIN(TestPanelWindow)
#include "tst_panelwindow.moc"
