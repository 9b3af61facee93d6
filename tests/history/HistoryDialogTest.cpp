#include "app/AppState.h"
#include "app/CFileDialogs.h"
#include "app/CMainFrame.h"
#include "history/CHistoryDlg.h"
#include "history/HistoryStore.h"
#include "history/HistoryTableModel.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "support/CatalogFixture.h"
#include "support/ColumnFit.h"
#include "support/DialogDriver.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SaveAnswer final : public CFileDialogs {
public:
    explicit SaveAnswer(QString path) : m_path(std::move(path)) {}
    QString openFile(QWidget*, const Request&) override { return {}; }
    QString saveFile(QWidget*, const Request&) override { return m_path; }

private:
    QString m_path;
};

class HistoryDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        HistoryStore store(path);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < 30; ++i) {
            HistoryRecord r;
            r.time = now.addSecs(-i * 60);
            r.address = QStringLiteral("127.0.0.%1").arg(2 + i % 3);
            r.command = i % 2 == 0 ? QStringLiteral("PUT") : QStringLiteral("STAT");
            r.ok = i % 5 != 0;
            r.resultText = QStringLiteral("record %1").arg(i);
            store.append(r);
        }
        store.flush();
    }
    void TearDown() override { CFileDialogs::setInstanceForTesting(nullptr); }

    ShippedCatalog catalog;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("history.sqlite"));
};

} // namespace

TEST_F(HistoryDialogTest, ShowsNewestFirstFiltersAndExportsWhatItShows) {
    CHistoryDlg dlg(path);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isLoaded(); }, 20000));
    auto* table = dlg.findChild<QTableView*>(QStringLiteral("historyTable"));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->model()->rowCount(), 30);
    EXPECT_EQ(table->model()->index(0, HistoryTableModel::Result).data().toString(), u"record 0 (0)");
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("countLabel"))->text(),
              CatalogText(msg::HistoryCount, {u"30"_qs}));

    auto* projector = dlg.findChild<QComboBox*>(QStringLiteral("projectorFilter"));
    auto* command = dlg.findChild<QComboBox*>(QStringLiteral("commandFilter"));
    auto* result = dlg.findChild<QComboBox*>(QStringLiteral("resultFilter"));
    EXPECT_EQ(projector->accessibleName(), CatalogText(msg::HistoryLabelProjector).remove(u'&').chopped(1));
    ASSERT_EQ(projector->count(), 4); // all and three addresses
    projector->setCurrentIndex(projector->findData(u"127.0.0.2"_qs));
    EXPECT_EQ(table->model()->rowCount(), 10);
    command->setCurrentIndex(command->findData(u"PUT"_qs));
    EXPECT_EQ(table->model()->rowCount(), 5); // i = 0, 6, 12, 18, 24
    result->setCurrentIndex(2);               // failed: i = 0 only
    ASSERT_EQ(table->model()->rowCount(), 1);

    const QString csvPath = dir.filePath(QStringLiteral("out.csv"));
    CFileDialogs::setInstanceForTesting(std::make_unique<SaveAnswer>(csvPath));
    MessageBoxRecorder boxes;
    dlg.findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
    EXPECT_TRUE(boxes.shown().empty());
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3); // header, one record, the empty rest after the last line end
    EXPECT_TRUE(lines[1].contains("record 0 (0)"));

    // A folder that does not exist cannot take the file: the user reads why.
    CFileDialogs::setInstanceForTesting(
        std::make_unique<SaveAnswer>(dir.filePath(QStringLiteral("none/out.csv"))));
    dlg.findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              CatalogText(msg::HistoryExportFailed, {CatalogText(msg::FileReasonMissing)}));
}

