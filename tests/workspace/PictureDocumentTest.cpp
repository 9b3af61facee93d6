#include "workspace/PictureDocument.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureOps.h"
#include "support/TestImages.h"

#include <QRect>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

namespace {

PictureDocument::Edit resizeTo(int width, int height) {
    return [width, height](Picture& p) { return PictureOps::resize(p, width, height, 0); };
}

// The very pixels, not a look-alike: vips images are shared, so a restored picture is the
// same image.
bool samePixels(const Picture& a, const Picture& b) {
    return a.pixels().get_image() == b.pixels().get_image();
}

class PictureDocumentTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    PictureDocument document;
    QList<ImagingResult> edits;
    QList<std::pair<QString, ImagingResult>> opens;

    void SetUp() override {
        QObject::connect(&document, &PictureDocument::editFinished,
                         [this](const ImagingResult& r) { edits << r; });
        QObject::connect(
            &document, &PictureDocument::openFinished,
            [this](const QString& path, const ImagingResult& r) { opens << std::make_pair(path, r); });
    }

    // Generous: the sanitizer build on a loaded machine is slow.
    bool settle() {
        return QTest::qWaitFor([this] { return !document.isBusy(); }, 120000);
    }
    QString writePng(const QString& name, int width, int height) {
        const QString path = dir.filePath(name);
        TestImages::writeFile(path, TestImages::encode(TestImages::gradient(width, height), ".png"));
        return path;
    }
    void openAndWait(const QString& path) {
        ASSERT_TRUE(document.open(path));
        ASSERT_TRUE(settle());
    }
    void editAndWait(PictureDocument::Edit op) {
        ASSERT_TRUE(document.edit(std::move(op)));
        ASSERT_TRUE(settle());
    }
};

} // namespace

TEST_F(PictureDocumentTest, EveryEditIsUndoneAndRedoneInTurn) {
    EXPECT_EQ(document.state(), PictureDocument::None);
    EXPECT_FALSE(document.edit(resizeTo(4, 4))) << "nothing to edit yet";
    const QString png = writePng(u"a.png"_qs, 80, 60);
    openAndWait(png);
    ASSERT_EQ(opens.size(), 1);
    ASSERT_TRUE(opens[0].second.ok());
    EXPECT_EQ(document.state(), PictureDocument::Saved);
    EXPECT_EQ(document.path(), png);
    EXPECT_FALSE(document.canUndo());
    const Picture opened = document.picture();

    editAndWait(resizeTo(40, 30));
    editAndWait([](Picture& p) { return PictureOps::saturation(p, -1000); });
    editAndWait([](Picture& p) { return PictureOps::trim(p, QRect(0, 0, 20, 15)); });
    ASSERT_EQ(edits.size(), 3);
    EXPECT_TRUE(edits[2].ok());
    EXPECT_EQ(document.undoStack().count(), 3) << "one command per edit";
    EXPECT_EQ(document.state(), PictureDocument::Edited);
    EXPECT_EQ(document.width(), 20u);
    const Picture last = document.picture();

    const QList<quint32> widthsBack = {40, 40, 80};
    for (const quint32 width : widthsBack) {
        ASSERT_TRUE(document.canUndo());
        document.undo();
        EXPECT_EQ(document.width(), width);
    }
    EXPECT_TRUE(samePixels(document.picture(), opened)) << "undoing every edit gives the opened picture";
    EXPECT_EQ(document.state(), PictureDocument::Saved) << "the state before the first edit";
    EXPECT_FALSE(document.canUndo());
    document.undo(); // nothing left: changes nothing
    EXPECT_EQ(document.width(), 80u);

    const QList<quint32> widthsForward = {40, 40, 20};
    for (const quint32 width : widthsForward) {
        ASSERT_TRUE(document.canRedo());
        document.redo();
        EXPECT_EQ(document.width(), width);
        EXPECT_EQ(document.state(), PictureDocument::Edited);
    }
    EXPECT_TRUE(samePixels(document.picture(), last));
    EXPECT_FALSE(document.canRedo());

    // A new edit after an undo drops what could have been redone.
    document.undo();
    editAndWait(resizeTo(10, 10));
    EXPECT_FALSE(document.canRedo());
    EXPECT_EQ(document.undoStack().count(), 3);
}

TEST_F(PictureDocumentTest, OpeningAnotherPictureStartsAFreshHistory) {
    openAndWait(writePng(u"a.png"_qs, 80, 60));
    editAndWait(resizeTo(40, 30));
    editAndWait(resizeTo(20, 15));
    document.undo();
    ASSERT_TRUE(document.canUndo());
    ASSERT_TRUE(document.canRedo());
    int availability = 0;
    QObject::connect(&document, &PictureDocument::undoAvailabilityChanged, [&] { ++availability; });

    const QString second = writePng(u"b.png"_qs, 33, 22);
    openAndWait(second);
    EXPECT_FALSE(document.canUndo());
    EXPECT_FALSE(document.canRedo());
    EXPECT_EQ(document.undoStack().count(), 0);
    EXPECT_EQ(document.path(), second);
    EXPECT_EQ(document.state(), PictureDocument::Saved);
    EXPECT_GT(availability, 0) << "the commands hear that Undo and Redo went";

    // A failed open keeps the picture, its path and its history.
    editAndWait(resizeTo(11, 11));
    openAndWait(dir.filePath(u"missing.png"_qs));
    ASSERT_EQ(opens.size(), 3);
    EXPECT_EQ(opens[2].second.code, ImagingResult::Code::CannotOpen);
    EXPECT_EQ(document.path(), second);
    EXPECT_EQ(document.width(), 11u);
    EXPECT_EQ(document.state(), PictureDocument::Edited);
    EXPECT_TRUE(document.canUndo());
}

