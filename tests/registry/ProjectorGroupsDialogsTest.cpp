#include "app/AppState.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/CIpAddressEdit.h"
#include "registry/CProjectorEditDlg.h"
#include "registry/CProjectorListDlg.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/Emulators.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr quint32 kA = 0x7F000B2Cu; // 127.0.11.44, never asked
constexpr quint32 kB = 0x7F000B2Du;
constexpr quint32 kC = 0x7F000B2Eu;
constexpr quint32 kMoved = 0x7F000B31u;

class ProjectorGroupsDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectorList list{TestProjector(u"Hall"_qs, kA), TestProjector(u"Lab"_qs, kB),
                           TestProjector(u"Foyer"_qs, kC)};
        for (ProjectorRecord& r : list) {
            r.mac.clear(); // no clash question between them
        }
        ProjectorStore store(m_ini);
        ASSERT_TRUE(store.saveProjectors(list).ok());
        QFile groups(ProjectorGroups::pathFor(m_ini));
        ASSERT_TRUE(groups.open(QIODevice::WriteOnly));
        groups.write("tessavel-groups 1\nFloor 2\t127.0.11.44\t127.0.11.45\nLecture halls\t127.0.11.46\n");
    }
    // The groups as the file now holds them.
    QList<ProjectorGroups::Group> onDisk(const ProjectorList& list) const {
        ProjectorGroups g(ProjectorGroups::pathFor(m_ini));
        EXPECT_TRUE(g.load(list).ok());
        return g.groups();
    }
    static void selectRow(QTableWidget* t, int row) {
        t->clearSelection();
        t->selectRow(row);
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(u"tessavel.INI"_qs);
};

} // namespace

