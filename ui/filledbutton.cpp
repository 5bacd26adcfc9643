#include "ui/filledbutton.h"

#include "ui/panelfont.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace zuno {

namespace {
QColor blend(const QColor& from, const QColor& to, double amount)
{
    auto mix = [amount](int a, int b) { return qRound(a + (b - a) * amount); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}
} // namespace

FilledButton::FilledButton(const QColor& fill, QWidget* parent)
    : QPushButton(parent), m_fill(fill), m_light(blend(fill, Qt::white, 0.7)),
      m_dark(blend(fill, Qt::black, 0.5))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FilledButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_fill);

    QColor topLeft = m_light;
    QColor bottomRight = m_dark;
    if (isDown())
        std::swap(topLeft, bottomRight);
    else if (hasFocus())
        topLeft = bottomRight = Qt::black;
    const qreal w = width();
    const qreal h = height();
    const qreal b = kFilledButtonBorderPx;
    painter.setPen(Qt::NoPen);
    if (topLeft == bottomRight) {
        QPainterPath frame;
        frame.addRect(rect());
        frame.addRect(QRectF(rect()).adjusted(b, b, -b, -b));
        painter.fillPath(frame, topLeft);
    } else {
        // Two L-shaped halves that meet on the diagonals of the other two corners; the light
        // half goes on last and takes the corners' mixed pixels.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(bottomRight);
        painter.drawPolygon(
            QPolygonF{{0, h}, {b, h - b}, {w - b, h - b}, {w - b, b}, {w, 0}, {w, h}});
        painter.setBrush(topLeft);
        painter.drawPolygon(QPolygonF{{0, 0}, {w, 0}, {w - b, b}, {b, b}, {b, h - b}, {0, h}});
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    QStyleOptionButton option;
    initStyleOption(&option);
    const int side = kFilledButtonBorderPx + kFilledButtonPaddingPx;
    option.rect = rect().adjusted(side, kFilledButtonBorderPx, -side, -kFilledButtonBorderPx);
    style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);
}

} // namespace zuno
