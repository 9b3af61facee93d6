#include "workspace/CLead.h"
#include "workspace/OpenFilterTable.h"
#include "workspace/RegionGeometry.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A 200x100 picture in a 400x300 view: shown 1:1, centred at (100, 100).
struct LeadFixture {
    CLead lead;
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

TEST(LeadRegionTest, LeftDragDrawsARegionInPictureCoordinates) {
    LeadFixture f;
    EXPECT_FALSE(f.lead.hasRegion());
    f.drag({110, 110}, {160, 150});
    ASSERT_TRUE(f.lead.hasRegion());
    EXPECT_EQ(f.lead.region(), QRect(10, 10, 50, 40));
    f.drag({160, 150}, {110, 110}); // starts on its corner, which counts as inside
    EXPECT_EQ(f.lead.region(), QRect(10, 10, 50, 40));
}

TEST(LeadRegionTest, PressInsideKeepsRegionOutsideStartsANewOne) {
    LeadFixture f;
    f.drag({110, 110}, {160, 150});
    f.drag({120, 120}, {280, 190}); // starts inside: kept
    EXPECT_EQ(f.lead.region(), QRect(10, 10, 50, 40));
    f.drag({250, 180}, {290, 195}); // starts outside: a new region
    EXPECT_EQ(f.lead.region(), QRect(150, 80, 40, 15));
}

TEST(LeadRegionTest, OtherButtonsAndDegenerateDragsLeaveNoHarm) {
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

TEST(OpenFilterTableTest, RowsAsLaidOut) {
    const auto& rows = OpenFilterTable::rows();
    ASSERT_EQ(rows.size(), 83);
    EXPECT_STREQ(rows[0].description, "All Files(*.*)");
    EXPECT_STREQ(rows[1].patterns, "*.qv1");
    const QString joined = OpenFilterTable::joined();
    EXPECT_TRUE(joined.startsWith(u"All Files(*.*)|*.*|Projector GIF(*.qv1)|*.qv1|"));
    EXPECT_TRUE(joined.endsWith(u"X Pixmap(*.xpm)|*.xpm"));
    EXPECT_TRUE(joined.contains(u"CMW(*.cmw)|*.cmd|"));
    EXPECT_TRUE(joined.contains(u"JBIG(*.jbg;*.jbig)|*.jbg;*.jbig)|"));
    const QStringList qt = OpenFilterTable::forFileDialog().split(u";;"_qs);
    ASSERT_EQ(qt.size(), 83);
    EXPECT_EQ(qt[3], u"JPEG (*.jpg *.jpeg *.jtf)");
    EXPECT_TRUE(qt.contains(u"JBIG (*.jbg *.jbig)"_qs));
}
