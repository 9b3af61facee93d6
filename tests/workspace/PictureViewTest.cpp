#include "app/AppState.h"
#include "app/CFileDialogs.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogNumber.h"
#include "imaging/PictureLoader.h"
#include "imaging/Qv1Encoder.h"
#include "imaging/SendableImage.h"
#include "registry/ProjectorStore.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/TestPictures.h"
#include "workspace/CPictureCanvas.h"
#include "workspace/CPictureView.h"
#include "workspace/OpenFilterTable.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File dialogs answered from a script; every question is logged.
class ScriptedFileDialogs final : public CFileDialogs {
public:
    QStringList openAnswers;
    QStringList saveAnswers;
    QStringList titles;
    QStringList filters;
    QString openFile(QWidget*, const Request& r) override {
        titles << r.title;
        filters << r.filter;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget*, const Request& r) override {
        titles << r.title;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
};

class PictureViewTest : public ::testing::Test {
protected:
    ShippedCatalog catalog;
    QTemporaryDir dir;
    ScriptedFileDialogs* files = nullptr;
    QList<QString> boxes;
    QList<QMessageBox::StandardButtons> boxButtons;
    QList<QMessageBox::StandardButton> answers;
    std::unique_ptr<AppState> frameState; // outlives the frame
    std::unique_ptr<CMainFrame> frame;
    CPictureView* view = nullptr;
    int resizeDialogs = 0;
    CPictureView::ResizeChoice nextResize{CPictureView::kConfirmed, 40, 30, 0, 0, 0};

    void SetUp() override {
        auto scripted = std::make_unique<ScriptedFileDialogs>();
        files = scripted.get();
        CFileDialogs::setInstanceForTesting(std::move(scripted));
        CMessageBox::setHandlerForTesting([this](QWidget*, const QString&, const QString& text,
                                                 CMessageBox::Icon, QMessageBox::StandardButtons buttons) {
            boxes << text;
            boxButtons << buttons;
            return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        });
        frameState = std::make_unique<AppState>(dir.filePath(QStringLiteral("t.INI")));
        frame = std::make_unique<CMainFrame>(*frameState);
        auto recent = std::make_unique<RecentFileList>(
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat));
        view = frame->attachPictureView(std::move(recent));
        CPictureView::Dialogs d;
        d.resize = [this](const Picture&) {
            ++resizeDialogs;
            return nextResize;
        };
        d.saturation = [](const Picture&) {
            return CPictureView::SaturationChoice{CPictureView::kConfirmed, -1000};
        };
        d.fitResult = [](const FitToProjector::Result&) { return CPictureView::kConfirmed; };
        view->setDialogs(d);
        frame->resize(640, 480);
        frame->show();
    }
    void TearDown() override {
        frame.reset();
        CFileDialogs::setInstanceForTesting(nullptr);
        CMessageBox::setHandlerForTesting(nullptr);
    }

    QString makePng(const QString& name, int w = 80, int h = 60) {
        const QString path = dir.filePath(name);
        TestPictures::writePng(TestPictures::gradient(w, h), path);
        return path;
    }
    bool enabled(int id) {
        frame->updateCommandStates();
        return frame->action(id)->isEnabled();
    }
    PictureDocument& document() { return frame->state().document(); }
    qint32 state() { return document().state(); }
    QString currentPath() { return document().path(); }
    // Waits until the work a command started has ended, and whatever followed it; a fit in
    // the sanitizer build on a loaded machine takes its time.
    void settle() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !document().isBusy(); }, 120000));
    }
    void run(int id) {
        frame->action(id)->trigger();
        settle();
    }
    void open(const QString& path) {
        files->openAnswers << path;
        run(Cmd::FileOpen);
    }
};

} // namespace

TEST_F(PictureViewTest, AFileNameThatReversesTextIsNamedWithTheReversalSpelledOut) {
    // Shown as it is, the override would make "x" + U+202E + "exe.png" read as "xgnp.exe".
    const QString png = makePng(u"x\u202Eexe.png"_qs);
    open(png);
    ASSERT_TRUE(view->imageLoaded());
    EXPECT_EQ(view->documentTitle(), u"x\\u202Eexe.png");
    EXPECT_EQ(frame->windowTitle(), u"x\\u202Eexe.png - "_qs + CatalogText(msg::AppTitle));
}

