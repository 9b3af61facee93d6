#include "workspace/OpenFilterTable.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "imaging/PictureLoader.h"
#include "support/CatalogFixture.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList offeredSuffixes() {
    QStringList all;
    for (const OpenFilterTable::Row& r : OpenFilterTable::readableRows()) {
        all << r.suffixes;
    }
    return all;
}

const OpenFilterTable::Candidate* candidateOf(const OpenFilterTable::Row& row) {
    for (const OpenFilterTable::Candidate& c : OpenFilterTable::candidates()) {
        if (c.description == row.description) {
            return &c;
        }
    }
    return nullptr;
}

} // namespace

// The formats every installation reads are found; the old table's entries that never opened
// are not offered.
TEST(OpenFilterTableTest, OffersTheCommonTypesAndNothingThatCannotOpen) {
    const QStringList offered = offeredSuffixes();
    RecordProperty("offered", offered.join(u' ').toStdString()); // what this machine reads, for the report
    for (const char* s : {"qv1", "jpg", "jpeg", "png", "gif", "tif", "tiff", "bmp", "ppm"}) {
        EXPECT_TRUE(offered.contains(QLatin1String(s))) << s;
    }
    for (const char* s : {"rtf", "dwg", "clp", "crw", "cmd", "jtf", "pcd", "eps", "wmf"}) {
        EXPECT_FALSE(offered.contains(QLatin1String(s))) << s;
    }
    EXPECT_EQ(offered.size(), QSet<QString>(offered.begin(), offered.end()).size())
        << "a suffix belongs to one row: " << offered.join(u' ').toStdString();
}

// Each offered type opens through the loader from a file written by another encoder where
// Qt's writers know the type (the table's own sample writer otherwise), at its size.
TEST(OpenFilterTableTest, EveryOfferedTypeOpensAPictureWrittenHere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage qtPicture(20, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            qtPicture.setPixel(x, y, qRgb(x * 12, y * 25, 200 - x * 5));
        }
    }
    int byQt = 0;
    int checked = 0;
    for (const OpenFilterTable::Row& row : OpenFilterTable::readableRows()) {
        const OpenFilterTable::Candidate* candidate = candidateOf(row);
        ASSERT_NE(candidate, nullptr);
        for (const QString& suffix : row.suffixes) {
            const QString path = dir.filePath(u"picture."_qs + suffix);
            QImageWriter writer(path, suffix.toLatin1());
            QSize expected(20, 10);
            if (writer.canWrite() && writer.write(qtPicture)) {
                ++byQt;
            } else {
                QFile::remove(path);
                ASSERT_TRUE(OpenFilterTable::writeSample(*candidate, path)) << suffix.toStdString();
                expected = QSize(8, 6);
            }
            Picture picture;
            const ImagingResult r = PictureLoader::load(path, picture);
            EXPECT_TRUE(r.ok()) << suffix.toStdString() << ": " << r.detail.toStdString();
            EXPECT_EQ(QSize(picture.width(), picture.height()), expected) << suffix.toStdString();
            ++checked;
        }
    }
    EXPECT_EQ(checked, offeredSuffixes().size());
    EXPECT_GE(byQt, 4) << "png, jpg, bmp and ppm at least come from Qt's own writers";
}

// The dialog's list speaks the catalog's language, all pictures first and every file last,
// and spells every type as the catalog does.
TEST(OpenFilterTableTest, TheDialogListFollowsTheCatalogLanguage) {
    for (const auto which : {ShippedCatalog::Which::Default, ShippedCatalog::Which::SimplifiedChinese}) {
        ShippedCatalog catalog(which, which == ShippedCatalog::Which::Default ? Catalog::kEnglish
                                                                              : Catalog::kSimplifiedChinese);
        const QStringList filters = OpenFilterTable::forFileDialog().split(u";;"_qs);
        const auto& rows = OpenFilterTable::readableRows();
        ASSERT_EQ(filters.size(), rows.size() + 2);
        EXPECT_TRUE(filters.first().startsWith(CatalogText(msg::FilterAllPictures) + u" (*.qv1 *.jpg"_qs))
            << filters.first().toStdString();
        for (const QString& s : offeredSuffixes()) {
            EXPECT_TRUE(filters.first().contains(u"*."_qs + s + u' ') ||
                        filters.first().endsWith(u"*."_qs + s + u')'))
                << s.toStdString();
        }
        EXPECT_EQ(filters.last(), CatalogText(msg::FilterAllFiles) + u" (*)"_qs);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QStringList patterns;
            for (const QString& s : rows[i].suffixes) {
                patterns << u"*."_qs + s;
            }
            EXPECT_EQ(filters[i + 1],
                      CatalogText(rows[i].description) + u" ("_qs + patterns.join(u' ') + u')');
        }
        const QString joined = filters.join(u'\n');
        EXPECT_FALSE(
            joined.contains(QRegularExpression(u"Clipboad|Reserch|Insitute|Fleixble|Phote|Cannon"_qs)));
        EXPECT_FALSE(joined.contains(kNoMessageCatalog)) << "a description missing from the catalog";
        if (which == ShippedCatalog::Which::SimplifiedChinese) {
            EXPECT_EQ(filters.last(), u"所有文件 (*)"_qs);
            EXPECT_FALSE(joined.contains(u"All"_qs));
        }
    }
}
