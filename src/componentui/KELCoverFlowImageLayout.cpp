#include "componentui/KELCoverFlowImageLayout.h"

#include <cmath>

KELCoverFlowImageLayout& KELCoverFlowImageLayout::layoutManager()
{
    static KELCoverFlowImageLayout layout;
    return layout;
}

double KELCoverFlowImageLayout::rowLeft(const KELCoverFlowLayoutInput& in)
{
    const double n = double(in.desktopImageCount);
    return std::floor(in.margin + (in.width - n * in.cellWidth - (n - 1) * in.spacing) / 2);
}

KELCoverFlowPlacement KELCoverFlowImageLayout::placementOf(const KELCoverFlowLayoutInput& in, qint64 i) const
{
    KELCoverFlowPlacement p;
    const double step = in.cellWidth + in.spacing;
    p.x = double(i) * step + rowLeft(in);
    p.y = in.height / 2 - 15;
    const qint64 sel = in.selectedDesktopImage;
    if (i < sel) {
        const double d = double(sel - i);
        p.x += (d - rowScaleFactor) * sideSpacingFactor * in.cellWidth;
        p.angle = sideAngle;
        p.z = zSidePosition;
        p.containerZ = zSidePosition - 0.01 * d;
    } else if (i > sel) {
        const double d = double(i - sel);
        p.x -= (d - rowScaleFactor) * sideSpacingFactor * in.cellWidth;
        p.angle = -sideAngle;
        p.z = zSidePosition;
        p.containerZ = zSidePosition - 0.01 * d;
    } else {
        p.z = zCenterPosition;
        p.containerZ = zSidePosition;
    }
    return p;
}

QList<KELCoverFlowPlacement> KELCoverFlowImageLayout::layoutSublayers(const KELCoverFlowLayoutInput& in) const
{
    QList<KELCoverFlowPlacement> placements;
    if (in.desktopImageCount <= 0)
        return placements;
    placements.reserve(in.desktopImageCount);
    for (qint64 i = 0; i < in.desktopImageCount; ++i)
        placements << placementOf(in, i);
    return placements;
}

double KELCoverFlowImageLayout::positionOfSelectedDesktopImage(const KELCoverFlowLayoutInput& in) const
{
    KELCoverFlowLayoutInput cell = in;
    if (cell.cellWidth == 0)
        cell.cellWidth = 100;
    return double(cell.selectedDesktopImage) * (cell.cellWidth + cell.spacing) + rowLeft(cell) - cell.width / 2
        + cell.cellWidth / 2;
}

std::optional<std::pair<qint64, qint64>> KELCoverFlowImageLayout::desktopImageIndices(
    const KELCoverFlowLayoutInput& in, const QRectF& rect) const
{
    if (in.desktopImageCount <= 0)
        return std::nullopt;
    const double x0 = rowLeft(in);
    const double a = (1 - sideSpacingFactor) * in.cellWidth + in.spacing;
    const double b = (rowScaleFactor + double(in.selectedDesktopImage)) * sideSpacingFactor * in.cellWidth;
    if (a <= 0)
        return std::make_pair(qint64(0), in.desktopImageCount - 1);
    // Clamped in doubles first: a far-off rectangle must not overflow the integers.
    const double first = std::clamp(std::floor((rect.x() - x0 - b) / a), 0.0, double(in.desktopImageCount));
    const double last = std::clamp(std::ceil((rect.x() + rect.width() - x0 - b) / a), -1.0,
                                   double(in.desktopImageCount - 1));
    if (last < first)
        return std::nullopt;
    return std::make_pair(qint64(first), qint64(last));
}
