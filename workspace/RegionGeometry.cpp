#include "workspace/RegionGeometry.h"

#include <algorithm>
#include <cmath>

QRectF RegionGeometry::displayRect(const QSize& picture, const QSize& view) {
    if (picture.isEmpty() || view.isEmpty()) {
        return {};
    }
    const double scale =
        std::min({1.0, double(view.width()) / picture.width(), double(view.height()) / picture.height()});
    const double w = picture.width() * scale;
    const double h = picture.height() * scale;
    return {(view.width() - w) / 2.0, (view.height() - h) / 2.0, w, h};
}

QPointF RegionGeometry::toPicture(const QPointF& p, const QRectF& d, const QSize& picture) {
    if (d.width() <= 0 || d.height() <= 0) {
        return {};
    }
    return {(p.x() - d.left()) * picture.width() / d.width(),
            (p.y() - d.top()) * picture.height() / d.height()};
}

QPointF RegionGeometry::toView(const QPointF& p, const QRectF& d, const QSize& picture) {
    if (picture.isEmpty()) {
        return {};
    }
    return {d.left() + p.x() * d.width() / picture.width(), d.top() + p.y() * d.height() / picture.height()};
}

QRect RegionGeometry::spanned(const QPointF& a, const QPointF& b, const QSize& picture) {
    // Corners go to the nearest pixel boundary, never outwards: rounding outwards would turn a
    // click at a fractional point into a one-pixel region.
    auto boundary = [](double v, int limit) { return std::clamp(std::round(v), 0.0, double(limit)); };
    const double left = boundary(std::min(a.x(), b.x()), picture.width());
    const double top = boundary(std::min(a.y(), b.y()), picture.height());
    const double right = boundary(std::max(a.x(), b.x()), picture.width());
    const double bottom = boundary(std::max(a.y(), b.y()), picture.height());
    const QRect r(int(left), int(top), int(right - left), int(bottom - top));
    return r.width() >= 1 && r.height() >= 1 ? r : QRect();
}