TEST_F(PictureDocumentTest, SaveAfterUndoWritesTheUndonePicture) {
    const QString png = writePng(u"a.png"_qs, 80, 60);
    openAndWait(png);
    editAndWait(resizeTo(40, 30));
    editAndWait(resizeTo(20, 15));
    document.undo();
    ASSERT_TRUE(document.save());
    ASSERT_TRUE(settle());
    EXPECT_EQ(document.state(), PictureDocument::Saved);
    Picture written;
    ASSERT_TRUE(PictureLoader::load(png, written).ok());
    EXPECT_EQ(written.width(), 40);
    EXPECT_EQ(written.height(), 30);
    EXPECT_TRUE(document.canUndo() && document.canRedo()) << "Save keeps the history";

    // Convert keeps the history too; Save As starts it afresh.
    const QString converted = dir.filePath(u"c.qv1"_qs);
    ASSERT_TRUE(document.saveProjectorPicture(converted, true));
    ASSERT_TRUE(settle());
    EXPECT_EQ(document.path(), converted);
    EXPECT_TRUE(document.canUndo());
    const QString saved = dir.filePath(u"s.qv1"_qs);
    ASSERT_TRUE(document.saveProjectorPicture(saved, false));
    ASSERT_TRUE(settle());
    EXPECT_FALSE(document.canUndo());
    EXPECT_FALSE(document.canRedo());
    ASSERT_TRUE(PictureLoader::load(saved, written).ok());
    EXPECT_EQ(written.width(), 40);
    EXPECT_TRUE(document.canSend());
}

TEST_F(PictureDocumentTest, AFailedEditChangesNothingAndBusyRefusesAnotherTask) {
    openAndWait(writePng(u"a.png"_qs, 80, 60));
    editAndWait(resizeTo(0, 30)); // refused by the operation
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0].code, ImagingResult::Code::BadArgument);
    EXPECT_EQ(document.width(), 80u);
    EXPECT_EQ(document.state(), PictureDocument::Saved);
    EXPECT_EQ(document.undoStack().count(), 0);

    editAndWait(resizeTo(40, 30));
    ASSERT_TRUE(document.edit(resizeTo(20, 15)));
    // The outcome only arrives through the event loop, so the document is busy until then.
    EXPECT_TRUE(document.isBusy());
    EXPECT_FALSE(document.canUndo()) << "no undo under a running edit";
    EXPECT_FALSE(document.edit(resizeTo(10, 10)));
    EXPECT_FALSE(document.open(dir.filePath(u"a.png"_qs)));
    EXPECT_FALSE(document.save());
    EXPECT_FALSE(document.fit());
    ASSERT_TRUE(settle());
    EXPECT_EQ(document.width(), 20u);
    EXPECT_EQ(document.undoStack().count(), 2);
}

TEST_F(PictureDocumentTest, AnAcceptedFitIsOneEditAndKeepsItsEncodingThroughUndoAndRedo) {
    const QString path = dir.filePath(u"photo.png"_qs);
    TestImages::writeFile(path, TestImages::encode(TestImages::photo(320, 240, 5), ".png"));
    openAndWait(path);
    std::optional<FitToProjector::Result> fit;
    QObject::connect(&document, &PictureDocument::fitFinished,
                     [&](const FitToProjector::Result& r) { fit = r; });
    ASSERT_TRUE(document.fit());
    ASSERT_TRUE(settle());
    ASSERT_TRUE(fit.has_value());
    ASSERT_TRUE(fit->result.ok());
    EXPECT_EQ(document.undoStack().count(), 0) << "a fit changes nothing until it is accepted";
    ASSERT_TRUE(document.applyFit(*fit));
    EXPECT_EQ(document.undoStack().count(), 1);
    EXPECT_EQ(document.fittedEncoding(), fit->bytes);
    EXPECT_EQ(document.picture().loadedFormat(), PictureFormat::Png) << "saved as the file was loaded";

    editAndWait(resizeTo(100, 75));
    EXPECT_TRUE(document.fittedEncoding().isEmpty()) << "another edit makes the encoding stale";
    document.undo();
    EXPECT_EQ(document.fittedEncoding(), fit->bytes) << "back on the fitted picture, its encoding is back";
    document.undo();
    EXPECT_TRUE(document.fittedEncoding().isEmpty());
    EXPECT_EQ(document.state(), PictureDocument::Saved);
    document.redo();
    EXPECT_EQ(document.fittedEncoding(), fit->bytes);
}