TEST_F(ProjectorGroupsDialogs, ListShowsFiltersAndEditsGroupsAndKeepsThemThroughRenamesAndDeletes) {
    MessageBoxRecorder boxes;
    AppState state(m_ini, m_dir.filePath(u"history.sqlite"_qs));
    ASSERT_TRUE(state.groupsLoad().ok()) << state.groupsLoad().text.toStdString();
    CProjectorListDlg dlg(state.projectors(), nullptr,
                          [&](const ProjectorList& l) { return state.projectors().saveProjectors(l).ok(); });
    dlg.setGroups(&state.groups());
    QTableWidget* t = dlg.list();
    ASSERT_EQ(t->columnCount(), 5);
    EXPECT_EQ(t->horizontalHeaderItem(4)->text(), CatalogText(msg::ColumnGroups));
    EXPECT_EQ(t->item(0, 4)->text(), u"Floor 2");
    EXPECT_EQ(t->item(2, 4)->text(), u"Lecture halls");

    QComboBox* filter = dlg.groupFilter();
    ASSERT_NE(filter, nullptr);
    EXPECT_FALSE(filter->accessibleName().isEmpty());
    ASSERT_EQ(filter->count(), 3);
    EXPECT_EQ(filter->itemText(0), CatalogText(msg::GroupFilterAll));
    filter->setCurrentIndex(2);
    EXPECT_TRUE(t->isRowHidden(0));
    EXPECT_TRUE(t->isRowHidden(1));
    EXPECT_FALSE(t->isRowHidden(2));
    filter->setCurrentIndex(0);
    EXPECT_FALSE(t->isRowHidden(0));

    // Edit Hall: a new name and address, out of Floor 2, into a new group typed in the form.
    const QByteArray iniBefore = [&] {
        QFile f(m_ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    selectRow(t, 0);
    WhenModal<CProjectorEditDlg>([](CProjectorEditDlg& d) {
        auto* groups = Child<QListWidget>(d, "groupsList");
        ASSERT_EQ(groups->count(), 2);
        EXPECT_FALSE(groups->accessibleName().isEmpty());
        EXPECT_EQ(groups->item(0)->checkState(), Qt::Checked);
        EXPECT_EQ(groups->item(1)->checkState(), Qt::Unchecked);
        groups->item(0)->setCheckState(Qt::Unchecked);
        Type(d, "newGroupEdit", u"  Hall wing "_qs);
        Click(d, "addGroupButton");
        Type(d, "newGroupEdit", u"LECTURE HALLS"_qs); // the existing group, ticked, not a second one
        Click(d, "addGroupButton");
        EXPECT_EQ(groups->count(), 3);
        Type(d, "nameEdit", u"Main hall"_qs);
        Child<CIpAddressEdit>(d, "addressEdit")->setAddress(kMoved);
        Click(d, "okButton");
    });
    dlg.OnEdit();
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u'|').toStdString();
    ProjectorList list = state.projectors().projectors();
    ASSERT_EQ(list[0].name, u"Main hall");
    EXPECT_EQ(state.groups().groupsOf(kMoved), (QStringList{u"Lecture halls"_qs, u"Hall wing"_qs}));
    EXPECT_TRUE(state.groups().groupsOf(kA).isEmpty());
    EXPECT_EQ(onDisk(list), state.groups().groups());
    EXPECT_EQ(filter->count(), 4) << "the new group is offered as a filter";
    QFile ini(m_ini);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains("Floor")) << "groups never go into the INI file";
    EXPECT_NE(iniBefore, QByteArray());

    // A rename alone keeps the groups; an empty name is refused with a text.
    selectRow(t, 1);
    WhenModal<CProjectorEditDlg>([&boxes](CProjectorEditDlg& d) {
        Type(d, "newGroupEdit", u"   "_qs);
        Click(d, "addGroupButton");
        EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::GroupNameEmpty)});
        Type(d, "nameEdit", u"Lab two"_qs);
        Click(d, "okButton");
    });
    dlg.OnEdit();
    EXPECT_EQ(state.projectors().projectors()[1].name, u"Lab two");
    EXPECT_EQ(state.groups().groupsOf(kB), QStringList{u"Floor 2"_qs});

    // A deleted projector leaves every group, on disk too.
    boxes.clear();
    selectRow(t, 1);
    dlg.OnDelete();
    list = state.projectors().projectors();
    ASSERT_EQ(list.size(), 2);
    const std::optional<QList<quint32>> left = state.groups().membersOf(u"Floor 2"_qs);
    ASSERT_TRUE(left.has_value());
    EXPECT_TRUE(left->isEmpty());
    EXPECT_EQ(onDisk(list), state.groups().groups());
}

TEST_F(ProjectorGroupsDialogs, AGroupFileNamingUnknownProjectorsWarnsAndADamagedOneErrs) {
    QFile groups(ProjectorGroups::pathFor(m_ini));
    ASSERT_TRUE(groups.open(QIODevice::WriteOnly));
    groups.write("tessavel-groups 1\nFloor 2\t127.0.11.44\t10.7.7.7\n");
    groups.close();
    {
        AppState state(m_ini, m_dir.filePath(u"history.sqlite"_qs));
        EXPECT_EQ(state.groupsLoad().status, ProjectorGroups::LoadOutcome::Status::UnknownMembers);
        EXPECT_EQ(state.groupsLoad().text,
                  CatalogText(msg::GroupsUnknownMembers, {ProjectorGroups::pathFor(m_ini), u"10.7.7.7"_qs}));
        EXPECT_EQ(state.groups().membersOf(u"Floor 2"_qs), QList<quint32>{kA});
    }
    ASSERT_TRUE(groups.open(QIODevice::WriteOnly));
    groups.write(QByteArray(4096, '\x01'));
    groups.close();
    AppState state(m_ini, m_dir.filePath(u"history.sqlite"_qs));
    EXPECT_EQ(state.groupsLoad().status, ProjectorGroups::LoadOutcome::Status::Damaged);
    EXPECT_TRUE(state.groups().groups().isEmpty());
    EXPECT_EQ(state.projectors().count(), 3) << "the list itself still loads";
}
