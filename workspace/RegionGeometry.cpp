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
    return {(p.x() - d.left()) * picture.width() / d.width(), (p.y() - d.top()) * picture.height() / d.height()};
}

QPointF RegionGeometry::toView(const QPointF& p, const QRectF& d, const QSize& picture) {
    if (picture.isEmpty()) {
        return {};
    }
    return {d.left() + p.x() * d.width() / picture.width(), d.top() + p.y() * d.height() / picture.height()};
}

QRect RegionGeometry::spanned(const QPointF& a, const QPointF& b, const QSize& picture) {
    const double left = std::clamp(std::floor(std::min(a.x(), b.x())), 0.0, double(picture.width()));
    const double top = std::clamp(std::floor(std::min(a.y(), b.y())), 0.0, double(picture.height()));
    const double right = std::clamp(std::ceil(std::max(a.x(), b.x())), 0.0, double(picture.width()));
    const double bottom = std::clamp(std::ceil(std::max(a.y(), b.y())), 0.0, double(picture.height()));
    const QRect r(int(left), int(top), int(right - left), int(bottom - top));
    return r.width() > 0 && r.height() > 0 ? r : QRect();
}
