#include "ui/panelfont.h"

#include "core/buttontable.h"
#include "core/panellayout.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QStyle>
#include <algorithm>
#include <vector>

namespace zuno {

namespace {

// The panel's own face, a Japanese proportional Gothic; where it is missing, the system's
// sans-serif face and then these narrower faces, the first in which every caption fits.
const QString kPanelFace = QStringLiteral("ＭＳ Ｐゴシック");
const QStringList kNarrowFaces{QStringLiteral("DejaVu Sans Condensed"),
                               QStringLiteral("Liberation Sans Narrow")};

// A caption and the box its text must fit in, at the control's size and weight.
struct CaptionBox
{
    QString text;
    QSizeF box;
    double pointSize;
    bool bold;
};

std::vector<CaptionBox> panelCaptions()
{
    std::vector<CaptionBox> captions;
    for (const ButtonSpec& spec : panelButtons()) {
        if (spec.picture != ButtonPicture::Caption)
            continue;
        const QSize size = pixelRect(spec.rect).size();
        const int side = kFilledButtonBorderPx + kFilledButtonPaddingPx;
        captions.push_back(
            {QString::fromUtf8(spec.caption),
             QSizeF(size.width() - 2 * side, size.height() - 2 * kFilledButtonBorderPx),
             spec.pointSize, spec.bold});
    }
    for (const LabelSpec& spec : panelLabels()) {
        if (*spec.text == '\0')
            continue;
        const int border = spec.thinBorder ? 1 : 0;
        const QSize size = pixelRect(spec.rect).size();
        captions.push_back({QString::fromUtf8(spec.text),
                            QSizeF(size.width() - 2 * border, size.height() - 2 * border),
                            spec.pointSize, spec.bold});
    }
    const QStyle* style = QApplication::style();
    const int indicator = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                          style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    for (const AddressOptionSpec& spec : addressOptions()) {
        const QSize size = pixelRect(spec.rect).size();
        captions.push_back({QString::fromUtf8(spec.caption),
                            QSizeF(size.width() - indicator, size.height()), spec.pointSize,
                            spec.bold});
    }
    return captions;
}

QFont makeFont(const QString& family, double pointSize, bool bold)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

bool allCaptionsFit(const QString& family, double scale, const std::vector<CaptionBox>& captions)
{
    for (const CaptionBox& caption : captions) {
        const QFont font = makeFont(family, caption.pointSize * scale, caption.bold);
        if (!textFits(font, caption.text, caption.box))
            return false;
    }
    return true;
}

bool isInstalled(const QString& family)
{
    if (QFontDatabase::families().contains(family))
        return true;
    return QFontInfo(QFont(family)).family() == family;
}

// The face the panel uses, and the factor its sizes are scaled by (1 unless no installed face
// fits every caption at the panel's sizes).
struct PanelFace
{
    QString family;
    double scale = 1.0;
};

PanelFace choosePanelFace()
{
    QFont sansSerif;
    sansSerif.setStyleHint(QFont::SansSerif);
    sansSerif.setFamily(QStringLiteral("Sans Serif"));
    QStringList candidates;
    for (const QString& family :
         QStringList{kPanelFace, QFontInfo(sansSerif).family()} + kNarrowFaces) {
        if (!candidates.contains(family) && isInstalled(family))
            candidates.append(family);
    }
    std::vector<CaptionBox> captions = panelCaptions();
    // The most crowded captions first, so a face that is too wide fails on its first checks
    // instead of after measuring every caption (this runs at every start).
    auto crowding = [](const CaptionBox& c) {
        return c.text.size() * c.pointSize / std::max(1.0, c.box.width());
    };
    std::stable_sort(
        captions.begin(), captions.end(),
        [&](const CaptionBox& a, const CaptionBox& b) { return crowding(a) > crowding(b); });
    for (const QString& family : candidates) {
        if (allCaptionsFit(family, 1.0, captions))
            return {family, 1.0};
    }
    // Last resort: the narrowest face at a smaller size.
    const QString narrowest = candidates.isEmpty() ? QString() : candidates.last();
    double scale = 0.95;
    while (scale > 0.5 && !allCaptionsFit(narrowest, scale, captions))
        scale -= 0.05;
    qWarning("zuno: panel captions do not fit in any installed face at their sizes; "
             "using %s at %d %% of them",
             qPrintable(narrowest), qRound(scale * 100));
    return {narrowest, scale};
}

const PanelFace& panelFace()
{
    static const PanelFace face = choosePanelFace();
    return face;
}

} // namespace

bool textFits(const QFont& font, const QString& text, QSizeF box)
{
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);
    const qreal width = std::max(metrics.horizontalAdvance(text), ink.right());
    const qreal baseline = (box.height() - metrics.height()) / 2 + metrics.ascent();
    return width <= box.width() && baseline + ink.top() >= 0 &&
           baseline + ink.bottom() <= box.height();
}

QFont fittedFont(QFont font, const QString& text, QSizeF box, qreal smallestPointSize)
{
    for (const int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
        if (textFits(font, text, box))
            return font;
        font.setStretch(stretch);
    }
    constexpr qreal kPointStep = 0.25;
    while (!textFits(font, text, box) && font.pointSizeF() > smallestPointSize)
        font.setPointSizeF(font.pointSizeF() - kPointStep);
    return font;
}

QFont panelFont(double pointSize, bool bold)
{
    const PanelFace& face = panelFace();
    return makeFont(face.family, pointSize * face.scale, bold);
}

} // namespace zuno
