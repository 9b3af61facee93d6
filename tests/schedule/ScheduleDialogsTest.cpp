#include "ProjectorEmulator.h"
#include "app/AppState.h"
#include "app/CFileDialogs.h"
#include "app/CMainFrame.h"
#include "i18n/CatalogIds.h"
#include "imaging/GifWriter.h"
#include "registry/CIpAddressEdit.h"
#include "registry/CSelectProjectorDlg.h"
#include "schedule/CScheduleDlg.h"
#include "schedule/CScheduleEntryDlg.h"
#include "schedule/ScheduleFile.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/TestPictures.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// A real GIF of the given size, as the entry check reads its header.
QByteArray gifOfSize(int width, int height) {
    const Palette palette({{0, 0, 0}, {200, 40, 40}});
    std::vector<quint8> indices(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<quint8>((i / 7) % 2);
    }
    QByteArray out;
    EXPECT_TRUE(GifWriter::write(width, height, indices, palette, 8, out).ok());
    return out;
}

constexpr quint32 kEmulated = 0x7F0000C8u; // 127.0.0.200: an emulator this test starts
constexpr quint32 kSilent = 0x7F0000FCu;   // 127.0.0.252: nobody listens here
constexpr quint32 kOther = 0x7F0000C9u;    // 127.0.0.201: listed, never contacted
const QString kEmulatedText = QStringLiteral("127.0.0.200");
const QString kSilentText = QStringLiteral("127.0.0.252");

class ScriptedFileDialogs final : public CFileDialogs {
public:
    QStringList answers;
    QList<Request> asked;
    QString openFile(QWidget*, const Request& r) override { return answer(r); }
    QString saveFile(QWidget*, const Request& r) override { return answer(r); }

private:
    QString answer(const Request& r) {
        asked << r;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// The listed projector at kEmulated demands authentication with the password the entries carry.
EmulatorConfig emulatedConfig() {
    EmulatorConfig c;
    c.address = kEmulated;
    c.authenticate = true;
    c.password = "secret";
    return c;
}

ProjectorRecord record(quint32 address, const QString& authMark = {}, const QString& password = {}) {
    ProjectorRecord r;
    r.name = QStringLiteral("P");
    r.address = Ipv4::toOctets(address);
    r.authMark = authMark;
    r.password = password;
    return r;
}

class ScheduleDialogs : public ::testing::Test {
protected:
    ShippedCatalog catalog;
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    ScriptedFileDialogs* files = nullptr;
    std::unique_ptr<AppState> frameState; // outlives the frame
    std::unique_ptr<CMainFrame> frame;
    QString image;
    QByteArray imageBytes;

    void SetUp() override {
        auto scripted = std::make_unique<ScriptedFileDialogs>();
        files = scripted.get();
        CFileDialogs::setInstanceForTesting(std::move(scripted));
        frameState = std::make_unique<AppState>(dir.filePath(QStringLiteral("t.INI")));
        frame = std::make_unique<CMainFrame>(*frameState);
        ASSERT_TRUE(
            frame->projectorStore()
                .saveProjectors({record(kOther), record(kEmulated, u"1"_qs, u"secret"_qs), record(kSilent)})
                .ok());
        imageBytes = gifOfSize(120, 90);
        image = writeFile(u"pic.qv1"_qs, imageBytes);
    }
    void TearDown() override {
        ASSERT_TRUE(StopScheduleAndWait(frame->state().schedule()));
        frame.reset();
        CFileDialogs::setInstanceForTesting(nullptr);
    }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QTableWidget* list(CScheduleDlg& d) { return Child<QTableWidget>(d, "scheduleTable"); }
    static QString cell(CScheduleDlg& d, int row, int column) {
        const QTableWidgetItem* item = list(d)->item(row, column);
        return item != nullptr ? item->text() : QStringLiteral("<none>");
    }
    // Which of the command buttons are enabled, in the order of the layout.
    static QString enabledButtons(CScheduleDlg& d) {
        QString s;
        for (const char* name : {"insertButton", "deleteButton", "loadButton", "saveButton", "executeButton",
                                 "stopButton", "loopCheck", "cancelButton"}) {
            s += Child<QWidget>(d, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        }
        return s;
    }
    static constexpr const char* kIdle = "11111011";
    static constexpr const char* kRunning = "00000101";

    // Fills the shown entry dialog and presses OK.
    static void fillAndOk(CScheduleEntryDlg& e, const QString& address, const QString& file,
                          int storeIndex = 0, const QString& interval = u"0"_qs) {
        Child<CIpAddressEdit>(e, "addressEdit")->setText(address);
        Child<QLineEdit>(e, "fileEdit")->setText(file);
        Child<QComboBox>(e, "storeList")->setCurrentIndex(storeIndex);
        Child<QLineEdit>(e, "intervalEdit")->setText(interval);
        Click(e, "okButton");
    }
    // Adds one entry through the entry dialog; true when the dialog closed with OK.
    bool insert(CScheduleDlg& d, const QString& address, const QString& file, int storeIndex = 0,
                const QString& interval = u"0"_qs) {
        CScheduleEntryDlg e(frame->projectorStore(), d);
        e.show();
        fillAndOk(e, address, file, storeIndex, interval);
        return e.result() == QDialog::Accepted && !e.isVisible();
    }
    QStringList texts(std::initializer_list<CatalogId> ids) {
        QStringList t;
        for (const CatalogId id : ids) {
            t << CatalogText(id);
        }
        return t;
    }
    static bool idleAgain(CScheduleDlg& d, int ms = 10000) {
        return QTest::qWaitFor([&] { return enabledButtons(d) == QLatin1String(kIdle); }, ms);
    }
};

} // namespace

TEST_F(ScheduleDialogs, OpensIdleWithLocalisedColumnsSizedInUnits) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    EXPECT_FALSE(Child<QCheckBox>(d, "loopCheck")->isChecked());
    EXPECT_EQ(enabledButtons(d), QLatin1String(kIdle));
    EXPECT_EQ(d.table(), ScheduleTable{});

    QTableWidget* l = list(d);
    ASSERT_EQ(l->columnCount(), 5);
    EXPECT_EQ(l->rowCount(), 0);
    const CatalogId headers[] = {msg::ColumnEntryAddress, msg::ColumnEntryImageFile, msg::ColumnEntryStore,
                                 msg::ColumnEntryInterval, msg::ColumnStatus};
    const int units[] = {6, 16, 4, 5, 4};
    const int u = l->viewport()->width() / CScheduleDlg::kColumnUnits;
    ASSERT_GT(u, 0);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(l->horizontalHeaderItem(c)->text(), CatalogText(headers[c])) << c;
        EXPECT_EQ(l->columnWidth(c), units[c] * u) << c;
    }
}

