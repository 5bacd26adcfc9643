#include "panel/arrowpicture.h"
#include "panel/buttontable.h"
#include "panel/panelbuilder.h"
#include "panel/paneltable.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <memory>

using namespace zuno;

namespace {

// The panel is built into a plain widget of the full client size.
std::unique_ptr<QWidget> makeForm()
{
    auto form = std::make_unique<QWidget>();
    form->resize(kPanelWidthTwips / kTwipsPerPixel, kPanelFullHeightTwips / kTwipsPerPixel);
    return form;
}

// The control's rectangle in window pixels, as laid out.
QRect windowRect(const QWidget* widget, const QWidget* form)
{
    return QRect(widget->mapTo(form, QPoint(0, 0)), widget->size());
}

// Parses a picture drawn with '#' for black and '.' for yellow.
QImage pictureFromArt(const QStringList& rows)
{
    QImage image(rows.first().size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y) {
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixelColor(x, y, rows[y][x] == u'#' ? QColor(0, 0, 0) : QColor(255, 255, 0));
    }
    return image;
}

const QStringList kUpArt{
    "........#........", ".......###.......", "......#####......",
    ".....#######.....", "....#########....", "...###########...",
    "..#############..", ".###############.", "#################",
};

const QStringList kRightArt{
    "#####............", "#########........", "############.....",
    "###############..", "#################", "###############..",
    "############.....", "#########........", "#####............",
};

QStringList upsideDown(QStringList rows)
{
    std::reverse(rows.begin(), rows.end());
    return rows;
}

QStringList mirrored(QStringList rows)
{
    for (QString& row : rows)
        std::reverse(row.begin(), row.end());
    return rows;
}

// Whether the text, centred on one line in the box, keeps its ink inside it.
bool inkFits(const QFont& font, const QString& text, QRect box, QString* why)
{
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);
    const qreal width = std::max(metrics.horizontalAdvance(text), ink.right());
    const qreal baseline = (box.height() - metrics.height()) / 2 + metrics.ascent();
    *why = QStringLiteral("text %1 wide, ink rows %2..%3, box %4 x %5")
               .arg(width)
               .arg(baseline + ink.top())
               .arg(baseline + ink.bottom())
               .arg(box.width())
               .arg(box.height());
    return width <= box.width() && baseline + ink.top() >= 0 &&
           baseline + ink.bottom() <= box.height();
}

} // namespace

class TestPanelLayout : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        // Fusion draws fills and palettes as given; the panel's colours rely on it.
        QApplication::setStyle(QStringLiteral("Fusion"));
    }

    void buttonKinds();
    void clickCommands_data();
    void clickCommands();
    void repeatCommands_data();
    void repeatCommands();
    void arrowPictures_data();
    void arrowPictures();

    void controlsInPlace();
    void fillColours_data();
    void fillColours();
    void arrowShownCentred_data();
    void arrowShownCentred();
    void captionsFit();
    void compactCut();
    void startState();
    void tabOrder_data();
    void tabOrder();
};