TEST_F(PictureViewTest, OpenEditUndoSaveStateTransitions) {
    const QString png = makePng(u"a.png"_qs);
    open(png);
    ASSERT_TRUE(view->imageLoaded());
    EXPECT_EQ(files->titles.value(0), CatalogText(msg::OpenImageDlgTitle));
    EXPECT_EQ(files->filters.value(0), OpenFilterTable::forFileDialog());
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_EQ(currentPath(), png);
    EXPECT_EQ(view->documentTitle(), u"a.png");
    EXPECT_EQ(frame->windowTitle(), u"a.png - "_qs + CatalogText(msg::AppTitle));
    EXPECT_EQ(document().width(), 80u);
    view->waitForSizePane();
    EXPECT_TRUE(frame->sizePaneText().contains(u"bytes") || !frame->sizePaneText().isEmpty());
    EXPECT_FALSE(enabled(Cmd::Undo));

    run(Cmd::Resize);
    EXPECT_EQ(state(), PictureDocument::Edited);
    EXPECT_EQ(document().width(), 40u);
    EXPECT_TRUE(view->undoAvailable());
    EXPECT_EQ(view->documentTitle(), CatalogText(msg::EditedDocumentTitle));
    EXPECT_TRUE(enabled(Cmd::Undo));

    run(Cmd::Undo);
    EXPECT_EQ(state(), PictureDocument::Saved) << "undoing the only edit of a fresh picture";
    EXPECT_EQ(document().width(), 80u);
    EXPECT_FALSE(view->undoAvailable());
    EXPECT_EQ(view->documentTitle(), CatalogText(msg::EditedDocumentTitle))
        << "the title keeps the edit text";
    run(Cmd::Undo); // disabled: a second undo does nothing
    EXPECT_EQ(document().width(), 80u);

    run(Cmd::Resize);
    const QString qv1 = dir.filePath(u"b.QV1"_qs);
    files->saveAnswers << qv1;
    run(Cmd::FileSaveAs);
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_EQ(currentPath(), qv1);
    EXPECT_FALSE(view->undoAvailable()) << "Save As clears the undo level";
    EXPECT_EQ(frame->windowTitle(), u"b.QV1 - "_qs + CatalogText(msg::AppTitle));
    int reason = -1;
    EXPECT_TRUE(IsSendableImage(qv1, document().width(), document().height(), reason)) << reason;
    QFile f(qv1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(3), QByteArray("GIF"));
    EXPECT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
}

TEST_F(PictureViewTest, CancelledDialogKeepsTheUndoLevelAndSecondEditReplacesIt) {
    open(makePng(u"a.png"_qs));
    run(Cmd::Resize);      // 80 -> 40
    nextResize.status = 2; // cancelled
    run(Cmd::Resize);
    EXPECT_EQ(document().width(), 40u);
    EXPECT_TRUE(view->undoAvailable());
    nextResize = {CPictureView::kConfirmed, 20, 15, 0, 0, 0};
    run(Cmd::Resize); // 40 -> 20
    run(Cmd::Undo);
    EXPECT_EQ(document().width(), 40u) << "undo takes back only the second edit";
    EXPECT_EQ(state(), PictureDocument::Edited);
}