TEST_F(ScheduleDialogs, SelectProjectorListsAddressesAndSetsTheCurrentOne) {
    frame->SetCurrentProjector(0x01020304u);
    {
        CSelectProjectorDlg s(frame->projectorStore());
        EXPECT_EQ(s.windowTitle(), CatalogText(msg::SelectProjectorDlgTitle));
        auto* combo = Child<QComboBox>(s, "projectorList");
        ASSERT_EQ(combo->count(), 3);
        // Each projector by its name, with the address beside it.
        EXPECT_EQ(combo->itemText(0),
                  CatalogText(msg::ProjectorNameAndAddress, {u"P"_qs, u"127.0.0.201"_qs}));
        EXPECT_EQ(combo->itemText(1), CatalogText(msg::ProjectorNameAndAddress, {u"P"_qs, kEmulatedText}));
        EXPECT_EQ(combo->itemText(2), CatalogText(msg::ProjectorNameAndAddress, {u"P"_qs, kSilentText}));
        EXPECT_EQ(combo->currentIndex(), 0);
        combo->setCurrentIndex(2);
        s.show();
        Click(s, "cancelButton");
        EXPECT_EQ(s.result(), QDialog::Rejected);
        EXPECT_EQ(frame->state().projectors().currentProjector(), 0x01020304u) << "Cancel changes nothing";
    }
    {
        CSelectProjectorDlg s(frame->projectorStore());
        Child<QComboBox>(s, "projectorList")->setCurrentIndex(2);
        s.show();
        Click(s, "okButton");
        EXPECT_EQ(s.result(), QDialog::Accepted);
        EXPECT_EQ(frame->state().projectors().currentProjector(), kSilent);
    }
    ASSERT_TRUE(frame->projectorStore().saveProjectors({}).ok());
    CSelectProjectorDlg empty(frame->projectorStore());
    EXPECT_EQ(Child<QComboBox>(empty, "projectorList")->count(), 0);
    empty.show();
    Click(empty, "okButton");
    EXPECT_EQ(empty.result(), QDialog::Accepted);
    EXPECT_EQ(frame->state().projectors().currentProjector(), kSilent)
        << "an empty list keeps the current projector";
}

TEST_F(ScheduleDialogs, EntryDialogOpensWithTheCurrentProjector) {
    frame->SetCurrentProjector(kEmulated);
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    CScheduleEntryDlg e(frame->projectorStore(), d);
    EXPECT_EQ(e.windowTitle(), CatalogText(msg::InsertDlgTitle));
    EXPECT_EQ(Child<QPushButton>(e, "browseButton")->text(), CatalogText(msg::ButtonBrowse));
    EXPECT_EQ(Child<CIpAddressEdit>(e, "addressEdit")->text(), kEmulatedText);
    EXPECT_EQ(Child<QLineEdit>(e, "intervalEdit")->text(), u"0");
    EXPECT_EQ(Child<QComboBox>(e, "storeList")->currentText(), u"1");
    EXPECT_EQ(Child<QComboBox>(e, "storeList")->count(), 4);
    EXPECT_EQ(Child<QComboBox>(e, "temporaryList")->currentText(), u"1");
    EXPECT_TRUE(Child<QRadioButton>(e, "storeRadio")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(e, "storeRadio")->isHidden());

    frame->SetCurrentProjector(0);
    CScheduleEntryDlg zero(frame->projectorStore(), d);
    EXPECT_EQ(Child<CIpAddressEdit>(zero, "addressEdit")->text(), u"0.0.0.0");
}

TEST_F(ScheduleDialogs, EntryAddsWithTheProjectorsAuthenticationData) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    ASSERT_TRUE(insert(d, kEmulatedText, image, 2, u"5"_qs));
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_EQ(d.table().count, 1);
    const ScheduleEntry& e = d.table().entries[0];
    EXPECT_EQ(Ipv4::toHost(e.address), kEmulated);
    EXPECT_EQ(e.imageFilePath(), image);
    EXPECT_EQ(e.saveId, 3);
    EXPECT_EQ(e.interval, 5);
    EXPECT_EQ(e.temporary, 0);
    EXPECT_EQ(e.authentication, 1);
    EXPECT_EQ(e.passwordText(), u"secret");
    EXPECT_EQ(frame->state().projectors().currentProjector(), kEmulated);

    ASSERT_TRUE(insert(d, kSilentText, image, 0, u"x7"_qs)) << "an interval that is no number reads as 0";
    ASSERT_EQ(d.table().count, 2);
    EXPECT_EQ(d.table().entries[1].interval, 0);
    EXPECT_EQ(d.table().entries[1].authentication, 0);
    EXPECT_EQ(frame->state().projectors().currentProjector(), kSilent);

    ASSERT_EQ(list(d)->rowCount(), 2);
    EXPECT_EQ(cell(d, 0, 0), kEmulatedText);
    EXPECT_EQ(cell(d, 0, 1), image);
    EXPECT_EQ(cell(d, 0, 2), CatalogText(msg::EntryStoreText, {u"3"_qs}));
    EXPECT_EQ(cell(d, 0, 3), u"5");
    EXPECT_EQ(cell(d, 0, 4), QString()) << "statuses come from the timer only";
    EXPECT_EQ(list(d)->item(1, 0)->checkState(), Qt::Unchecked);
}

