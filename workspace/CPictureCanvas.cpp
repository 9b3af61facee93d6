#include "workspace/CPictureCanvas.h"

#include "workspace/RegionGeometry.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QMouseEvent>
#include <QPainter>

CPictureCanvas::CPictureCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pictureCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setMinimumSize(64, 64);
    setAccessibleName(CatalogText(msg::PictureCanvasName));
    connect(this, &CPictureCanvas::regionChanged, this, &CPictureCanvas::describe);
}

void CPictureCanvas::describe() {
    if (m_image.isNull()) {
        setAccessibleDescription(QString());
        return;
    }
    const QString w = QString::number(m_image.width());
    const QString h = QString::number(m_image.height());
    if (m_region.isEmpty()) {
        setAccessibleDescription(CatalogText(msg::PictureCanvasSize, {w, h}));
        return;
    }
    setAccessibleDescription(
        CatalogText(msg::PictureCanvasRegion,
                    {w, h, QString::number(m_region.width()), QString::number(m_region.height()),
                     QString::number(m_region.x()), QString::number(m_region.y())}));
}

void CPictureCanvas::setImage(const QImage& image) {
    m_image = image;
    m_drawing = false;
    if (!m_region.isEmpty() && !QRect(QPoint(0, 0), m_image.size()).contains(m_region)) {
        m_region = QRect();
        Q_EMIT regionChanged();
    }
    describe();
    update();
}

void CPictureCanvas::setRegion(const QRect& region) {
    m_region = region.intersected(QRect(QPoint(0, 0), m_image.size()));
    update();
    Q_EMIT regionChanged();
}

void CPictureCanvas::clearRegion() {
    if (!m_region.isEmpty()) {
        m_region = QRect();
        update();
        Q_EMIT regionChanged();
    }
}

QRectF CPictureCanvas::displayRect() const {
    return RegionGeometry::displayRect(m_image.size(), size());
}

void CPictureCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (m_image.isNull()) {
        return;
    }
    const QRectF d = displayRect();
    p.setRenderHint(QPainter::SmoothPixmapTransform, d.width() < m_image.width());
    p.drawImage(d, m_image);
    QRectF band;
    if (m_drawing) {
        const QRect r = RegionGeometry::spanned(m_anchor, m_current, m_image.size());
        band =
            QRectF(RegionGeometry::toView(r.topLeft(), d, m_image.size()),
                   RegionGeometry::toView(r.topLeft() + QPointF(r.width(), r.height()), d, m_image.size()));
    } else if (!m_region.isEmpty()) {
        band =
            QRectF(RegionGeometry::toView(m_region.topLeft(), d, m_image.size()),
                   RegionGeometry::toView(m_region.topLeft() + QPointF(m_region.width(), m_region.height()),
                                          d, m_image.size()));
    }
    if (!band.isEmpty()) {
        p.setPen(QPen(Qt::white, 1, Qt::SolidLine));
        p.drawRect(band.adjusted(0, 0, -1, -1));
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(band.adjusted(0, 0, -1, -1));
    }
}

void CPictureCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_image.isNull()) {
        return;
    }
    const QPointF at = RegionGeometry::toPicture(event->position(), displayRect(), m_image.size());
    if (!m_region.isEmpty() && QRectF(m_region).contains(at)) {
        return; // a press inside the region keeps it
    }
    m_drawing = true;
    m_anchor = at;
    m_current = at;
    update();
}

void CPictureCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!m_drawing) {
        return;
    }
    m_current = RegionGeometry::toPicture(event->position(), displayRect(), m_image.size());
    update();
}

void CPictureCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_drawing) {
        return;
    }
    m_drawing = false;
    m_current = RegionGeometry::toPicture(event->position(), displayRect(), m_image.size());
    // A click without a drag, or a drag outside the picture, leaves no region.
    m_region = RegionGeometry::spanned(m_anchor, m_current, m_image.size());
    update();
    Q_EMIT regionChanged();
}