TEST_F(PictureViewTest, CommandsAreEnabledAsTheStateAllows) {
    for (int id : {Cmd::FileSave, Cmd::FileSaveAs, Cmd::Convert, Cmd::Resize, Cmd::ColourSaturation,
                   Cmd::ColourResolution, Cmd::Trimming, Cmd::Undo, Cmd::FitToProjector}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_TRUE(enabled(Cmd::FileOpen));
    open(makePng(u"a.png"_qs));
    for (int id : {Cmd::FileSave, Cmd::FileSaveAs, Cmd::Convert, Cmd::Resize, Cmd::ColourSaturation,
                   Cmd::ColourResolution, Cmd::FitToProjector}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    EXPECT_FALSE(enabled(Cmd::Trimming)) << "no region yet";
    view->canvas()->setRegion(QRect(10, 10, 20, 20));
    EXPECT_TRUE(enabled(Cmd::Trimming));
    run(Cmd::Trimming);
    EXPECT_EQ(document().width(), 20u);
    EXPECT_EQ(document().height(), 20u);
    EXPECT_FALSE(view->canvas()->hasRegion());
    EXPECT_FALSE(enabled(Cmd::Trimming));
}

// Open, a recent file and a drop ask the same question about an edited picture: Cancel
// leaves the edits where they are, Discard lets the other picture in.
TEST_F(PictureViewTest, AnEditedPictureAsksSaveDiscardOrCancelBeforeAnotherOpens) {
    const QString a = makePng(u"a.png"_qs);
    open(a);
    run(Cmd::Resize); // 80 x 60 -> 40 x 30
    const QString second = makePng(u"second.png"_qs, 33, 22);
    const QString question = CatalogText(msg::AskSaveBeforeOther, {u"a.png"_qs});
    const QByteArray untouched = [&] {
        QFile f(a);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    auto stillEdited = [&](const char* how) {
        EXPECT_EQ(state(), PictureDocument::Edited) << how;
        EXPECT_EQ(document().width(), 40u) << how;
        EXPECT_EQ(currentPath(), a) << how;
        EXPECT_TRUE(view->undoAvailable()) << how;
    };

    answers << QMessageBox::Cancel;
    files->openAnswers << second;
    run(Cmd::FileOpen);
    stillEdited("File > Open cancelled");
    EXPECT_EQ(files->titles.size(), 1) << "no file is asked for after Cancel";
    files->openAnswers.clear();

    answers << QMessageBox::Cancel;
    view->openDroppedFiles({second});
    settle();
    stillEdited("drop cancelled");

    ASSERT_FALSE(frame->recentFileActions().isEmpty());
    answers << QMessageBox::Cancel;
    frame->recentFileActions().last()->trigger();
    settle();
    stillEdited("recent file cancelled");

    ASSERT_EQ(boxes.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(boxes[i], question);
        EXPECT_EQ(boxButtons[i], QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    }
    QFile file(a);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), untouched) << "nothing was saved on the way";

    answers << QMessageBox::Discard;
    view->openDroppedFiles({second});
    settle();
    EXPECT_EQ(boxes.size(), 4);
    EXPECT_EQ(currentPath(), second);
    EXPECT_EQ(document().width(), 33u);
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_FALSE(view->undoAvailable()) << "the discarded edits are gone";
}

// Save writes the edits to the picture's own file before the other picture opens; when that
// save fails, the user is told, the edits stay and nothing else opens.
TEST_F(PictureViewTest, SaveGoesOnOnlyOnceTheEditsAreInTheFile) {
    const QString a = makePng(u"a.png"_qs);
    open(a);
    run(Cmd::Resize);
    const QString second = makePng(u"second.png"_qs, 33, 22);

    ASSERT_TRUE(QFile::remove(a));
    ASSERT_TRUE(QDir().mkdir(a)); // a folder in its place: the save cannot write
    answers << QMessageBox::Save;
    view->openDroppedFiles({second});
    settle();
    ASSERT_EQ(boxes.size(), 2) << boxes.join(u" | "_qs).toStdString();
    EXPECT_EQ(boxes[0], CatalogText(msg::AskSaveBeforeOther, {u"a.png"_qs}));
    EXPECT_TRUE(boxes[1].contains(a)) << "the failed save is told: " << boxes[1].toStdString();
    EXPECT_EQ(state(), PictureDocument::Edited);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(document().width(), 40u) << "the dropped picture did not replace the edits";

    ASSERT_TRUE(QDir().rmdir(a));
    answers << QMessageBox::Save;
    files->openAnswers << second;
    run(Cmd::FileOpen);
    settle();
    EXPECT_EQ(currentPath(), second) << "the open went on after the save";
    Picture saved;
    ASSERT_TRUE(PictureLoader::load(a, saved).ok());
    EXPECT_EQ(saved.width(), 40);
    EXPECT_EQ(saved.height(), 30);
}

// The question is a real message box: its buttons speak the catalog's language, and Escape
// is Cancel.
TEST_F(PictureViewTest, TheQuestionsButtonsFollowTheCatalogAndEscapeCancels) {
    const QString a = makePng(u"a.png"_qs);
    open(a);
    run(Cmd::Resize);
    ShippedCatalog chinese(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    CMessageBox::setHandlerForTesting(nullptr);
    QStringList buttonTexts;
    QString text;
    WhenModal<QMessageBox>([&](QMessageBox& box) {
        text = box.text();
        for (QAbstractButton* b : box.buttons()) {
            buttonTexts << b->text();
        }
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    view->openDroppedFiles({makePng(u"b.png"_qs, 33, 22)});
    settle();
    EXPECT_EQ(text, CatalogText(msg::AskSaveBeforeOther, {u"a.png"_qs}));
    buttonTexts.sort();
    QStringList expected{CatalogText(msg::ButtonSaveChanges), CatalogText(msg::ButtonDiscardChanges),
                         CatalogText(msg::ButtonCancelChanges)};
    expected.sort();
    EXPECT_EQ(buttonTexts, expected);
    EXPECT_TRUE(expected.join(QString()).contains(u"不保存"_qs)) << "the Chinese catalog was not in use";
    EXPECT_EQ(state(), PictureDocument::Edited);
    EXPECT_EQ(currentPath(), a);
}

// File > Exit and the window's own close ask the same question; Cancel keeps the window and
// the edits, a failed save keeps them too, and Save closes once the file holds the edits.
TEST_F(PictureViewTest, ExitAndCloseAskAboutAnEditedPicture) {
    const QString a = makePng(u"a.png"_qs);
    open(a);
    run(Cmd::Resize);
    const QString question = CatalogText(msg::AskSaveBeforeExit, {u"a.png"_qs});

    answers << QMessageBox::Cancel;
    frame->action(Cmd::AppExit)->trigger();
    EXPECT_TRUE(frame->isVisible());
    answers << QMessageBox::Cancel;
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0], question);
    EXPECT_EQ(boxes[1], question) << "no plain exit question on top";
    EXPECT_EQ(boxButtons[0], QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    EXPECT_EQ(state(), PictureDocument::Edited);

    ASSERT_TRUE(QFile::remove(a));
    ASSERT_TRUE(QDir().mkdir(a));
    answers << QMessageBox::Save;
    frame->action(Cmd::AppExit)->trigger();
    settle();
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 4) << boxes.join(u" | "_qs).toStdString();
    EXPECT_TRUE(boxes[3].contains(a)) << boxes[3].toStdString();
    EXPECT_TRUE(frame->isVisible()) << "a failed save does not exit";
    EXPECT_EQ(state(), PictureDocument::Edited);

    ASSERT_TRUE(QDir().rmdir(a));
    answers << QMessageBox::Save;
    EXPECT_FALSE(frame->close()) << "the close waits for the save";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->isVisible(); }, 20000));
    EXPECT_EQ(boxes.size(), 5) << "closed without another question";
    Picture saved;
    ASSERT_TRUE(PictureLoader::load(a, saved).ok());
    EXPECT_EQ(saved.width(), 40);
}

TEST_F(PictureViewTest, DiscardEndsTheProgramWithoutSaving) {
    const QString a = makePng(u"a.png"_qs);
    open(a);
    run(Cmd::Resize);
    const QByteArray before = [&] {
        QFile f(a);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    answers << QMessageBox::Discard;
    frame->action(Cmd::AppExit)->trigger();
    EXPECT_FALSE(frame->isVisible());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::AskSaveBeforeExit, {u"a.png"_qs}));
    QFile f(a);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before) << "Discard wrote nothing";
}

TEST_F(PictureViewTest, DroppingTwoFilesChangesNothing) {
    const QString a = makePng(u"a.png"_qs);
    open(a);
    view->openDroppedFiles({makePng(u"b.png"_qs), makePng(u"c.png"_qs)});
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::DropOneFileOnly));
    EXPECT_EQ(currentPath(), a);
    EXPECT_TRUE(view->imageLoaded());

    // A real drop event reaches the same place.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(makePng(u"d.png"_qs, 11, 12))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    settle();
    EXPECT_EQ(document().width(), 11u);
}