TEST_F(ScheduleDialogs, EntryValidationKeepsTheDialogOpen) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    CScheduleEntryDlg e(frame->projectorStore(), d);
    e.show();

    fillAndOk(e, u"0.0.0.0"_qs, image);
    EXPECT_TRUE(e.isVisible());
    EXPECT_TRUE(boxes.shown().empty()) << "address 0 shows nothing";
    fillAndOk(e, kEmulatedText, QString());
    EXPECT_TRUE(e.isVisible());
    EXPECT_TRUE(boxes.shown().empty()) << "no file shows nothing";
    fillAndOk(e, kEmulatedText, QString(256, u'a'));
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::EntryPathTooLong, {u"256"_qs})})
        << "a path that does not fit is refused with a message";
    boxes.clear();

    fillAndOk(e, kEmulatedText, writeFile(u"pic.gif"_qs, gifOfSize(50, 50)));
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(boxes.texts(), texts({msg::EntryNotQv1, msg::EntryNotSchedulable}));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    boxes.clear();
    fillAndOk(e, kEmulatedText, writeFile(u"pic.txt"_qs, "abc"));
    EXPECT_EQ(boxes.texts(), texts({msg::EntryNotQv1, msg::EntryNotSchedulable}));
    boxes.clear();

    fillAndOk(e, kEmulatedText, dir.filePath(u"missing.qv1"_qs));
    EXPECT_EQ(boxes.texts(), texts({msg::EntryFileUnreadable, msg::EntryNotSchedulable}));
    boxes.clear();
    fillAndOk(e, kEmulatedText, writeFile(u"empty.qv1"_qs, {}));
    EXPECT_EQ(boxes.texts(), texts({msg::EntryFileSizeInvalid, msg::EntryNotSchedulable}));
    boxes.clear();

    fillAndOk(e, u"127.0.0.99"_qs, image);
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(boxes.texts(), texts({msg::EntryAddressUnknown}));
    EXPECT_EQ(boxes.shown()[0].icon, CMessageBox::Icon::Stop);
    boxes.clear();

    // The file's own picture is measured: one too wide is refused whatever is shown.
    fillAndOk(e, kEmulatedText, writeFile(u"wide.qv1"_qs, gifOfSize(1025, 20)));
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(boxes.texts(), texts({msg::EntryPictureSizeInvalid}));
    boxes.clear();
    fillAndOk(e, kEmulatedText, writeFile(u"text.qv1"_qs, "no picture in here"));
    EXPECT_EQ(boxes.texts(), texts({msg::EntryPictureSizeInvalid}));
    boxes.clear();

    EXPECT_EQ(d.table().count, 0);
    EXPECT_EQ(frame->state().projectors().currentProjector(), 0u);
}

TEST_F(ScheduleDialogs, EntryCheckMeasuresTheChosenFileNotTheShownPicture) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    PictureDocument& document = frame->state().document();
    ASSERT_FALSE(document.isLoaded()); // nothing shown at all
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    EXPECT_TRUE(boxes.shown().empty());
    // A shown picture far too big to send.
    const QString huge = dir.filePath(u"huge.png"_qs);
    TestPictures::writePng(TestPictures::gradient(2000, 2000), huge);
    ASSERT_TRUE(document.open(huge));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !document.isBusy(); }, 20000));
    ASSERT_EQ(document.width(), 2000u);
    ASSERT_TRUE(insert(d, kEmulatedText, writeFile(u"max.qv1"_qs, gifOfSize(1024, 768))));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(d.table().count, 2);
}

TEST_F(ScheduleDialogs, EntryRefusesAPathOrPasswordThatDoesNotFitWithAMessage) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    CScheduleEntryDlg e(frame->projectorStore(), d);
    e.show();
    // 80 characters of three bytes each: the name fits the folder, the whole path does not
    // fit an entry, although it has far fewer than 255 characters.
    const QString name = QString(80, QChar(0x56FE)) + u".qv1"_qs;
    const QString longPath = writeFile(name, imageBytes);
    ASSERT_TRUE(QFile::exists(longPath));
    ASSERT_LT(longPath.size(), 255);
    const qsizetype bytes = QFile::encodeName(longPath).size();
    ASSERT_GT(bytes, 255);
    fillAndOk(e, kEmulatedText, longPath);
    EXPECT_TRUE(e.isVisible()) << "the dialog stays open";
    EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::EntryPathTooLong, {QString::number(bytes)})});
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(d.table().count, 0);
    boxes.clear();

    // A projector whose password is longer than an entry holds.
    const QString longPassword(86, QChar(0x5BC6)); // 258 bytes
    ASSERT_TRUE(
        frame->projectorStore()
            .saveProjectors({record(kOther), record(kEmulated, u"1"_qs, longPassword), record(kSilent)})
            .ok());
    fillAndOk(e, kEmulatedText, image);
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::EntryPasswordTooLong, {u"258"_qs})});
    EXPECT_EQ(d.table().count, 0) << "never added with a cut password";
    boxes.clear();

    // 255 bytes still fit, whole.
    const QString fits(85, QChar(0x5BC6));
    ASSERT_TRUE(frame->projectorStore()
                    .saveProjectors({record(kOther), record(kEmulated, u"1"_qs, fits), record(kSilent)})
                    .ok());
    fillAndOk(e, kEmulatedText, image);
    EXPECT_FALSE(e.isVisible());
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_EQ(d.table().count, 1);
    EXPECT_EQ(d.table().entries[0].passwordText(), fits);
}

