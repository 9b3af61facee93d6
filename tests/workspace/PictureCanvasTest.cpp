#include "workspace/CPictureCanvas.h"
#include "workspace/RegionGeometry.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A 200x100 picture in a 400x300 view: shown 1:1, centred at (100, 100).
struct LeadFixture {
    CPictureCanvas lead;
    LeadFixture() {
        QImage img(200, 100, QImage::Format_RGB32);
        img.fill(Qt::gray);
        lead.resize(400, 300);
        lead.setImage(img);
    }
    void drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(&lead, button, Qt::NoModifier, from);
        QTest::mouseMove(&lead, to);
        QTest::mouseRelease(&lead, button, Qt::NoModifier, to);
    }
};

} // namespace

TEST(PictureCanvasTest, LeftDragDrawsARegionInPictureCoordinates) {
    LeadFixture f;
    EXPECT_FALSE(f.lead.hasRegion());
    f.drag({110, 110}, {160, 150});
    ASSERT_TRUE(f.lead.hasRegion());
    EXPECT_EQ(f.lead.region(), QRect(10, 10, 50, 40));
    f.drag({160, 150}, {110, 110}); // starts on its corner, which counts as inside
    EXPECT_EQ(f.lead.region(), QRect(10, 10, 50, 40));
}

TEST(PictureCanvasTest, PressInsideKeepsRegionOutsideStartsANewOne) {
    LeadFixture f;
    f.drag({110, 110}, {160, 150});
    f.drag({120, 120}, {280, 190}); // starts inside: kept
    EXPECT_EQ(f.lead.region(), QRect(10, 10, 50, 40));
    f.drag({250, 180}, {290, 195}); // starts outside: a new region
    EXPECT_EQ(f.lead.region(), QRect(150, 80, 40, 15));
}

TEST(PictureCanvasTest, OtherButtonsAndDegenerateDragsLeaveNoHarm) {
    LeadFixture f;
    f.drag({110, 110}, {160, 150}, Qt::RightButton);
    EXPECT_FALSE(f.lead.hasRegion());
    f.drag({120, 120}, {120, 120}); // a click: zero size
    EXPECT_FALSE(f.lead.hasRegion());
    f.drag({5, 5}, {50, 50}); // wholly outside the picture
    EXPECT_FALSE(f.lead.hasRegion());
    f.drag({50, 50}, {399, 299}); // from outside across the picture: cut to it
    EXPECT_EQ(f.lead.region(), QRect(0, 0, 200, 100));
    QImage smaller(20, 20, QImage::Format_RGB32);
    f.lead.setImage(smaller);
    EXPECT_FALSE(f.lead.hasRegion()) << "a region larger than the new picture goes";
}

TEST(RegionGeometryTest, FitsWithoutEnlarging) {
    EXPECT_EQ(RegionGeometry::displayRect({200, 100}, {400, 300}), QRectF(100, 100, 200, 100));
    EXPECT_EQ(RegionGeometry::displayRect({800, 400}, {400, 300}), QRectF(0, 50, 400, 200));
    const QRectF d(0, 50, 400, 200);
    EXPECT_EQ(RegionGeometry::toPicture({200, 150}, d, {800, 400}), QPointF(400, 200));
    EXPECT_EQ(RegionGeometry::toView({400, 200}, d, {800, 400}), QPointF(200, 150));
    EXPECT_TRUE(RegionGeometry::displayRect({0, 0}, {10, 10}).isEmpty());
}

// Pictures shown at fractional scales or centred at half pixels: a click makes no region,
// and a drag covers whole picture pixels, at least one each way, never outside the picture.
TEST(PictureCanvasTest, ClicksAtFractionalPositionsMakeNoRegion) {
    const QList<std::pair<QSize, QSize>> cases = {
        {{201, 101}, {400, 300}},  // shown 1:1, centred at (99.5, 99.5)
        {{301, 157}, {200, 150}},  // scaled by about 0.66
        {{1013, 677}, {333, 251}}, // scaled by about 0.33
        {{7, 5}, {64, 64}},        // tiny, centred at half pixels
    };
    for (const auto& [pictureSize, viewSize] : cases) {
        CPictureCanvas lead;
        QImage img(pictureSize, QImage::Format_RGB32);
        img.fill(Qt::gray);
        lead.resize(viewSize);
        lead.setImage(img);
        const QRectF d = lead.displayRect();
        for (int x = int(d.left()); x < int(d.right()); x += 3) {
            const QPoint at(x, int(d.center().y()));
            QTest::mouseClick(&lead, Qt::LeftButton, Qt::NoModifier, at);
            ASSERT_FALSE(lead.hasRegion()) << pictureSize.width() << " at " << x;
        }
        // A drag across the whole view: nearly the whole picture, never more.
        QTest::mousePress(&lead, Qt::LeftButton, Qt::NoModifier,
                          QPoint(1, 1)); // (0, 0) would mean the centre
        QTest::mouseMove(&lead, QPoint(viewSize.width() - 1, viewSize.height() - 1));
        QTest::mouseRelease(&lead, Qt::LeftButton, Qt::NoModifier,
                            QPoint(viewSize.width() - 1, viewSize.height() - 1));
        const QRect r = lead.region();
        EXPECT_TRUE(QRect(QPoint(0, 0), pictureSize).contains(r)) << pictureSize.width();
        EXPECT_GE(r.width(), pictureSize.width() * 9 / 10) << pictureSize.width();
        EXPECT_GE(r.height(), pictureSize.height() * 9 / 10) << pictureSize.width();
    }
}

TEST(RegionGeometryTest, SpannedRegionsCoverWholePixelsInsideThePicture) {
    const QSize picture(301, 157);
    // The same point twice, wherever it lies, is no region.
    for (double x = -3.25; x < 305; x += 0.75) {
        const QPointF p(x, x / 2 + 0.5);
        ASSERT_TRUE(RegionGeometry::spanned(p, p, picture).isNull()) << x;
    }
    // Pairs of fractional points: a region, when there is one, is at least one pixel each way
    // and inside the picture; the corners are the nearest pixel boundaries.
    for (double ax = -2.4; ax < 303; ax += 7.3) {
        for (double bx = ax; bx < 306; bx += 5.1) {
            const QPointF a(ax, ax * 0.4 + 0.3);
            const QPointF b(bx, bx * 0.5 - 0.6);
            const QRect r = RegionGeometry::spanned(a, b, picture);
            if (r.isNull()) {
                continue;
            }
            ASSERT_GE(r.width(), 1);
            ASSERT_GE(r.height(), 1);
            ASSERT_TRUE(QRect(QPoint(0, 0), picture).contains(r)) << ax << "," << bx;
        }
    }
    EXPECT_EQ(RegionGeometry::spanned({10.4, 20.6}, {12.6, 23.4}, picture), QRect(10, 21, 3, 2));
    EXPECT_TRUE(RegionGeometry::spanned({10.6, 20.6}, {10.9, 30}, picture).isNull())
        << "less than half a pixel wide rounds to nothing";
    EXPECT_EQ(RegionGeometry::spanned({-5, -5}, {400, 400}, picture), QRect(QPoint(0, 0), picture));
    EXPECT_TRUE(RegionGeometry::spanned({-5, -5}, {-1, 40}, picture).isNull()) << "wholly outside";
}