TEST_F(PictureViewTest, BadFilesShowTheirMessagesAndNeverCrash) {
    const QString good = makePng(u"a.png"_qs);
    open(good);
    const QString corrupt = dir.filePath(u"broken.png"_qs);
    {
        QFile f(corrupt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG\r\n\x1a\n garbage that is not a picture");
    }
    open(corrupt);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(
        boxes[0].startsWith(CatalogText(msg::OpenFileFailed, {u"broken.png"_qs}).section(u'\n', 0, 0)))
        << boxes[0].toStdString();
    EXPECT_TRUE(view->imageLoaded()) << "the picture on show stays whole";
    EXPECT_EQ(currentPath(), good) << "a failed open leaves the current image's record alone";
    EXPECT_TRUE(enabled(Cmd::FileSaveAs));

    view->waitForSizePane();
    const QString pane = frame->sizePaneText();
    view->openDroppedFiles({dir.filePath(u"missing.png"_qs)});
    settle();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(
        boxes[1].startsWith(CatalogText(msg::OpenFileFailed, {u"missing.png"_qs}).section(u'\n', 0, 0)))
        << boxes[1].toStdString();
    EXPECT_FALSE(view->canvas()->isHidden());
    EXPECT_EQ(frame->sizePaneText(), pane);
    EXPECT_EQ(document().width(), 80u);
}

TEST_F(PictureViewTest, SaveAsRules) {
    open(makePng(u"a.png"_qs));
    run(Cmd::Resize);
    // Another extension, or none, ends silently and writes nothing.
    files->saveAnswers << dir.filePath(u"x.gif"_qs) << dir.filePath(u"noext"_qs);
    run(Cmd::FileSaveAs);
    run(Cmd::FileSaveAs);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"x.gif"_qs)));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"noext"_qs)));
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(state(), PictureDocument::Edited);

    // A failing write is shown and leaves the state as it was.
    files->saveAnswers << dir.filePath(u"no/such/folder/x.qv1"_qs);
    run(Cmd::FileSaveAs);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(u"no/such/folder/x.qv1"));
    EXPECT_EQ(state(), PictureDocument::Edited);
    EXPECT_TRUE(view->undoAvailable());

    // Convert keeps the undo level and the caption.
    const QString caption = frame->windowTitle();
    files->saveAnswers << dir.filePath(u"conv.qv1"_qs);
    run(Cmd::Convert);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(u"conv.qv1"_qs)));
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_TRUE(view->undoAvailable());
    EXPECT_EQ(frame->windowTitle(), caption);
    EXPECT_EQ(files->titles.last(), CatalogText(msg::ConvertDlgTitle));
}

TEST_F(PictureViewTest, SizeFigureTurnsRedOverTheLimit) {
    const QString big = dir.filePath(u"noise.png"_qs);
    TestPictures::writePng(TestPictures::noise(1024, 768), big);
    open(big);
    view->waitForSizePane();
    auto* pane = frame->findChild<QLabel*>(u"sizePane"_qs);
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->property("overLimit").toBool()) << pane->text().toStdString();
    const QString bigFigure = pane->text();
    open(makePng(u"small.png"_qs));
    EXPECT_NE(pane->text(), bigFigure) << "the last picture's figure stays while the new one is measured";
    view->waitForSizePane();
    EXPECT_FALSE(pane->property("overLimit").toBool());
    EXPECT_EQ(pane->text(), CatalogText(msg::SizePaneText, {pane->text().section(u' ', 1, 1)}));
}