TEST_F(ScheduleDialogs, AddressFieldTakesDottedTextOnly) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    CScheduleEntryDlg e(frame->projectorStore(), d);
    e.show();
    auto* address = Child<CIpAddressEdit>(e, "addressEdit");
    // Keys go where the focus is, as the control moves it from field to field.
    const auto type = [&](const QString& text) {
        address->field(0)->setFocus();
        for (const QChar c : text) {
            QWidget* w = e.focusWidget();
            QTest::keyClicks(w != nullptr ? w : address->field(0), QString(c));
        }
    };
    address->clear();
    type(u"127.0.0.200"_qs);
    EXPECT_EQ(address->text(), kEmulatedText);
    QTest::keyClicks(address->field(3), u"x"_qs);
    EXPECT_EQ(address->text(), kEmulatedText) << "no letters";
    address->clear();
    type(u"300"_qs);
    EXPECT_EQ(address->text(), u"30.0.0.0") << "no number over 255; the empty fields count as 0";
}

TEST_F(ScheduleDialogs, BrowseAndSelectFillTheEntryDialog) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    CScheduleEntryDlg e(frame->projectorStore(), d);
    e.show();
    files->answers << image;
    Click(e, "browseButton");
    EXPECT_EQ(Child<QLineEdit>(e, "fileEdit")->text(), image);
    ASSERT_EQ(files->asked.size(), 1);
    EXPECT_EQ(files->asked[0].title, CatalogText(msg::BrowseImageDlgTitle));
    EXPECT_EQ(files->asked[0].filter, u"Projector GIF (*.qv1)");
    Click(e, "browseButton"); // cancelled
    EXPECT_EQ(Child<QLineEdit>(e, "fileEdit")->text(), image);

    bool picked = false;
    QTimer::singleShot(0, [&] {
        auto* s = qobject_cast<CSelectProjectorDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(s, nullptr);
        picked = true;
        Child<QComboBox>(*s, "projectorList")->setCurrentIndex(1);
        Click(*s, "okButton");
    });
    Click(e, "selectButton");
    EXPECT_TRUE(picked);
    EXPECT_EQ(Child<CIpAddressEdit>(e, "addressEdit")->text(), kEmulatedText);
}

TEST_F(ScheduleDialogs, InsertButtonOpensTheEntryDialog) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* e = qobject_cast<CScheduleEntryDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(e, nullptr);
        opened = true;
        fillAndOk(*e, kEmulatedText, image, 1);
    });
    Click(d, "insertButton");
    EXPECT_TRUE(opened);
    ASSERT_EQ(d.table().count, 1);
    EXPECT_EQ(d.table().entries[0].saveId, 2);
    EXPECT_EQ(list(d)->rowCount(), 1);
}

// A full schedule says so, from the entry dialog and from Insert, instead of closing quietly.
TEST_F(ScheduleDialogs, AThirtyFirstEntryIsRefusedWithTheReason) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    for (int i = 0; i < ScheduleTable::kSlots; ++i) {
        ASSERT_TRUE(insert(d, kEmulatedText, image)) << i;
    }
    ASSERT_EQ(d.table().count, ScheduleTable::kSlots);
    EXPECT_TRUE(boxes.shown().empty());
    const QString full = CatalogText(msg::ScheduleFull, {u"30"_qs});

    EXPECT_FALSE(insert(d, kEmulatedText, image)) << "the entry dialog stays open";
    EXPECT_EQ(boxes.texts(), QStringList{full});
    EXPECT_EQ(d.table().count, ScheduleTable::kSlots);

    boxes.clear();
    d.show();
    bool entryOpened = false;
    QTimer::singleShot(0, &d, [&] {
        if (auto* e = qobject_cast<CScheduleEntryDlg*>(QApplication::activeModalWidget())) {
            entryOpened = true;
            e->reject();
        }
    });
    Click(d, "insertButton");
    EXPECT_FALSE(entryOpened) << "Insert on a full schedule opens no entry dialog";
    EXPECT_EQ(boxes.texts(), QStringList{full});
}

TEST_F(ScheduleDialogs, DeleteCheckedKeepsTheOrderOfTheRest) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    ASSERT_TRUE(insert(d, kEmulatedText, image, 0));
    ASSERT_TRUE(insert(d, kSilentText, image, 1));
    ASSERT_TRUE(insert(d, u"127.0.0.201"_qs, image, 2));
    Click(d, "deleteButton");
    EXPECT_EQ(d.table().count, 3) << "nothing checked, nothing deleted";

    list(d)->item(1, 0)->setCheckState(Qt::Checked);
    Click(d, "deleteButton");
    ASSERT_EQ(d.table().count, 2);
    EXPECT_EQ(Ipv4::toHost(d.table().entries[0].address), kEmulated);
    EXPECT_EQ(Ipv4::toHost(d.table().entries[1].address), kOther);
    EXPECT_EQ(d.table().entries[2], ScheduleEntry{});
    ASSERT_EQ(list(d)->rowCount(), 2);
    EXPECT_EQ(cell(d, 0, 0), kEmulatedText);
    EXPECT_EQ(cell(d, 1, 0), u"127.0.0.201");
    EXPECT_EQ(list(d)->item(0, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list(d)->item(1, 0)->checkState(), Qt::Unchecked);

    list(d)->item(0, 0)->setCheckState(Qt::Checked);
    Click(d, "deleteButton");
    ASSERT_EQ(d.table().count, 1);
    EXPECT_EQ(Ipv4::toHost(d.table().entries[0].address), kOther) << "the checked row is the one that goes";

    list(d)->item(0, 0)->setCheckState(Qt::Checked);
    Click(d, "deleteButton");
    EXPECT_EQ(d.table(), ScheduleTable{});
    EXPECT_EQ(list(d)->rowCount(), 0);
}

