#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "board/CBoardDock.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "support/CatalogFixture.h"
#include "support/Emulators.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Loopback addresses of this test's own range; nothing is asked here.
constexpr quint32 kA = 0x7F000B29u; // 127.0.11.41
constexpr quint32 kB = 0x7F000B2Au;
constexpr quint32 kC = 0x7F000B2Bu;

QStringList column(QTableWidget* t, int c, bool visibleOnly) {
    QStringList out;
    for (int row = 0; row < t->rowCount(); ++row) {
        if (!visibleOnly || !t->isRowHidden(row)) {
            out << t->item(row, c)->text();
        }
    }
    return out;
}

} // namespace

TEST(BoardGroups, TheBoardFiltersByAGroupSortsByGroupsAndFollowsChanges) {
    QSettings().clear();
    ShippedCatalog catalog;
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"t.INI"_qs);
    {
        ProjectorStore store(ini);
        ASSERT_TRUE(store
                        .saveProjectors({TestProjector(u"Alpha"_qs, kA), TestProjector(u"Beta"_qs, kB),
                                         TestProjector(u"Gamma"_qs, kC)})
                        .ok());
        QFile groups(ProjectorGroups::pathFor(ini));
        ASSERT_TRUE(groups.open(QIODevice::WriteOnly));
        groups.write("tessavel-groups 1\nZoo\t127.0.11.41\nAtrium\t127.0.11.43\t127.0.11.41\n");
    }
    AppState state(ini, dir.filePath(u"history.sqlite"_qs));
    auto frame = std::make_unique<CMainFrame>(state);
    auto* dock = frame->findChild<CBoardDock*>(u"boardDock"_qs);
    ASSERT_NE(dock, nullptr);
    QTableWidget* t = dock->table();
    const int groups = dock->groupsColumn();
    ASSERT_EQ(t->columnCount(), groups + 1);
    EXPECT_EQ(t->horizontalHeaderItem(groups)->text(), CatalogText(msg::ColumnGroups));
    EXPECT_EQ(column(t, groups, false), (QStringList{u"Zoo, Atrium"_qs, QString(), u"Atrium"_qs}));

    QComboBox* filter = dock->groupFilter();
    ASSERT_NE(filter, nullptr);
    EXPECT_FALSE(filter->accessibleName().isEmpty());
    filter->setCurrentIndex(filter->findText(u"Atrium"_qs));
    EXPECT_EQ(column(t, CBoardDock::NameColumn, true), (QStringList{u"Alpha"_qs, u"Gamma"_qs}));

    // A click on the Groups header sorts by it; a second turns the order round.
    filter->setCurrentIndex(0);
    t->horizontalHeader()->sectionClicked(groups);
    EXPECT_EQ(column(t, CBoardDock::NameColumn, false), (QStringList{u"Beta"_qs, u"Gamma"_qs, u"Alpha"_qs}));
    t->horizontalHeader()->sectionClicked(groups);
    EXPECT_EQ(column(t, CBoardDock::NameColumn, false), (QStringList{u"Alpha"_qs, u"Gamma"_qs, u"Beta"_qs}));
    EXPECT_EQ(dock->rowOf(kB), 2) << "rows are still found by address";

    // A group made elsewhere reaches the board's choice and cells.
    ASSERT_EQ(state.groups().add(u"Lobby"_qs, {kB}), ProjectorGroups::Change::Done);
    ASSERT_TRUE(state.groups().save().ok());
    EXPECT_NE(filter->findText(u"Lobby"_qs), -1);
    EXPECT_EQ(t->item(dock->rowOf(kB), groups)->text(), u"Lobby");
    frame.reset();
    QSettings().clear();
}