// While Send is disabled, its tips and the status bar say what is missing, with numbers in
// the window language's digit groups; the size told is always the picture's on show.
TEST_F(PictureViewTest, ADisabledSendSaysWhatIsMissing) {
    QAction* send = frame->action(Cmd::Send);
    auto sendOff = [&](const QString& why, const char* when) {
        EXPECT_FALSE(enabled(Cmd::Send)) << when;
        EXPECT_EQ(send->toolTip(), why) << when;
        EXPECT_EQ(send->statusTip(), why) << when;
        EXPECT_EQ(frame->sendStateText(), why) << when;
        EXPECT_TRUE(frame->findChild<QLabel*>(u"sendStatePane"_qs)->isVisibleTo(frame.get())) << when;
    };
    sendOff(CatalogText(msg::SendOffNoPicture), "no picture");
    open(makePng(u"a.png"_qs));
    sendOff(CatalogText(msg::SendOffNoProjectors), "an empty projector list");
    ProjectorRecord hall;
    hall.name = u"Hall"_qs;
    hall.address = {127, 0, 2, 1};
    hall.authMark = u"0"_qs;
    ASSERT_TRUE(frame->SaveProjectorList({hall}));
    EXPECT_NE(frame->sendStateText(), CatalogText(msg::SendOffNoProjectors)) << "a new list is taken at once";
    view->waitForSizePane();
    sendOff(CatalogText(msg::SendOffNotQv1), "a small PNG");

    const QString big = dir.filePath(u"noise.png"_qs);
    TestPictures::writePng(TestPictures::noise(1024, 768), big);
    open(big);
    view->waitForSizePane();
    const qint64 bigFigure = document().sizeFigure();
    ASSERT_GT(bigFigure, SendableImage::kMaxFileSize);
    const QString tooLarge =
        CatalogText(msg::SendOffTooManyBytes,
                    {CatalogNumber::format(bigFigure), CatalogNumber::format(SendableImage::kMaxFileSize)});
    sendOff(tooLarge, "a picture too large for a projector");
    EXPECT_TRUE(tooLarge.contains(u"130,816")) << tooLarge.toStdString();

    // The next picture never inherits that figure, not even while it is measured.
    QString atOpen;
    const auto seen = QObject::connect(&document(), &PictureDocument::openFinished, frame.get(),
                                       [&] { atOpen = frame->sendStateText(); });
    open(makePng(u"small.png"_qs));
    QObject::disconnect(seen);
    EXPECT_FALSE(atOpen.contains(CatalogNumber::format(bigFigure))) << atOpen.toStdString();
    view->waitForSizePane();
    sendOff(CatalogText(msg::SendOffNotQv1), "the small picture after the large one");

    nextResize = {CPictureView::kConfirmed, 1100, 60, 0, 0, 0};
    run(Cmd::Resize);
    sendOff(CatalogText(msg::SendOffTooManyPixels, {u"1,100"_qs, u"60"_qs, u"1,024"_qs, u"768"_qs}),
            "a picture wider than a projector shows");

    nextResize = {CPictureView::kConfirmed, 40, 30, 0, 0, 0};
    run(Cmd::Resize);
    files->saveAnswers << dir.filePath(u"small.qv1"_qs);
    run(Cmd::FileSaveAs);
    EXPECT_TRUE(enabled(Cmd::Send));
    EXPECT_EQ(send->statusTip(), CatalogText(msg::PromptSend)) << "the usual prompt is back";
    EXPECT_TRUE(frame->sendStateText().isEmpty());
    EXPECT_FALSE(frame->findChild<QLabel*>(u"sendStatePane"_qs)->isVisibleTo(frame.get()));

    ASSERT_TRUE(frame->SaveProjectorList({}));
    EXPECT_EQ(frame->sendStateText(), CatalogText(msg::SendOffNoProjectors));
    EXPECT_FALSE(send->isEnabled());
}

TEST_F(PictureViewTest, FitCountsAsAnEditAndSavesWhatItMeasured) {
    const QString big = dir.filePath(u"noise.png"_qs);
    TestPictures::writePng(TestPictures::noise(520, 400), big);
    open(big);
    run(Cmd::FitToProjector);
    ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
    EXPECT_EQ(state(), PictureDocument::Edited);
    EXPECT_TRUE(view->undoAvailable());
    EXPECT_LE(document().width(), 1024u);
    EXPECT_FALSE(frame->findChild<QLabel*>(u"sizePane"_qs)->property("overLimit").toBool());
    const QString out = dir.filePath(u"fit.qv1"_qs);
    files->saveAnswers << out;
    run(Cmd::FileSaveAs);
    int reason = -1;
    EXPECT_TRUE(IsSendableImage(out, document().width(), document().height(), reason)) << reason;
    run(Cmd::FitToProjector);
    run(Cmd::Undo);
    EXPECT_EQ(state(), PictureDocument::Saved);
}

// The real resize dialog, answered as a person would: a new width, OK.
TEST_F(PictureViewTest, RealResizeDialogDrivesTheEdit) {
    AppState& s = *frameState;
    CPictureView plain(*frame, {s.document(), s.projectors(), s.commandObserver(), s.schedule()});
    plain.attachCommands();
    frame->setCentralWidget(&plain);
    view = nullptr; // replaced and deleted by the frame
    files->openAnswers << makePng(u"a.png"_qs, 80, 60);
    plain.OnFileOpen();
    settle();
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QSpinBox*>(u"widthSpin"_qs)->setValue(40);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"okButton"_qs), Qt::LeftButton);
        answered = true;
    });
    plain.OnResize();
    settle();
    EXPECT_TRUE(answered);
    EXPECT_EQ(document().width(), 40u);
    EXPECT_EQ(document().height(), 30u) << "the aspect ratio is kept by default";
    EXPECT_TRUE(plain.undoAvailable());
    frame->takeCentralWidget();
}

TEST_F(PictureViewTest, ProjectorMenuOpensItsDialogs) {
    const QList<std::pair<int, QString>> commands = {{Cmd::ImageInformation, u"CImageInfoDlg"_qs},
                                                     {Cmd::TransmissionState, u"CTransStateDlg"_qs},
                                                     {Cmd::CancelTransmit, u"CCancelDlg"_qs},
                                                     {Cmd::Schedule, u"CScheduleDlg"_qs},
                                                     {Cmd::Setting, u"CSettingDlg"_qs}};
    for (const auto& [id, name] : commands) {
        ASSERT_TRUE(enabled(id)) << "always available";
        QString seen;
        QTimer::singleShot(0, [&seen] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            seen = QString::fromLatin1(dialog->metaObject()->className());
            qobject_cast<QDialog*>(dialog)->reject();
        });
        frame->action(id)->trigger();
        EXPECT_EQ(seen, name);
    }
}