TEST_F(ScheduleDialogs, SaveThenLoadRoundTripsTheTable) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    ASSERT_TRUE(insert(d, kEmulatedText, image, 3, u"2"_qs));
    ASSERT_TRUE(insert(d, kSilentText, image, 0));
    const QString path = dir.filePath(u"s.sch"_qs);
    files->answers << path;
    Click(d, "saveButton");
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_EQ(files->asked.size(), 1);
    EXPECT_EQ(files->asked[0].title, CatalogText(msg::SaveScheduleDlgTitle));
    EXPECT_EQ(files->asked[0].filter, u"Schedule File (*.sch)");
    EXPECT_EQ(files->asked[0].defaultSuffix, u"sch");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes.size(), 16084);
    EXPECT_EQ(bytes, d.table().toBytes());

    CScheduleDlg other(frame->state().schedule(), frame->projectorStore());
    files->answers << path;
    Click(other, "loadButton");
    EXPECT_EQ(files->asked.last().title, CatalogText(msg::LoadScheduleDlgTitle));
    EXPECT_EQ(files->asked.last().filter, u"Schedule File (*.sch)");
    EXPECT_EQ(other.table(), d.table());
    EXPECT_EQ(other.table().toBytes(), bytes);
    ASSERT_EQ(list(other)->rowCount(), 2);
    EXPECT_EQ(cell(other, 0, 2), CatalogText(msg::EntryStoreText, {u"4"_qs}));
    EXPECT_EQ(cell(other, 1, 0), kSilentText);
    EXPECT_TRUE(boxes.shown().empty());

    Click(other, "loadButton"); // cancelled
    EXPECT_EQ(other.table(), d.table());
}

TEST_F(ScheduleDialogs, BadScheduleFilesChangeNothing) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    const ScheduleTable before = d.table();

    ScheduleTable three;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(three.AddScheduleEntry(kSilentText, image, u"1"_qs, u"0"_qs, false, 0, {}),
                  ScheduleTable::AddResult::Added);
    }
    const QString truncated = writeFile(u"short.sch"_qs, three.toBytes().left(4 + 536 + 100));
    files->answers << truncated;
    Click(d, "loadButton");
    EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::ScheduleFileTruncated, {truncated})});
    EXPECT_EQ(d.table(), before);
    EXPECT_EQ(list(d)->rowCount(), 1);
    boxes.clear();

    QByteArray outOfRange = three.toBytes();
    outOfRange[0] = 31;
    files->answers << writeFile(u"31.sch"_qs, outOfRange) << writeFile(u"empty.sch"_qs, {});
    Click(d, "loadButton");
    Click(d, "loadButton");
    EXPECT_TRUE(boxes.shown().empty()) << "a count out of range or an empty file is ignored silently";
    EXPECT_EQ(d.table(), before);

    const QString missing = dir.filePath(u"gone.sch"_qs);
    files->answers << missing;
    Click(d, "loadButton");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.texts()[0].startsWith(CatalogText(msg::ScheduleReadFailed, {missing, {}})));
    EXPECT_EQ(d.table(), before);
}

TEST_F(ScheduleDialogs, FailedSaveIsReported) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    const QString path = dir.filePath(u"no/such/folder/s.sch"_qs);
    files->answers << path;
    Click(d, "saveButton");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.texts()[0].startsWith(CatalogText(msg::ScheduleSaveFailed, {path, {}})));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ScheduleDialogs, ExecuteWithAnEmptyListDoesNothing) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    Click(d, "executeButton");
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_EQ(enabledButtons(d), QLatin1String(kIdle));
    EXPECT_EQ(frame->state().schedule().count(), 0);
}

TEST_F(ScheduleDialogs, ExecuteShowsStatusesAndReturnsToIdleByItself) {
    ProjectorEmulator emulator(emulatedConfig());
    ASSERT_TRUE(emulator.start());
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    ASSERT_TRUE(insert(d, kEmulatedText, image, 1));
    ASSERT_TRUE(insert(d, kSilentText, image, 0));
    Click(d, "executeButton");
    EXPECT_EQ(enabledButtons(d), QLatin1String(kRunning));
    EXPECT_EQ(frame->state().schedule().count(), 2);
    EXPECT_EQ(frame->state().schedule().loop(), 0);
    EXPECT_EQ(frame->state().schedule().table().entries[1], d.table().entries[1]);

    ASSERT_TRUE(idleAgain(d));
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_EQ(cell(d, 0, 4), CatalogText(msg::EntryStatusDone));
    EXPECT_EQ(cell(d, 1, 4), CatalogText(msg::EntryStatusFailed));
    ASSERT_TRUE(emulator.stores().image(2).has_value());
    EXPECT_EQ(emulator.stores().image(2)->data, imageBytes);
}