void TestPanelLayout::buttonKinds()
{
    QCOMPARE(panelButtons().size(), std::size_t(53));
    QSet<QString> names;
    QList<int> kinds(3, 0);
    QList<int> repeatKeys(19, 0);
    for (const ButtonSpec& button : panelButtons()) {
        names.insert(QString::fromLatin1(button.name));
        ++kinds[int(button.kind)];
        const bool hold = button.kind == ButtonKind::Hold;
        // Hold buttons show arrows and carry a repeat key; the others neither.
        QVERIFY2(hold == (button.face != ButtonFace::Caption), button.name);
        QVERIFY2(hold == (button.repeatKey != 0), button.name);
        QVERIFY2((button.kind == ButtonKind::Action) == (*button.command == '\0'), button.name);
        if (hold && button.repeatKey > 0 && button.repeatKey <= 18)
            ++repeatKeys[button.repeatKey];
    }
    QCOMPARE(names.size(), 53);
    QCOMPARE(kinds, QList<int>({32, 18, 3}));
    QCOMPARE(repeatKeys, QList<int>({0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    for (int key : {0, -1, 19})
        QVERIFY2(repeatCommand(key).isEmpty(), qPrintable(QString::number(key)));
    QCOMPARE(findButton("Command99"), nullptr);
}

void TestPanelLayout::clickCommands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("command");
    const char* rows[][3] = {
        {"POWER On", "Command17", "C00"},
        {"POWER Off", "Command18", "C01"},
        {"INPUT 1", "Command27", "C05"},
        {"INPUT 2", "Command28", "C06"},
        {"INPUT 3", "Command53", "C07"},
        {"INPUT 4", "Command41", "C08"},
        {"VIDEO MUTE On", "Command21", "C0D"},
        {"VIDEO MUTE Off", "Command22", "C0E"},
        {"FREEZE On", "Command25", "C43"},
        {"FREEZE Off", "Command26", "C44"},
        {"SCREEN Normal", "Command31", "C0F"},
        {"SCREEN Full", "Command32", "C10"},
        {"PRESENTATION On / Stop", "Command9", "C8A"},
        {"PRESENTATION Exit", "Command34", "C8B"},
        {"MENU On", "Command23", "C1C"},
        {"MENU Off", "Command24", "C1D"},
        {"MENU Enter", "Command6", "C3F"},
        {"key disable NONE", "Command60", "CF KEYDIS NONE"},
        {"key disable R/C", "Command61", "CF KEYDIS RC"},
        {"key disable KEY", "Command62", "CF KEYDIS KEY"},
        {"DISPLAY CLEAR", "Command3", "C1E"},
        {"AUTO PC ADJ", "Command13", "C89"},
        {"IMAGE", "Command73", "C27"},
        {"P-TIMER, same as On / Stop", "Command14", "C8A"},
        {"read STATUS", "Command44", "CR0"},
        {"read INPUT MODE", "Command45", "CR1"},
        {"read TEMP", "Command54", "CR6"},
        {"read SETTING", "Command47", "CR4"},
        {"read LAMP TIME", "Command46", "CR3"},
        {"read STATUS 2", "Command55", "CRA"},
        {"read LAMP MODE", "Command76", "CR7"},
        {"read PC TYPE", "Command29", "CR9"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[1]) << QByteArray(row[2]);
}

void TestPanelLayout::clickCommands()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, command);
    const ButtonSpec* button = findButton(name.toStdString());
    QVERIFY(button);
    QCOMPARE(button->kind, ButtonKind::Click);
    QCOMPARE(QByteArray(button->command), command);
}

void TestPanelLayout::repeatCommands_data()
{
    QTest::addColumn<int>("repeatKey");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("face");
    QTest::addColumn<QByteArray>("command");
    constexpr int up = int(ButtonFace::UpArrow), down = int(ButtonFace::DownArrow),
                  left = int(ButtonFace::LeftArrow), right = int(ButtonFace::RightArrow);
    QTest::newRow("zoom +") << 1 << "Command30" << up << QByteArray("C47");
    QTest::newRow("zoom -") << 2 << "Command42" << down << QByteArray("C46");
    QTest::newRow("menu up") << 3 << "Command5" << up << QByteArray("C3C");
    QTest::newRow("menu down") << 4 << "Command7" << down << QByteArray("C3D");
    QTest::newRow("menu left") << 5 << "Command38" << left << QByteArray("C3B");
    QTest::newRow("menu right") << 6 << "Command8" << right << QByteArray("C3A");
    QTest::newRow("focus +") << 7 << "Command1" << up << QByteArray("C4B");
    QTest::newRow("focus -") << 8 << "Command2" << down << QByteArray("C4A");
    QTest::newRow("digital zoom +") << 9 << "Command36" << up << QByteArray("C30");
    QTest::newRow("digital zoom -") << 10 << "Command37" << down << QByteArray("C31");
    QTest::newRow("keystone up") << 11 << "Command10" << up << QByteArray("C8E");
    QTest::newRow("keystone down") << 12 << "Command35" << down << QByteArray("C8F");
    QTest::newRow("keystone left") << 13 << "Command4" << left << QByteArray("C91");
    QTest::newRow("keystone right") << 14 << "Command11" << right << QByteArray("C90");
    QTest::newRow("lens shift up") << 15 << "Command12" << up << QByteArray("C5D");
    QTest::newRow("lens shift down") << 16 << "Command20" << down << QByteArray("C5E");
    QTest::newRow("lens shift left") << 17 << "Command15" << left << QByteArray("C5F");
    QTest::newRow("lens shift right") << 18 << "Command19" << right << QByteArray("C60");
}

void TestPanelLayout::repeatCommands()
{
    QFETCH(int, repeatKey);
    QFETCH(QString, name);
    QFETCH(int, face);
    QFETCH(QByteArray, command);
    QCOMPARE(repeatCommand(repeatKey), command);
    const ButtonSpec* button = findButton(name.toStdString());
    QVERIFY(button);
    QCOMPARE(button->repeatKey, repeatKey);
    QCOMPARE(int(button->face), face);
    QCOMPARE(QByteArray(button->command), command);
}

void TestPanelLayout::arrowPictures_data()
{
    QTest::addColumn<int>("face");
    QTest::addColumn<QStringList>("art");
    QTest::newRow("up") << int(ButtonFace::UpArrow) << kUpArt;
    QTest::newRow("down") << int(ButtonFace::DownArrow) << upsideDown(kUpArt);
    QTest::newRow("right") << int(ButtonFace::RightArrow) << kRightArt;
    QTest::newRow("left") << int(ButtonFace::LeftArrow) << mirrored(kRightArt);
}

void TestPanelLayout::arrowPictures()
{
    QFETCH(int, face);
    QFETCH(QStringList, art);
    const QImage picture = arrowPicture(ButtonFace(face));
    QCOMPARE(picture.size(), QSize(17, 9));
    const QImage expected = pictureFromArt(art);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 17; ++x) {
            QVERIFY2(picture.pixel(x, y) == expected.pixel(x, y),
                     qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
        }
    }
}

