#pragma once
// Where the cover flow puts its pictures: a row with the selected picture facing
// the viewer in the middle and the others turned towards it, packed closely.

#include <QList>
#include <QRectF>
#include <QtGlobal>
#include <optional>
#include <utility>

/// What the layout reads from its host (sizes in points, y measured upwards).
struct KELCoverFlowLayoutInput {
    double width = 0; // the scroll area's bounds
    double height = 0;
    qint64 desktopImageCount = 0;
    qint64 selectedDesktopImage = 0;
    double cellWidth = 100; // "desktopImageCellSize"
    double cellHeight = 100;
    double spacing = 0;
    double margin = 0;
};

/// One picture's place: its container's frame in scroll-area coordinates (y upwards).
struct KELCoverFlowPlacement {
    double x = 0;
    double y = 0;
    /// Turn about the vertical axis in radians; positive turns the right edge away
    /// from the viewer (pictures left of the selection), negative the left edge.
    double angle = 0;
    /// Depth of the picture inside its container (towards the viewer).
    double z = 0;
    /// Depth of the container: nearer pictures draw over farther ones.
    double containerZ = 0;
};

class KELCoverFlowImageLayout {
public:
    static KELCoverFlowImageLayout& layoutManager();

    double zCenterPosition = 100;
    double zSidePosition = 0;
    double sideSpacingFactor = 0.75;
    double rowScaleFactor = 0.85;
    double sideAngle = 0.79;

    /// The place of every picture, by index; empty when there are none.
    QList<KELCoverFlowPlacement> layoutSublayers(const KELCoverFlowLayoutInput& in) const;
    /// The place of one picture.
    KELCoverFlowPlacement placementOf(const KELCoverFlowLayoutInput& in, qint64 index) const;
    /// The scroll x that puts the selected picture in the middle.
    double positionOfSelectedDesktopImage(const KELCoverFlowLayoutInput& in) const;
    /// First and last index of the pictures that may lie in rect (scroll-area
    /// coordinates); none when no picture can.
    std::optional<std::pair<qint64, qint64>> desktopImageIndices(const KELCoverFlowLayoutInput& in,
                                                                 const QRectF& rect) const;

private:
    static double rowLeft(const KELCoverFlowLayoutInput& in);
};
