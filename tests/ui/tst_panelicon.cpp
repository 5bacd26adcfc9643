#include "testing/fakepanel.h"
#include "ui/panelbuilder.h"
#include "ui/panelwindow.h"

#include <QtTest>

using namespace zuno;

class TestPanelIcon : public QObject
{
    Q_OBJECT

  private slots:
    // Every size the desktop and the title bar ask for is drawn, none scaled from another,
    // and each shows the projector on a clear ground: points on a 32 x 32 grid with their
    // colour, the lens only from 32 pixels up, where it is more than a blended pixel or two.
    void showsTheProjectorAtEverySize()
    {
        const QList<QSize> sizes{{16, 16}, {24, 24},   {32, 32},  {48, 48},
                                 {64, 64}, {128, 128}, {256, 256}};
        QCOMPARE(panelIcon().availableSizes(), sizes);
        const QColor clear(0, 0, 0, 0), body(0x70, 0x78, 0x88), beam(0xff, 0xe6, 0x5a, 200),
            lens(0x1e, 0x3c, 0x6e);
        const std::pair<QPointF, QColor> points[] = {{{0.5, 0.5}, clear}, {{31.5, 31.5}, clear},
                                                     {{3, 6}, clear},     {{19, 21}, body},
                                                     {{28.5, 9.5}, beam}, {{11.5, 21.5}, lens}};
        for (const QSize size : sizes) {
            const QImage image =
                panelIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), size);
            for (const auto& [point, wanted] : points) {
                if (wanted == lens && size.width() < 32)
                    continue;
                const qreal scale = size.width() / 32.0;
                QColor actual = image.pixelColor(int(point.x() * scale), int(point.y() * scale));
                if (actual.alpha() == 0)
                    actual = clear; // a clear pixel's colour channels mean nothing
                // Anti-aliasing and rounding move a channel by a few steps at most.
                for (int shift : {0, 8, 16, 24})
                    QVERIFY2(qAbs(int(actual.rgba() >> shift & 0xff) -
                                  int(wanted.rgba() >> shift & 0xff)) <= 10,
                             qPrintable(QString::asprintf(
                                 "%d px at (%.1f, %.1f): %s", size.width(), point.x(), point.y(),
                                 qPrintable(actual.name(QColor::HexArgb)))));
            }
        }
    }

    // The panel is drawn first; its icon follows as soon as the event loop runs again.
    void panelWindowTakesTheIconAfterItsFirstPaint()
    {
        FakePanel panel;
        PanelWindow& window = panel.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.windowIcon().availableSizes(), panelIcon().availableSizes());
    }
};

QTEST_MAIN(TestPanelIcon)
#include "tst_panelicon.moc"