void TestPanelLayout::controlsInPlace()
{
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    QCOMPARE(panel.buttons.size(), 53);
    QCOMPARE(panel.frames.size(), 16);
    QCOMPARE(panel.labels.size(), qsizetype(panelLabels().size()));
    QCOMPARE(panel.options.size(), 6);

    // Each control is found by its design name at its design place in window
    // pixels: a control in a frame is offset by its frame.
    auto check = [&form](const char* name, const char* container, TwipRect rect) {
        const QWidget* widget = form->findChild<QWidget*>(name);
        QVERIFY2(widget, name);
        const FrameSpec* frame = *container ? findFrame(container) : nullptr;
        const QPoint origin = frame ? QPoint(frame->rect.left, frame->rect.top) : QPoint();
        const QRect actual = windowRect(widget, form.get());
        const QRect expected((origin.x() + rect.left) / 15, (origin.y() + rect.top) / 15,
                             rect.width / 15, rect.height / 15);
        const QPoint offBy = actual.topLeft() - expected.topLeft();
        const QSize grownBy = actual.size() - expected.size();
        QVERIFY2(offBy.manhattanLength() <= 2 && std::abs(grownBy.width()) <= 1 &&
                     std::abs(grownBy.height()) <= 1,
                 qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                .arg(name)
                                .arg(actual.x())
                                .arg(actual.y())
                                .arg(actual.width())
                                .arg(actual.height())));
    };
    for (const FrameSpec& spec : panelFrames())
        check(spec.name, "", spec.rect);
    for (const ButtonSpec& spec : panelButtons()) {
        check(spec.name, spec.container, spec.rect);
        QCOMPARE(panel.buttons.value(spec.name)->focusPolicy(), Qt::StrongFocus);
    }
    for (const LabelSpec& spec : panelLabels()) {
        check(spec.name, spec.container, spec.rect);
        QCOMPARE(panel.labels.value(spec.name)->textFormat(), Qt::PlainText);
    }
    for (const OptionSpec& spec : addressOptions())
        check(spec.name, spec.container, spec.rect);

    // The read column's buttons touch without gaps.
    const char* column[] = {"Command44", "Command45", "Command54", "Command47",
                            "Command46", "Command55", "Command76", "Command29"};
    for (int i = 1; i < 8; ++i) {
        QCOMPARE(windowRect(panel.buttons.value(column[i]), form.get()).top(),
                 windowRect(panel.buttons.value(column[i - 1]), form.get()).bottom() + 1);
    }
}