TEST_F(PictureViewTest, FailedSaveAndFailedEditAreReported) {
    const QString png = makePng(u"a.png"_qs);
    open(png);
    // The operation refuses a zero width: nothing changes and the user hears of it.
    nextResize = {CPictureView::kConfirmed, 0, 30, 0, 0, 0};
    run(Cmd::Resize);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(CatalogText(msg::EditFailed, {QString()}).left(8)));
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_FALSE(view->undoAvailable());

    // Save writes to the file's own path; a folder in its place makes the write fail.
    nextResize = {CPictureView::kConfirmed, 40, 30, 0, 0, 0};
    run(Cmd::Resize);
    ASSERT_TRUE(QFile::remove(png));
    ASSERT_TRUE(QDir().mkdir(png));
    run(Cmd::FileSave);
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].contains(png));
    EXPECT_EQ(state(), PictureDocument::Edited) << "a failed save leaves the picture unsaved";
}

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The byte count the size pane shows.
// The size figure, written with the window language's digit groups.
qint64 paneFigure(const CMainFrame& frame) {
    const QRegularExpressionMatch m =
        QRegularExpression(u"(\\d[\\d,]*)"_qs).match(frame.sizePaneText().section(u'=', 1));
    bool ok = false;
    const qint64 n = m.hasMatch() ? CatalogNumber::locale().toLongLong(m.captured(1), &ok) : -1;
    return ok ? n : -1;
}

} // namespace

// After a fit, every other edit and Undo drop the fitted encoding: Save As writes the picture
// on show, and the size pane measures it.
TEST_F(PictureViewTest, AnEditAfterAFitDropsTheFittedEncoding) {
    const QString big = dir.filePath(u"noise.png"_qs);
    TestPictures::writePng(TestPictures::noise(320, 240), big);
    CPictureView::Dialogs d;
    d.resize = [](const Picture&) {
        return CPictureView::ResizeChoice{CPictureView::kConfirmed, 64, 48, 0, 0, 0};
    };
    d.saturation = [](const Picture&) {
        return CPictureView::SaturationChoice{CPictureView::kConfirmed, -1000};
    };
    d.colourResolution = [](const Picture&) {
        CPictureView::ColourChoice c{CPictureView::kConfirmed, {}};
        c.request.bits = 4;
        return c;
    };
    d.fitResult = [](const FitToProjector::Result&) { return CPictureView::kConfirmed; };
    view->setDialogs(d);
    const QList<std::pair<const char*, int>> edits = {{"resize", Cmd::Resize},
                                                      {"saturation", Cmd::ColourSaturation},
                                                      {"colour resolution", Cmd::ColourResolution},
                                                      {"trimming", Cmd::Trimming},
                                                      {"undo", Cmd::Undo}};
    int n = 0;
    for (const auto& [name, id] : edits) {
        SCOPED_TRACE(name);
        open(big);
        run(Cmd::FitToProjector);
        ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
        // Convert keeps the fitted encoding and the undo level: it shows what the fit made.
        const QString fitted = dir.filePath(QStringLiteral("fitted%1.qv1").arg(n));
        files->saveAnswers << fitted;
        run(Cmd::Convert);
        const QByteArray fittedBytes = fileBytes(fitted);
        ASSERT_FALSE(fittedBytes.isEmpty());
        EXPECT_EQ(paneFigure(*frame), fittedBytes.size());

        if (id == Cmd::Trimming) {
            view->canvas()->setRegion(QRect(3, 4, 50, 40));
        }
        ASSERT_TRUE(enabled(id));
        run(id);
        ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
        view->waitForSizePane();
        qint64 measured = 0;
        ASSERT_TRUE(Qv1Encoder::encodedSize(view->picture(), measured).ok());
        EXPECT_EQ(paneFigure(*frame), measured) << "the pane measures the picture on show";

        const QString after = dir.filePath(QStringLiteral("after%1.qv1").arg(n++));
        files->saveAnswers << after;
        run(Cmd::FileSaveAs);
        ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
        const QByteArray afterBytes = fileBytes(after);
        EXPECT_TRUE(afterBytes != fittedBytes) << "the old fitted picture was written";
        Picture written;
        ASSERT_TRUE(PictureLoader::load(after, written).ok());
        EXPECT_EQ(written.width(), view->picture().width());
        EXPECT_EQ(written.height(), view->picture().height());
        EXPECT_EQ(paneFigure(*frame), afterBytes.size());
    }
}