TEST_F(ScheduleDialogs, OpeningDuringARunShowsItAndStopEndsIt) {
    ScheduleTable t;
    ASSERT_EQ(t.AddScheduleEntry(kSilentText, image, u"4"_qs, u"0"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    frame->state().schedule().setTable(t);
    frame->state().schedule().setCount(t.count);
    frame->state().schedule().setLoop(1);
    ASSERT_TRUE(frame->state().schedule().start());

    {
        CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
        d.show();
        EXPECT_EQ(enabledButtons(d), QLatin1String(kRunning));
        EXPECT_TRUE(Child<QCheckBox>(d, "loopCheck")->isChecked());
        EXPECT_EQ(d.table(), t);
        ASSERT_EQ(list(d)->rowCount(), 1);
        EXPECT_EQ(cell(d, 0, 0), kSilentText);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !cell(d, 0, 4).isEmpty(); }, 20000));
        Click(d, "cancelButton");
        EXPECT_FALSE(d.isVisible());
    }
    EXPECT_TRUE(frame->state().schedule().isRunning()) << "closing the dialog leaves the run going";

    CScheduleDlg again(frame->state().schedule(), frame->projectorStore());
    again.show();
    Click(again, "stopButton");
    ASSERT_TRUE(idleAgain(again, 20000));
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_EQ(enabledButtons(again), QLatin1String(kIdle));
}

TEST_F(ScheduleDialogs, StopEndsALoopingRun) {
    ProjectorEmulator emulator(emulatedConfig());
    ASSERT_TRUE(emulator.start());
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    Child<QCheckBox>(d, "loopCheck")->setChecked(true);
    Click(d, "executeButton");
    EXPECT_EQ(frame->state().schedule().loop(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return emulator.connections() >= 3; }, 10000)) << "the loop repeats";
    EXPECT_TRUE(frame->state().schedule().isRunning());
    EXPECT_EQ(enabledButtons(d), QLatin1String(kRunning));
    Click(d, "stopButton");
    ASSERT_TRUE(idleAgain(d, 20000));
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_EQ(enabledButtons(d), QLatin1String(kIdle));
    const int served = emulator.connections();
    QTest::qWait(100);
    EXPECT_EQ(emulator.connections(), served) << "no upload after Stop";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !cell(d, 0, 4).isEmpty(); }, 20000)) << "last statuses shown";
}

// An emulator that takes the file and never answers: the upload would wait 300 s.
class SilentUpload : public ScheduleDialogs {
protected:
    void SetUp() override {
        ScheduleDialogs::SetUp();
        EmulatorConfig c = emulatedConfig();
        c.faults.neverReply = true;
        silent = std::make_unique<ProjectorEmulator>(c);
        ASSERT_TRUE(silent->start());
    }
    void TearDown() override {
        ScheduleDialogs::TearDown();
        silent.reset();
    }
    bool uploadInFlight() {
        return QTest::qWaitFor([&] { return silent->stores().image(1).has_value(); }, 20000);
    }
    std::unique_ptr<ProjectorEmulator> silent;
};

TEST_F(SilentUpload, StopAbandonsTheUploadAtOnceAndTheWindowKeepsWorking) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    Click(d, "executeButton");
    ASSERT_TRUE(uploadInFlight());
    ASSERT_TRUE(frame->state().schedule().isRunning());

    // Stop only asks: the button returns at once, and the dialog follows the worker's end.
    QElapsedTimer clock;
    clock.start();
    Click(d, "stopButton");
    EXPECT_LT(clock.elapsed(), 5000); // not the projector's 300 s
    EXPECT_FALSE(Child<QPushButton>(d, "stopButton")->isEnabled()) << "a stop is not asked for twice";
    ASSERT_TRUE(idleAgain(d, 20000));
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_EQ(frame->state().schedule().entryStatus(0), ScheduleEntry::NotRun)
        << "the status before the upload began";
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(SilentUpload, ClosingTheWindowDuringAnUploadDoesNotWaitForTheProjector) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    Click(d, "executeButton");
    ASSERT_TRUE(uploadInFlight());
    frame->show();
    QElapsedTimer clock;
    clock.start();
    QCloseEvent close;
    QApplication::sendEvent(frame.get(), &close); // the exit question is answered OK
    // The close waits for the worker, which abandons its upload; then the window goes.
    EXPECT_FALSE(close.isAccepted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->isHidden(); }, 20000));
    EXPECT_LT(clock.elapsed(), 20000); // not the projector's 300 s
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_EQ(boxes.texts(), texts({msg::ConfirmExit})) << "asked once";
}

TEST_F(ScheduleDialogs, ARunEndingAtOnceStillReturnsToIdle) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    ASSERT_TRUE(insert(d, kSilentText, image));
    Click(d, "executeButton");
    ASSERT_TRUE(idleAgain(d, 20000));
    EXPECT_EQ(cell(d, 0, 4), CatalogText(msg::EntryStatusFailed));
}

// Every laid-out text of the three dialogs has a catalog text in both languages.
TEST(ScheduleDialogTexts, AllTextsComeFromTheCatalogInBothLanguages) {
    QTemporaryDir dir;
    AppState frameState(dir.filePath(u"t.INI"_qs));
    CMainFrame frame(frameState);
    for (const auto which : {ShippedCatalog::Which::Default, ShippedCatalog::Which::SimplifiedChinese}) {
        ShippedCatalog catalog(which, which == ShippedCatalog::Which::Default ? Catalog::kEnglish
                                                                              : Catalog::kSimplifiedChinese);
        CScheduleDlg schedule(frameState.schedule(), frameState.projectors());
        CScheduleEntryDlg entry(frameState.projectors(), schedule);
        CSelectProjectorDlg select(frameState.projectors());
        for (QWidget* dlg : {static_cast<QWidget*>(&schedule), static_cast<QWidget*>(&entry),
                             static_cast<QWidget*>(&select)}) {
            QStringList shown{dlg->windowTitle()};
            for (QWidget* child : dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (child->isHidden() && child->isWindow()) {
                    continue;
                }
                if (auto* b = qobject_cast<QAbstractButton*>(child); b != nullptr && !b->isHidden()) {
                    shown << b->text();
                } else if (auto* l = qobject_cast<QLabel*>(child); l != nullptr && !l->isHidden()) {
                    shown << l->text();
                }
            }
            for (const QString& t : shown) {
                EXPECT_FALSE(t.isEmpty()) << dlg->objectName().toStdString();
                EXPECT_FALSE(t.contains(u';')) << t.toStdString();
                EXPECT_NE(t, kNoMessageCatalog) << dlg->objectName().toStdString();
            }
        }
    }
}