void TestPanelLayout::fillColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");
    for (const ButtonSpec& spec : panelButtons()) {
        if (spec.fill != kNoFill)
            QTest::newRow(spec.name) << QString::fromLatin1(spec.name) << QColor(QRgb(spec.fill));
    }
    for (const LabelSpec& spec : panelLabels()) {
        if (spec.background == PanelBackground::Rgb)
            QTest::newRow(spec.name)
                << QString::fromLatin1(spec.name) << QColor(QRgb(spec.backRgb));
    }
    QTest::newRow("Frame1") << QStringLiteral("Frame1") << inactiveCaptionTextColour();
    QTest::newRow("Label1") << QStringLiteral("Label1") << inactiveCaptionTextColour();
    QTest::newRow("window") << QString() << QColor(192, 192, 192);
}

void TestPanelLayout::fillColours()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    for (QLabel* label : panel.labels)
        label->show(); // the legends too
    const QImage picture = form->grab().toImage();

    QPoint sample(2, 4600 / 15); // the window: left of the TxD/RxD frame, below the groups
    if (!name.isEmpty()) {
        const QWidget* widget = form->findChild<QWidget*>(name);
        QVERIFY(widget);
        // Just inside the border, away from the caption: a filled button has a
        // 2-pixel border, a frame or label its frame width. Labels are sampled
        // at the top right, clear of left-aligned text and of the CR legend's
        // text, which reaches into the ACK legend's box below it.
        const auto* frame = qobject_cast<const QFrame*>(widget);
        const int inside = frame ? frame->frameWidth() + 1 : 3;
        const int x = qobject_cast<const QLabel*>(widget) ? widget->width() - 1 - inside : inside;
        sample = widget->mapTo(form.get(), QPoint(x, inside));
    }
    const QColor actual = picture.pixelColor(sample);
    QVERIFY2(actual == colour, qPrintable(QStringLiteral("%1 at (%2, %3) is %4, not %5")
                                              .arg(name)
                                              .arg(sample.x())
                                              .arg(sample.y())
                                              .arg(actual.name(), colour.name())));
}

void TestPanelLayout::arrowShownCentred_data()
{
    QTest::addColumn<QString>("name");
    for (const ButtonSpec& spec : panelButtons()) {
        if (spec.face != ButtonFace::Caption)
            QTest::newRow(spec.name) << QString::fromLatin1(spec.name);
    }
}

void TestPanelLayout::arrowShownCentred()
{
    QFETCH(QString, name);
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    const QPushButton* button = panel.buttons.value(name);
    QVERIFY(button);
    const ButtonSpec* spec = findButton(name.toStdString());
    const QImage expected = arrowPicture(spec->face).convertToFormat(QImage::Format_RGB32);
    const QImage shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect rect = windowRect(button, form.get());

    // Find the picture within a pixel or two of the button's centre.
    const QPoint centred(rect.left() + (rect.width() - 17) / 2,
                         rect.top() + (rect.height() - 9) / 2);
    bool found = false;
    for (int dy = -2; dy <= 2 && !found; ++dy) {
        for (int dx = -2; dx <= 2 && !found; ++dx) {
            const QPoint at = centred + QPoint(dx, dy);
            found = shot.copy(QRect(at, QSize(17, 9))) == expected;
        }
    }
    QVERIFY2(found, qPrintable(name + " does not show its arrow at its centre"));
}

void TestPanelLayout::captionsFit()
{
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    QString why;
    for (QPushButton* button : panel.buttons) {
        if (button->text().isEmpty())
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect box =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        QVERIFY2(inkFits(button->font(), button->text(), box, &why),
                 qPrintable(button->objectName() + ": " + why));
    }
    for (QLabel* label : panel.labels) {
        if (label->text().isEmpty())
            continue;
        const QRect box = label->contentsRect().marginsRemoved(
            QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
        QVERIFY2(inkFits(label->font(), label->text(), box, &why),
                 qPrintable(label->objectName() + ": " + why));
    }
    for (QRadioButton* radio : panel.options) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        const QRect box =
            radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
        QVERIFY2(inkFits(radio->font(), radio->text(), box.intersected(radio->rect()), &why),
                 qPrintable(radio->objectName() + ": " + why));
    }
}

