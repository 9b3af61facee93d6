#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

// Where a picture sits in its view and how view points map into picture coordinates.
namespace RegionGeometry {

// The picture scaled to fit the view, keeping its aspect ratio, never enlarged, centred.
QRectF displayRect(const QSize& picture, const QSize& view);

// picture x = (x - display left) * source width / display width, likewise for y.
QPointF toPicture(const QPointF& viewPoint, const QRectF& display, const QSize& picture);
QPointF toView(const QPointF& picturePoint, const QRectF& display, const QSize& picture);

// The whole pixels between two picture points, corners at the nearest pixel boundary, cut to
// the picture; empty unless at least one whole pixel is covered in each direction.
QRect spanned(const QPointF& a, const QPointF& b, const QSize& picture);

} // namespace RegionGeometry