// Verify and retry: two check boxes kept beside the schedule file.
namespace {

QCheckBox* verifyBox(CScheduleDlg& d) {
    return Child<QCheckBox>(d, "verifyCheck");
}
QCheckBox* retryBox(CScheduleDlg& d) {
    return Child<QCheckBox>(d, "retryCheck");
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST_F(ScheduleDialogs, OptionBoxesStartOffAndAreNamedAndReachableByKeyboard) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    ASSERT_NE(verifyBox(d), nullptr);
    ASSERT_NE(retryBox(d), nullptr);
    EXPECT_FALSE(verifyBox(d)->isChecked());
    EXPECT_FALSE(retryBox(d)->isChecked());
    EXPECT_EQ(d.options(), ScheduleOptions{});
    EXPECT_EQ(verifyBox(d)->text(), CatalogText(msg::ScheduleVerifyUploads));
    EXPECT_EQ(retryBox(d)->text(), CatalogText(msg::ScheduleRetryUploads, {u"3"_qs, u"30"_qs}));
    EXPECT_EQ(verifyBox(d)->accessibleName(), u"Verify each upload");
    EXPECT_EQ(retryBox(d)->accessibleName(), u"Retry a failed upload (3 more times, 30 s apart)");
    // Tab goes from Loop to the two boxes; Space toggles them.
    EXPECT_EQ(Child<QWidget>(d, "loopCheck")->nextInFocusChain(), verifyBox(d));
    EXPECT_EQ(verifyBox(d)->nextInFocusChain(), retryBox(d));
    for (QCheckBox* box : {verifyBox(d), retryBox(d)}) {
        EXPECT_TRUE(box->focusPolicy() & Qt::TabFocus);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        EXPECT_TRUE(box->isChecked());
    }
    EXPECT_EQ(d.options(), (ScheduleOptions{true, true}));
}

TEST_F(ScheduleDialogs, OptionBoxesReadWithoutTheirKeyboardMarkInChinese) {
    ShippedCatalog chinese(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    EXPECT_EQ(verifyBox(d)->accessibleName(), u"每次发送后都校验");
    EXPECT_TRUE(retryBox(d)->accessibleName().startsWith(u"发送失败时重试（再试 3 次"));
    EXPECT_FALSE(retryBox(d)->accessibleName().contains(u'&'));
}

TEST_F(ScheduleDialogs, OptionsAreSavedBesideTheScheduleAndComeBackWithIt) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    verifyBox(d)->setChecked(true); // before the schedule ever had a file
    const QString path = dir.filePath(u"s.sch"_qs);
    files->answers << path;
    Click(d, "saveButton");
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(fileBytes(path), d.table().toBytes()) << "the schedule file keeps its exact layout";
    EXPECT_EQ(fileBytes(path + u".options"_qs), QByteArray("verify=on\nretry=off\n"));

    CScheduleDlg other(frame->state().schedule(), frame->projectorStore());
    retryBox(other)->setChecked(true);
    files->answers << path;
    Click(other, "loadButton");
    EXPECT_EQ(other.table(), d.table());
    EXPECT_EQ(other.options(), (ScheduleOptions{true, false}));

    // Saving again with other options writes them; a schedule without a side file loads as both off.
    retryBox(other)->setChecked(true);
    verifyBox(other)->setChecked(false);
    files->answers << path;
    Click(other, "saveButton");
    EXPECT_EQ(fileBytes(path + u".options"_qs), QByteArray("verify=off\nretry=on\n"));
    const QString plain = dir.filePath(u"plain.sch"_qs);
    ASSERT_TRUE(ScheduleFile::save(plain, d.table()).ok());
    files->answers << plain;
    Click(other, "loadButton");
    EXPECT_EQ(other.options(), ScheduleOptions{});
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ScheduleDialogs, ABadSideFileIsReportedAndLeavesBothOff) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    ASSERT_TRUE(insert(d, kEmulatedText, image));
    const QString path = dir.filePath(u"s.sch"_qs);
    ASSERT_TRUE(ScheduleFile::save(path, d.table()).ok());
    writeFile(u"s.sch.options"_qs, "verify=perhaps\n");
    CScheduleDlg other(frame->state().schedule(), frame->projectorStore());
    verifyBox(other)->setChecked(true);
    files->answers << path;
    Click(other, "loadButton");
    EXPECT_EQ(other.table(), d.table()) << "the schedule itself still loads";
    EXPECT_EQ(other.options(), ScheduleOptions{});
    EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::ScheduleOptionsGarbled, {path + u".options"_qs})});
    boxes.clear();

    // A folder in its place cannot be read, nor written when the schedule is saved.
    QFile::remove(path + u".options"_qs);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"s.sch.options"_qs));
    retryBox(other)->setChecked(true);
    files->answers << path;
    Click(other, "loadButton");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.texts()[0].startsWith(
        CatalogText(msg::ScheduleOptionsUnreadable, {path + u".options"_qs, {}}).section(u':', 0, 0)));
    EXPECT_EQ(boxes.shown()[0].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(other.options(), ScheduleOptions{});
    boxes.clear();

    verifyBox(other)->setChecked(true);
    files->answers << path;
    Click(other, "saveButton");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.texts()[0].startsWith(
        CatalogText(msg::ScheduleOptionsSaveFailed, {path + u".options"_qs, {}}).section(u':', 0, 0)));
    EXPECT_EQ(fileBytes(path), d.table().toBytes()) << "the schedule was saved all the same";
}