void TestPanelLayout::compactCut()
{
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    const int compactHeight = kPanelCompactHeightTwips / kTwipsPerPixel;

    // END ends at 4455 twips, inside the compact height.
    const QRect end = windowRect(panel.buttons.value("Command16"), form.get());
    QCOMPARE((end.bottom() + 1) * kTwipsPerPixel, 4455);
    QVERIFY(end.bottom() < compactHeight);

    // What lies below the cut starts at the read column's top (4687 twips) or lower.
    const QStringList below{
        "Command44", "Command45", "Command54", "Command47", "Command46", "Command55", "Command76",
        "Command29", "Frame9",    "Label11",   "Label12",   "Label19",   "Label28",   "Label27",
        "Frame15",   "Label25",   "Frame8",    "Option1",   "Option6",   "Command33", "Command74"};
    const int readColumnTop = 4687 / kTwipsPerPixel;
    QSet<QWidget*> lower;
    for (const QString& name : below) {
        QWidget* widget = form->findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        const QRect rect = windowRect(widget, form.get());
        QVERIFY2(rect.top() >= readColumnTop && rect.top() >= compactHeight,
                 qPrintable(QStringLiteral("%1 starts at %2").arg(name).arg(rect.top())));
        lower.insert(widget);
    }
    // Everything else lies wholly above the cut.
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        if (lower.contains(widget) || lower.contains(widget->parentWidget()))
            continue;
        const QRect rect = windowRect(widget, form.get());
        QVERIFY2(rect.bottom() <= end.bottom(),
                 qPrintable(
                     QStringLiteral("%1 ends at %2").arg(widget->objectName()).arg(rect.bottom())));
    }
}

void TestPanelLayout::startState()
{
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));

    QCOMPARE(QApplication::focusWidget(), panel.buttons.value("Command17"));
    QVERIFY(panel.options[0]->isChecked());
    for (int i = 1; i < 6; ++i)
        QVERIFY(!panel.options[i]->isChecked());
    // The options form one exclusive group.
    panel.options[3]->click();
    QVERIFY(panel.options[3]->isChecked());
    QVERIFY(!panel.options[0]->isChecked());

    for (const char* legend : {"Label19", "Label28", "Label27"})
        QVERIFY2(!panel.labels.value(legend)->isVisible(), legend);
    for (const char* line : {"Label11", "Label12", "Label25"}) {
        QVERIFY2(panel.labels.value(line)->isVisible(), line);
        QVERIFY2(panel.labels.value(line)->text().isEmpty(), line);
    }
    QCOMPARE(panel.labels.value("Label3")->text(), QStringLiteral("FOUCS"));
    QCOMPARE(panel.labels.value("Label25")->palette().color(QPalette::WindowText),
             QColor(255, 0, 0));
    QVERIFY(panel.labels.value("Label25")->font().bold());
    QVERIFY(panelIcon().availableSizes().contains(QSize(32, 32)));
}

void TestPanelLayout::tabOrder_data()
{
    QTest::addColumn<int>("selected");
    QTest::newRow("SINGLE selected") << 0;
    QTest::newRow("002 selected") << 3;
    QTest::newRow("004 selected") << 5;
}

void TestPanelLayout::tabOrder()
{
    QFETCH(int, selected);
    auto form = makeForm();
    const PanelWidgets panel = buildPanel(form.get());
    panel.options[selected]->setChecked(true);
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), panel.buttons.value("Command17"));

    // The design's order, the selected address option in place of the group.
    QStringList expected =
        QStringLiteral("Command17 Command3 Command13 Command14 Command16 Command18 "
                       "Command21 Command22 Command23 Command24 Command25 Command26 "
                       "Command27 Command28 Command31 Command32 Command44 Command45 "
                       "Command46 Command47 Command53 Command54 Command55 Command73 "
                       "Command33 Command74 Command10 Command35 Command30 Command42 "
                       "Command2 Command60 Command61 Command62 Command76 Command41 "
                       "Command6 Command5 Command38 Command8 Command7 Command1 "
                       "Command4 Command11 Command12 Command15 Command19 Command20 "
                       "Option Command29 Command9 Command34 Command36 Command37 "
                       "Command17") // and round again
            .split(u' ');
    expected.replace(expected.indexOf(QStringLiteral("Option")),
                     QStringLiteral("Option%1").arg(selected + 1));

    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);

    // Shift+Tab walks back from Command17 to the last stop.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command37"));
}

QTEST_MAIN(TestPanelLayout)
#include "tst_panellayout.moc"