// Blobs of colour, a hard-edged disc and sensor grain: a fit has to work for its bytes.
vips::VImage photoLike(int width, int height) {
    VipsRuntime::ensure();
    auto blobs = [&](int seed) {
        return vips::VImage::gaussnoise(
                   (width + 23) / 24 + 1, (height + 23) / 24 + 1,
                   vips::VImage::option()->set("sigma", 60.0)->set("mean", 128.0)->set("seed", seed))
            .resize(24.0, vips::VImage::option()->set("kernel", VIPS_KERNEL_CUBIC))
            .crop(0, 0, width, height);
    };
    vips::VImage colour = vips::VImage::bandjoin(std::vector<vips::VImage>{blobs(11), blobs(12), blobs(13)});
    const vips::VImage xy = vips::VImage::xyz(width, height);
    const vips::VImage dx = xy.extract_band(0) - width / 2.0;
    const vips::VImage dy = xy.extract_band(1) - height / 2.0;
    colour = ((dx * dx + dy * dy) < (width * height / 16.0))
                 .ifthenelse(std::vector<double>{230.0, 210.0, 60.0}, colour);
    const vips::VImage grain = vips::VImage::gaussnoise(
        width, height, vips::VImage::option()->set("sigma", 2.0)->set("mean", 0.0)->set("seed", 14));
    return (colour + grain)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Save after a fit writes the very bytes that were measured, into a projector picture file;
// a picture from another format is saved in that format.
TEST_F(PictureViewTest, SaveAfterAFitWritesTheMeasuredEncoding) {
    const QString big = dir.filePath(u"photo.png"_qs);
    TestPictures::writePng(photoLike(1024, 768), big);
    open(big);
    const QString source = dir.filePath(u"source.qv1"_qs);
    files->saveAnswers << source;
    run(Cmd::FileSaveAs);
    ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
    open(source);
    run(Cmd::FitToProjector);
    ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
    const qint64 shown = paneFigure(*frame);
    ASSERT_GT(shown, 0);
    ASSERT_LE(shown, SendableImage::kMaxFileSize);
    const QString copy = dir.filePath(u"copy.qv1"_qs);
    files->saveAnswers << copy;
    run(Cmd::Convert); // writes the fitted encoding as it is
    const QByteArray measured = fileBytes(copy);
    ASSERT_EQ(measured.size(), shown);

    open(source);
    run(Cmd::FitToProjector);
    ASSERT_EQ(state(), PictureDocument::Edited);
    run(Cmd::FileSave);
    ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_TRUE(fileBytes(source) == measured) << "Save encoded the fitted picture afresh";

    // A fitted PNG is saved as a PNG, not as a GIF under a .png name.
    open(big);
    run(Cmd::FitToProjector);
    run(Cmd::FileSave);
    ASSERT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
    EXPECT_TRUE(fileBytes(big).startsWith("\x89PNG"));
    Picture reread;
    ASSERT_TRUE(PictureLoader::load(big, reread).ok());
    EXPECT_EQ(reread.width(), view->picture().width());
}

// A failed open keeps the picture on show whole, so the next open's save question ends.
TEST_F(PictureViewTest, AFailedOpenKeepsThePreviousPictureWhole) {
    const QString good = makePng(u"a.png"_qs);
    open(good);
    run(Cmd::Resize); // 80x60 -> 40x30, unsaved
    ASSERT_EQ(state(), PictureDocument::Edited);
    view->waitForSizePane();
    const QString pane = frame->sizePaneText();
    const QString notAPicture = dir.filePath(u"notes.txt"_qs);
    {
        QFile f(notAPicture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("these are words, not pixels\n");
    }
    answers << QMessageBox::Discard; // do not save first
    open(notAPicture);
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[1],
              CatalogText(msg::OpenFileFailed, {u"notes.txt"_qs, CatalogText(msg::ImagingUnknownFormat)}))
        << boxes[1].toStdString();
    EXPECT_TRUE(view->imageLoaded());
    EXPECT_EQ(state(), PictureDocument::Edited);
    EXPECT_EQ(currentPath(), good);
    EXPECT_EQ(document().width(), 40u);
    EXPECT_EQ(document().height(), 30u);
    EXPECT_TRUE(view->undoAvailable());
    EXPECT_EQ(frame->sizePaneText(), pane);

    // Save writes the edited picture to its own file once, and the open goes on.
    boxes.clear();
    answers << QMessageBox::Save;
    open(makePng(u"next.png"_qs, 33, 22));
    EXPECT_EQ(boxes.size(), 1) << boxes.join(u" | "_qs).toStdString();
    Picture written;
    ASSERT_TRUE(PictureLoader::load(good, written).ok());
    EXPECT_EQ(written.width(), 40);
    EXPECT_EQ(written.height(), 30);
    EXPECT_EQ(document().width(), 33u);
}

// Edit failures name the reason in words, with the code after it.
TEST_F(PictureViewTest, EditFailuresNameTheReason) {
    open(makePng(u"a.png"_qs));
    nextResize = {CPictureView::kConfirmed, 0, 30, 0, 0, 0};
    run(Cmd::Resize);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::EditFailed, {u"-7"_qs, CatalogText(msg::ImagingBadArgument)}))
        << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains(CatalogText(msg::ImagingBadArgument)));
}

// On a picture shown at a fractional scale, a click makes no region and a drag covers whole
// pixels inside the picture.
TEST_F(PictureViewTest, AClickOnAScaledPictureMakesNoRegion) {
    open(makePng(u"wide.png"_qs, 1013, 677));
    CPictureCanvas* canvas = view->canvas();
    const QRectF shown = canvas->displayRect();
    ASSERT_LT(shown.width(), 1013.0) << "the picture must be shown scaled";
    for (const QPoint at :
         {QPoint(100, 100), QPoint(211, 137), QPoint(317, 250), QPoint(canvas->width() / 2, 203)}) {
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
        EXPECT_FALSE(canvas->hasRegion()) << at.x() << "," << at.y();
        EXPECT_FALSE(enabled(Cmd::Trimming));
    }
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    QTest::mouseMove(canvas, QPoint(203, 152));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(203, 152));
    ASSERT_TRUE(canvas->hasRegion());
    const QRect r = canvas->region();
    EXPECT_TRUE(QRect(0, 0, 1013, 677).contains(r));
    run(Cmd::Trimming);
    EXPECT_EQ(document().width(), static_cast<quint32>(r.width()));
    EXPECT_GE(document().width(), 2u) << "three view pixels cover more than one picture pixel";
}