TEST_F(ScheduleDialogs, ExecuteRunsWithTheOptionsAndReopeningShowsThem) {
    EmulatorConfig c = emulatedConfig();
    c.faults.dropUploads = true; // answers PUT 0 and keeps nothing
    ProjectorEmulator emulator(c);
    ASSERT_TRUE(emulator.start());
    {
        CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
        d.show();
        ASSERT_TRUE(insert(d, kEmulatedText, image));
        verifyBox(d)->setChecked(true);
        Click(d, "executeButton");
        EXPECT_EQ(frame->state().schedule().options(), (ScheduleOptions{true, false}));
        EXPECT_FALSE(verifyBox(d)->isEnabled()) << "running until the timer sees otherwise";
        EXPECT_FALSE(retryBox(d)->isEnabled());
        ASSERT_TRUE(idleAgain(d, 30000));
        EXPECT_EQ(cell(d, 0, 4), CatalogText(msg::EntryStatusFailed)) << "the store does not show the upload";
        EXPECT_TRUE(verifyBox(d)->isEnabled());
        bool sawInfo = false;
        for (const EmulatorRequest& r : emulator.requests()) {
            sawInfo = sawInfo || r.command == "INFO 1";
        }
        EXPECT_TRUE(sawInfo);
    }

    // A run going on when the dialog opens shows its own options.
    ScheduleTable t;
    ASSERT_EQ(t.AddScheduleEntry(kSilentText, image, u"1"_qs, u"0"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    frame->state().schedule().setTable(t);
    frame->state().schedule().setCount(t.count);
    frame->state().schedule().setLoop(1);
    frame->state().schedule().setOptions({false, true});
    ASSERT_TRUE(frame->state().schedule().start());
    CScheduleDlg again(frame->state().schedule(), frame->projectorStore());
    again.show();
    EXPECT_EQ(again.options(), (ScheduleOptions{false, true}));
    EXPECT_FALSE(retryBox(again)->isEnabled());
    Click(again, "stopButton");
    ASSERT_TRUE(idleAgain(again, 20000));
    EXPECT_FALSE(frame->state().schedule().isRunning());
    EXPECT_TRUE(retryBox(again)->isEnabled());
}

// The dialog needs the schedule and the projector store, not a window around them.
TEST(ScheduleDialogPieces, RunsAndStopsWithoutAMainWindow) {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    EmulatorConfig c = emulatedConfig();
    c.faults.neverReply = true;
    ProjectorEmulator silent(c);
    ASSERT_TRUE(silent.start());
    const QString image = dir.filePath(u"pic.qv1"_qs);
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(gifOfSize(120, 90));
    }
    AppState state(dir.filePath(u"t.INI"_qs), dir.filePath(u"history.sqlite"_qs));
    CScheduleDlg d(state.schedule(), state.projectors());
    d.show();
    ASSERT_EQ(d.AddScheduleEntry(kEmulatedText, image, u"1"_qs, u"0"_qs, false, 1, u"secret"_qs),
              ScheduleTable::AddResult::Added);
    Click(d, "executeButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.stores().image(1).has_value(); }, 20000));
    EXPECT_FALSE(Child<QPushButton>(d, "executeButton")->isEnabled());
    QElapsedTimer clock;
    clock.start();
    Click(d, "stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Child<QPushButton>(d, "executeButton")->isEnabled(); }, 20000));
    EXPECT_LT(clock.elapsed(), 20000) << "not the projector's 300 s";
    EXPECT_FALSE(state.schedule().isRunning());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ScheduleDialogs, AnEntrysFileIsNamedWithItsHiddenCharactersSpelledOut) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    d.show();
    const QString reversed = writeFile(u"x\u202Eexe.qv1"_qs, imageBytes);
    ASSERT_TRUE(insert(d, kSilentText, reversed));
    EXPECT_EQ(cell(d, 0, 1), dir.filePath(u"x\\u202Eexe.qv1"_qs));
    ASSERT_EQ(d.table().count, 1);
    EXPECT_EQ(d.table().entries[0].imageFilePath(), reversed) << "the entry keeps the name as it is";
}

TEST_F(ScheduleDialogs, DaysAndHoursSurviveASaveAndFollowTheirEntryOverADelete) {
    CScheduleDlg d(frame->state().schedule(), frame->projectorStore());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(insert(d, kEmulatedText, image, i));
    }
    const QString path = dir.filePath(u"parts.sch"_qs);
    ASSERT_TRUE(ScheduleFile::save(path, d.table()).ok());
    ScheduleOptions parts;
    parts.dayparts[0].weekdays = *Daypart::parseWeekdays(u"mon-fri");
    parts.dayparts[2].windows = *Daypart::parseWindows(u"07:00-11:00");
    ASSERT_TRUE(ScheduleOptions::save(path, parts).ok());

    CScheduleDlg other(frame->state().schedule(), frame->projectorStore());
    files->answers << path;
    Click(other, "loadButton");
    EXPECT_EQ(other.options(), parts) << "the dialog keeps what only tessavelctl edits";
    list(other)->item(1, 0)->setCheckState(Qt::Checked);
    Click(other, "deleteButton");
    ASSERT_EQ(other.table().count, 2);
    files->answers << path;
    Click(other, "saveButton");
    ScheduleOptions saved;
    ASSERT_TRUE(ScheduleOptions::load(path, saved).ok());
    EXPECT_EQ(saved.dayparts[0], parts.dayparts[0]);
    EXPECT_EQ(saved.dayparts[1], parts.dayparts[2]) << "the third entry became the second";
    EXPECT_TRUE(saved.dayparts[2].isAlwaysOpen());
}
