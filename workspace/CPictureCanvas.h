#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QWidget>

// Shows the picture and lets the user draw the trimming region: a rubber-band rectangle
// drawn with the left button. A press inside an existing region keeps it. Its accessible
// description gives the picture's size and the region, for screen readers and for tests.
class CPictureCanvas final : public QWidget {
    Q_OBJECT

public:
    explicit CPictureCanvas(QWidget* parent = nullptr);

    void setImage(const QImage& image); // a null image shows nothing
    [[nodiscard]] bool hasPicture() const { return !m_image.isNull(); }
    [[nodiscard]] const QImage& image() const { return m_image; }

    [[nodiscard]] bool hasRegion() const { return !m_region.isEmpty(); }
    [[nodiscard]] QRect region() const { return m_region; } // picture coordinates
    void setRegion(const QRect& region);
    void clearRegion();
    [[nodiscard]] QRectF displayRect() const;

Q_SIGNALS:
    void regionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void describe(); // what a screen reader says besides the name

    QImage m_image;
    QRect m_region;
    bool m_drawing = false;
    QPointF m_anchor; // picture coordinates
    QPointF m_current;
};