// The filters fill after the window is shown; each still shows its longest item whole (here
// an address longer than the date below it), in Chinese too.
TEST_F(HistoryDialogTest, FiltersAreWideEnoughForTheirLongestItem) {
    ShippedCatalog zh(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    {
        HistoryStore store(path);
        HistoryRecord r;
        r.time = QDateTime::currentDateTimeUtc();
        r.address = QStringLiteral("192.168.200.222");
        r.command = QStringLiteral("CANCEL-TRANSMISSION");
        r.ok = true;
        store.append(r);
        store.flush();
    }
    CHistoryDlg dlg(path);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isLoaded(); }, 20000));
    for (const char* name : {"projectorFilter", "commandFilter", "resultFilter"}) {
        auto* box = dlg.findChild<QComboBox*>(QString::fromLatin1(name));
        ASSERT_NE(box, nullptr) << name;
        ASSERT_GT(box->count(), 1) << name;
        // A box of the same style and font that holds the same items and was never squeezed.
        QComboBox fresh;
        fresh.setFont(box->font());
        for (int i = 0; i < box->count(); ++i) {
            fresh.addItem(box->itemText(i));
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return box->width() >= fresh.sizeHint().width(); }, 20000))
            << name << " is " << box->width() << " wide for items that need " << fresh.sizeHint().width();
    }
}

// Every header is read whole, the time is never cut and a long result is read whole in its
// tooltip, in both languages, with the window as large as a 1366x768 screen allows.
TEST_F(HistoryDialogTest, ColumnsFitTheirHeadersAndTheTimeInBothLanguages) {
    const QString longResult = u"The projector could not cancel the transmission into this store."_qs;
    {
        HistoryStore store(path);
        HistoryRecord r;
        r.time = QDateTime::currentDateTimeUtc();
        r.address = QStringLiteral("192.168.200.222");
        r.command = QStringLiteral("CANCEL");
        r.result = -1;
        r.resultText = longResult;
        store.append(r);
        store.flush();
    }
    for (const bool chinese : {false, true}) {
        ShippedCatalog language(chinese ? ShippedCatalog::Which::SimplifiedChinese
                                        : ShippedCatalog::Which::Default,
                                chinese ? Catalog::kSimplifiedChinese : Catalog::kEnglish);
        CHistoryDlg dlg(path);
        dlg.resize(1366, 740);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isLoaded(); }, 20000));
        auto* table = dlg.findChild<QTableView*>(QStringLiteral("historyTable"));
        ASSERT_NE(table, nullptr);
        const QHeaderView* header = table->horizontalHeader();
        for (int c = 0; c < HistoryTableModel::ColumnCount; ++c) {
            EXPECT_GE(header->sectionSize(c), HeaderTextNeeds(header, c))
                << (chinese ? "zh " : "en ") << "column " << c;
        }
        int longest = -1;
        for (int row = 0; row < dlg.model()->rowCount(); ++row) {
            const QModelIndex time = dlg.model()->index(row, HistoryTableModel::Time);
            EXPECT_GE(header->sectionSize(HistoryTableModel::Time),
                      CellTextNeeds(table, time.data().toString()))
                << time.data().toString().toStdString();
            if (dlg.model()->recordAt(row).resultText == longResult) {
                longest = row;
            }
        }
        ASSERT_GE(longest, 0);
        const QModelIndex result = dlg.model()->index(longest, HistoryTableModel::Result);
        EXPECT_TRUE(result.data(Qt::ToolTipRole).toString().contains(longResult));
        EXPECT_GT(header->sectionSize(HistoryTableModel::Result),
                  HeaderTextNeeds(header, HistoryTableModel::Result))
            << "the result column takes room for its texts, not only for its header";
    }
}

TEST_F(HistoryDialogTest, AnUnreadableFileIsSaidSoAndTheWindowStaysUsable) {
    const QString junk = dir.filePath(QStringLiteral("junk.sqlite"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'z'));
    f.close();
    CHistoryDlg dlg(junk);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isLoaded(); }, 20000));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("countLabel"))->text(),
              CatalogText(msg::HistoryReadFailed));
    EXPECT_FALSE(dlg.findChild<QPushButton*>(QStringLiteral("exportButton"))->isEnabled());
}

TEST_F(HistoryDialogTest, TheViewMenuOpensTheWindow) {
    QStandardPaths::setTestModeEnabled(true); // the window reads a test data folder, not the user's
    AppState frameState(dir.filePath(QStringLiteral("t.INI")));
    CMainFrame frame(frameState);
    frame.LocaliseMainMenu();
    auto* action = frame.findChild<QAction*>(QStringLiteral("historyAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), CatalogText(msg::MenuHistory));
    action->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return frame.findChild<CHistoryDlg*>() != nullptr && frame.findChild<CHistoryDlg*>()->isLoaded();
        },
        20000));
    EXPECT_TRUE(frame.findChild<CHistoryDlg*>()->isVisible());
}