// Ctrl+Z takes back one edit at a time; Ctrl+Y and Ctrl+Shift+Z put them back in turn.
TEST_F(PictureViewTest, CtrlYAndCtrlShiftZRedoWhatCtrlZUndid) {
    frame->LocaliseMainMenu();
    EXPECT_EQ(frame->action(Cmd::Redo)->text(), CatalogText(msg::MenuRedo));
    open(makePng(u"a.png"_qs));
    run(Cmd::Resize); // 80 -> 40
    nextResize = {CPictureView::kConfirmed, 20, 15, 0, 0, 0};
    run(Cmd::Resize); // 40 -> 20
    EXPECT_FALSE(enabled(Cmd::Redo));
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get(), 30000));
    auto pressAndWaitForWidth = [this](Qt::Key key, Qt::KeyboardModifiers modifiers, quint32 width) {
        QTest::keyClick(frame.get(), key, modifiers);
        return QTest::qWaitFor([&] { return document().width() == width; }, 20000);
    };
    ASSERT_TRUE(pressAndWaitForWidth(Qt::Key_Z, Qt::ControlModifier, 40));
    ASSERT_TRUE(pressAndWaitForWidth(Qt::Key_Z, Qt::ControlModifier, 80));
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_FALSE(enabled(Cmd::Undo));
    EXPECT_TRUE(enabled(Cmd::Redo));

    ASSERT_TRUE(pressAndWaitForWidth(Qt::Key_Y, Qt::ControlModifier, 40));
    EXPECT_EQ(state(), PictureDocument::Edited);
    ASSERT_TRUE(pressAndWaitForWidth(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 20));
    EXPECT_FALSE(enabled(Cmd::Redo));
    EXPECT_TRUE(enabled(Cmd::Undo));
    EXPECT_EQ(view->documentTitle(), CatalogText(msg::EditedDocumentTitle));
    view->waitForSizePane();
    qint64 measured = 0;
    ASSERT_TRUE(Qv1Encoder::encodedSize(view->picture(), measured).ok());
    EXPECT_EQ(paneFigure(*frame), measured) << "the pane follows the redone picture";
}

namespace {

// A fifo holds its reader in open() until a writer comes: a load that takes as long as the
// test wants. Let go in any case, so the loader never waits forever.
class HeldFile final {
public:
    explicit HeldFile(QString path) : m_path(std::move(path)) {
        m_made = ::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0;
    }
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    [[nodiscard]] bool made() const { return m_made; }
    // Opens and closes the writing end once the reader waits: the reader meets an empty file.
    bool release() {
        if (!m_made || m_released) {
            return m_released;
        }
        m_released = QTest::qWaitFor(
            [this] {
                const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd < 0) {
                    return false; // no reader yet
                }
                ::close(fd);
                return true;
            },
            20000);
        return m_released;
    }

private:
    QString m_path;
    bool m_made = false;
    bool m_released = false;
};

} // namespace

// While a picture loads, the window's event loop runs on: timers fire, the status bar says
// what is going on, and the commands and drops wait for the load.
TEST_F(PictureViewTest, TheWindowKeepsRunningWhileAPictureLoads) {
    const QString first = makePng(u"a.png"_qs);
    open(first);
    HeldFile slow(dir.filePath(u"slow.png"_qs));
    ASSERT_TRUE(slow.made());
    files->openAnswers << dir.filePath(u"slow.png"_qs);
    frame->action(Cmd::FileOpen)->trigger();
    ASSERT_TRUE(document().isBusy()) << "the command returns while the picture loads";

    bool timerFired = false;
    QTimer::singleShot(10, [&] { timerFired = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return timerFired; }, 20000));
    EXPECT_TRUE(document().isBusy()) << "the load waits for the fifo's writer";
    for (const int id : {Cmd::FileOpen, Cmd::FileSaveAs, Cmd::Resize, Cmd::FitToProjector, Cmd::Undo}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_TRUE(frame->findChild<QProgressBar*>(u"busyIndicator"_qs)->isVisible());
    EXPECT_FALSE(frame->findChild<QPushButton*>(u"stopButton"_qs)->isVisible()) << "an open cannot stop";
    EXPECT_EQ(frame->statusBar()->currentMessage(), CatalogText(msg::OpenInProgress, {u"slow.png"_qs}));
    view->openDroppedFiles({makePng(u"dropped.png"_qs, 11, 12)});
    EXPECT_TRUE(boxes.isEmpty()) << "a drop during a load is not taken";

    ASSERT_TRUE(slow.release());
    settle();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0],
              CatalogText(msg::OpenFileFailed, {u"slow.png"_qs, CatalogText(msg::ImagingEmptyFile)}));
    EXPECT_EQ(currentPath(), first);
    EXPECT_EQ(document().width(), 80u);
    EXPECT_FALSE(frame->findChild<QProgressBar*>(u"busyIndicator"_qs)->isVisible());
    EXPECT_TRUE(enabled(Cmd::FileOpen));
}

// The status bar's Stop ends a fit; the user asked for it, so no message follows and the
// picture stays as it was.
TEST_F(PictureViewTest, AFitCanBeStoppedFromTheStatusBar) {
    const QString big = dir.filePath(u"noise.png"_qs);
    TestPictures::writePng(TestPictures::noise(520, 400), big);
    open(big);
    frame->action(Cmd::FitToProjector)->trigger();
    auto* stop = frame->findChild<QPushButton*>(u"stopButton"_qs);
    ASSERT_NE(stop, nullptr);
    ASSERT_TRUE(stop->isVisible());
    EXPECT_EQ(frame->statusBar()->currentMessage(), CatalogText(msg::FitInProgress));
    QTest::mouseClick(stop, Qt::LeftButton);
    settle();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.value(0).toStdString();
    EXPECT_EQ(state(), PictureDocument::Saved);
    EXPECT_FALSE(view->undoAvailable());
    EXPECT_TRUE(view->document().fittedEncoding().isEmpty());
    EXPECT_FALSE(stop->isVisible());
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty());
}
