#include "panel/arrowpicture.h"
#include "panel/buttontable.h"
#include "panel/panelbuilder.h"
#include "panel/paneltable.h"

#include <QtTest>
#include <QtWidgets>

using namespace zuno;

namespace {

// The panel built into a plain widget of the full client size.
struct Panel
{
    QWidget form;
    PanelWidgets widgets;
    Panel()
    {
        form.resize(kPanelWidthTwips / kTwipsPerPixel, kPanelFullHeightTwips / kTwipsPerPixel);
        widgets = buildPanel(&form);
    }
    QRect rectOf(const QWidget* w) const { return {w->mapTo(&form, QPoint()), w->size()}; }
};

// A picture drawn with '#' for black and '.' for yellow.
QImage pictureFromArt(const QStringList& rows)
{
    QImage image(rows.first().size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixelColor(x, y, rows[y][x] == u'#' ? QColor(0, 0, 0) : QColor(255, 255, 0));
    return image;
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

// The design's Tab order, with Option%1 for the selected address option, and round again.
const char kTabOrder[] =
    "Command17 Command3 Command13 Command14 Command16 Command18 Command21 Command22 Command23 "
    "Command24 Command25 Command26 Command27 Command28 Command31 Command32 Command44 Command45 "
    "Command46 Command47 Command53 Command54 Command55 Command73 Command33 Command74 Command10 "
    "Command35 Command30 Command42 Command2 Command60 Command61 Command62 Command76 Command41 "
    "Command6 Command5 Command38 Command8 Command7 Command1 Command4 Command11 Command12 "
    "Command15 Command19 Command20 Option%1 Command29 Command9 Command34 Command36 Command37 "
    "Command17";

} // namespace

class TestPanelLayout : public QObject
{
    Q_OBJECT

  private slots:
    // Fusion draws fills and palettes as given; the panel's colours rely on it.
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    // Hold buttons, and only they, show arrows and repeat, each its own command under a key
    // of its own; click buttons carry a command, the action buttons none.
    void buttonKinds()
    {
        QSet<QString> names;
        QList<int> kinds(3, 0);
        for (const ButtonSpec& b : panelButtons()) {
            names.insert(QString::fromLatin1(b.name));
            ++kinds[int(b.kind)];
            const bool hold = b.kind == ButtonKind::Hold;
            QVERIFY2(hold == (b.face != ButtonFace::Caption) && hold == (b.repeatKey != 0) &&
                         (b.kind == ButtonKind::Action) == (*b.command == '\0'),
                     b.name);
            // The hold commands differ, so this also finds two buttons sharing a key.
            QVERIFY2(!hold || repeatCommand(b.repeatKey) == b.command, b.name);
        }
        QCOMPARE(names.size(), 53);
        QCOMPARE(kinds, QList<int>({32, 18, 3}));
        QVERIFY(repeatCommand(0).isEmpty());
    }

    // The arrows are 17 x 9 solid black triangles on yellow; down and left are up and
    // right mirrored.
    void arrowPictures()
    {
        const QImage up =
            pictureFromArt({"........#........", ".......###.......", "......#####......",
                            ".....#######.....", "....#########....", "...###########...",
                            "..#############..", ".###############.", "#################"});
        const QImage right =
            pictureFromArt({"#####............", "#########........", "############.....",
                            "###############..", "#################", "###############..",
                            "############.....", "#########........", "#####............"});
        const auto picture = [](ButtonFace face) {
            return arrowPicture(face).convertToFormat(QImage::Format_RGB32);
        };
        QCOMPARE(picture(ButtonFace::UpArrow), up);
        QCOMPARE(picture(ButtonFace::DownArrow), up.mirrored(false, true));
        QCOMPARE(picture(ButtonFace::RightArrow), right);
        QCOMPARE(picture(ButtonFace::LeftArrow), right.mirrored(true, false));
    }

    // Every filled button, coloured frame and label, and the window show their colour when
    // drawn; an arrow button also shows its arrow, unscaled, at its centre.
    void colouredControls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("colour");
        const QColor caption = inactiveCaptionTextColour();
        for (const ButtonSpec& spec : panelButtons())
            if (spec.fill != kNoFill)
                QTest::newRow(spec.name) << QString(spec.name) << QColor(QRgb(spec.fill));
        for (const FrameSpec& spec : panelFrames())
            if (spec.background == PanelBackground::InactiveCaptionText)
                QTest::newRow(spec.name) << QString(spec.name) << caption;
        for (const LabelSpec& spec : panelLabels())
            if (spec.background != PanelBackground::ButtonFace)
                QTest::newRow(spec.name)
                    << QString(spec.name)
                    << (spec.background == PanelBackground::Rgb ? QColor(QRgb(spec.backRgb))
                                                                : caption);
        QTest::newRow("window") << QString() << QColor(192, 192, 192);
    }
    void colouredControls()
    {
        QFETCH(QString, name);
        QFETCH(QColor, colour);
        Panel panel;
        for (QLabel* label : panel.widgets.labels)
            label->show(); // the legends too
        const QImage shot = panel.form.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QPoint sample(2, 4600 / 15); // the window: left of the TxD/RxD frame, below the groups
        const QWidget* widget = name.isEmpty() ? nullptr : panel.form.findChild<QWidget*>(name);
        QVERIFY(name.isEmpty() || widget);
        if (widget) {
            // Just inside the border; labels at the top right, clear of their text.
            const auto* frame = qobject_cast<const QFrame*>(widget);
            const int in = frame ? frame->frameWidth() + 1 : 3;
            const int x = qobject_cast<const QLabel*>(widget) ? widget->width() - 1 - in : in;
            sample = widget->mapTo(&panel.form, QPoint(x, in));
        }
        QCOMPARE(shot.pixelColor(sample).name(), colour.name());

        const ButtonSpec* spec = findButton(name.toStdString());
        if (spec && spec->face != ButtonFace::Caption) {
            const QImage arrow = arrowPicture(spec->face).convertToFormat(QImage::Format_RGB32);
            const QPoint at = panel.rectOf(widget).center() - QPoint(8, 4);
            QCOMPARE(shot.copy(QRect(at, arrow.size())), arrow);
        }
    }

    // No caption loses ink to its control's edges, whichever fallback face is in use; no
    // label reads the bytes it shows as markup.
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
        for (QPushButton* button : panel.widgets.buttons)
            contents(button, QStyle::SE_PushButtonContents);
        for (QRadioButton* radio : panel.widgets.options)
            contents(radio, QStyle::SE_RadioButtonContents);
        for (QLabel* label : panel.widgets.labels) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            const int m = label->margin();
            boxes.append({label, label->contentsRect().marginsRemoved({m, m, m, m})});
        }
        for (const auto& [widget, box] : boxes)
            QVERIFY2(inkFits(widget, box), qPrintable(widget->objectName()));
    }

    // The compact height cuts between END (ending at 4455 twips) and the read column
    // (starting at 4687), and through no control.
    void compactCut()
    {
        Panel panel;
        const QRect end = panel.rectOf(panel.widgets.buttons.value("Command16"));
        const int readColumnTop = panel.rectOf(panel.widgets.buttons.value("Command44")).top();
        QCOMPARE((end.bottom() + 1) * kTwipsPerPixel, 4455);
        QCOMPARE(readColumnTop, 4687 / kTwipsPerPixel);
        const int cut = kPanelCompactHeightTwips / kTwipsPerPixel;
        QVERIFY(end.bottom() < cut && cut <= readColumnTop);
        for (QWidget* widget : panel.form.findChildren<QWidget*>()) {
            const QRect rect = panel.rectOf(widget);
            QVERIFY2(rect.bottom() <= end.bottom() || rect.top() >= readColumnTop,
                     qPrintable(widget->objectName()));
        }
    }

    // Focus starts on Command17; Tab walks the design's order, visiting the selected address
    // option only, and round again.
    void tabOrder()
    {
        for (int selected : {0, 3, 5}) {
            Panel panel;
            panel.widgets.options[selected]->setChecked(true);
            panel.form.show();
            QVERIFY(QTest::qWaitForWindowActive(&panel.form));
            QCOMPARE(QApplication::focusWidget(), panel.widgets.buttons.value("Command17"));
            const QStringList expected =
                QString::fromLatin1(kTabOrder).arg(selected + 1).split(u' ');
            QStringList visited{QApplication::focusWidget()->objectName()};
            while (visited.size() < expected.size()) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget()->objectName();
            }
            QCOMPARE(visited, expected);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command37"));
        }
    }
};

QTEST_MAIN(TestPanelLayout)
#include "tst_panellayout.moc"
