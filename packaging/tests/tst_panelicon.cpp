#include "panel/panelbuilder.h"

#include <QIcon>
#include <QImage>
#include <QtTest>

using namespace zuno;

namespace {

// The icon is drawn on a 32 x 32 grid; this is the pixel of a size-pixel
// rendering that covers grid point (x, y).
QColor colourAt(const QImage& image, double x, double y)
{
    const double scale = image.width() / 32.0;
    return image.pixelColor(int(x * scale), int(y * scale));
}

QString describe(const QColor& colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

// Anti-aliasing and PNG rounding move a channel by a few steps at most.
bool near(const QColor& actual, const QColor& wanted)
{
    constexpr int kTolerance = 10;
    return qAbs(actual.red() - wanted.red()) <= kTolerance &&
           qAbs(actual.green() - wanted.green()) <= kTolerance &&
           qAbs(actual.blue() - wanted.blue()) <= kTolerance &&
           qAbs(actual.alpha() - wanted.alpha()) <= kTolerance;
}

} // namespace

class TestPanelIcon : public QObject
{
    Q_OBJECT

  private slots:
    void holdsEverySize();
    void showsTheProjector_data();
    void showsTheProjector();
};

// Every size the desktop and the title bar ask for comes from the compiled-in
// renderings, so none has to be scaled from another.
void TestPanelIcon::holdsEverySize()
{
    const QIcon icon = panelIcon();
    QVERIFY(!icon.isNull());
    const QList<QSize> expected{{16, 16}, {24, 24},   {32, 32},  {48, 48},
                                {64, 64}, {128, 128}, {256, 256}};
    QCOMPARE(icon.availableSizes(), expected);
}

void TestPanelIcon::showsTheProjector_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("detailed");
    // Below 32 pixels the lens and the lamp are a pixel or two, blended with the body.
    QTest::newRow("16 px, title bar") << 16 << false;
    QTest::newRow("24 px") << 24 << false;
    QTest::newRow("32 px") << 32 << true;
    QTest::newRow("48 px, menu") << 48 << true;
    QTest::newRow("64 px") << 64 << true;
    QTest::newRow("128 px") << 128 << true;
    QTest::newRow("256 px, software centre") << 256 << true;
}

void TestPanelIcon::showsTheProjector()
{
    QFETCH(int, size);
    QFETCH(bool, detailed);

    const QPixmap pixmap = panelIcon().pixmap(QSize(size, size));
    QCOMPARE(pixmap.size(), QSize(size, size));
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);

    struct Point
    {
        const char* what;
        double x, y;
        QColor colour;
    };
    QList<Point> points{
        {"top left corner, clear", 0.5, 0.5, QColor(0, 0, 0, 0)},
        {"bottom left corner, clear", 0.5, 31.5, QColor(0, 0, 0, 0)},
        {"bottom right corner, clear", 31.5, 31.5, QColor(0, 0, 0, 0)},
        {"above the body, left of the beam, clear", 3.0, 6.0, QColor(0, 0, 0, 0)},
        {"body", 19.0, 21.0, QColor(0x70, 0x78, 0x88)},
        {"beam, translucent", 28.5, 9.5, QColor(0xff, 0xe6, 0x5a, 200)},
    };
    if (detailed) {
        points.append({"lens", 11.5, 21.5, QColor(0x1e, 0x3c, 0x6e)});
        points.append({"power lamp", 24.0, 21.0, QColor(0x5a, 0xe6, 0x5a)});
        points.append({"top edge", 15.0, 15.0, QColor(0x96, 0x9e, 0xac)});
    }
    for (const Point& point : points) {
        QColor actual = colourAt(image, point.x, point.y);
        // A clear pixel's colour channels mean nothing.
        if (actual.alpha() == 0)
            actual = QColor(0, 0, 0, 0);
        QVERIFY2(near(actual, point.colour), qPrintable(QStringLiteral("%1: %2, expected %3")
                                                            .arg(QLatin1String(point.what))
                                                            .arg(describe(actual))
                                                            .arg(describe(point.colour))));
    }
}

QTEST_MAIN(TestPanelIcon)
#include "tst_panelicon.moc"
