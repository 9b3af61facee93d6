#include "app/CommandIds.h"
#include "app/LoginLoop.h"
#include "app/MenuLayout.h"
#include "i18n/CatalogIds.h"
#include "i18n/ImagingTextTable.h"
#include "support/CatalogFixture.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

struct ScriptedLogin {
    explicit ScriptedLogin(QList<int> r) : results(std::move(r)) {}
    QList<int> results;
    int showings = 0;
    int userConfigs = 0;
    bool toolPresent = true;
    QList<CatalogId> stops;

    LoginLoop::Outcome run() {
        LoginLoop loop({[this] { return results.value(showings++, 0); }, [this] { ++userConfigs; },
                        [this] { return toolPresent; }, [this](CatalogId id) { stops << id; }});
        return loop.run();
    }
};

} // namespace

TEST(LoginLoopTest, Outcomes) {
    ScriptedLogin ok({1});
    EXPECT_EQ(ok.run(), LoginLoop::Outcome::LoggedIn);
    EXPECT_EQ(ok.showings, 1);

    ScriptedLogin cancel({0, 2});
    EXPECT_EQ(cancel.run(), LoginLoop::Outcome::Cancelled);
    EXPECT_TRUE(cancel.stops.isEmpty());

    ScriptedLogin secondTime({4, 1});
    EXPECT_EQ(secondTime.run(), LoginLoop::Outcome::LoggedIn);
    EXPECT_EQ(secondTime.showings, 2);

    ScriptedLogin threeFailures({0, 7, -1, 1});
    EXPECT_EQ(threeFailures.run(), LoginLoop::Outcome::Refused);
    EXPECT_EQ(threeFailures.showings, 3) << "at most three showings";
    EXPECT_EQ(threeFailures.stops, QList<CatalogId>{msg::LoginFailedThreeTimes});
}

TEST(LoginLoopTest, UserAdministrationCountsAsAnAttempt) {
    ScriptedLogin admin({3, 3, 3});
    EXPECT_EQ(admin.run(), LoginLoop::Outcome::Refused);
    EXPECT_EQ(admin.userConfigs, 3);
    EXPECT_EQ(admin.stops, QList<CatalogId>{msg::LoginFailedThreeTimes});

    ScriptedLogin noTool({3});
    noTool.toolPresent = false;
    EXPECT_EQ(noTool.run(), LoginLoop::Outcome::Refused);
    EXPECT_EQ(noTool.userConfigs, 0);
    EXPECT_EQ(noTool.stops, QList<CatalogId>{msg::UserToolMissing});

    ScriptedLogin thenIn({3, 1});
    EXPECT_EQ(thenIn.run(), LoginLoop::Outcome::LoggedIn);
    EXPECT_EQ(thenIn.userConfigs, 1);
}

TEST(MenuLayoutTest, PromptsComeFromGroup53UnlessNumberless) {
    ShippedCatalog catalog;
    const auto list = MenuLayout::promptFor(Cmd::ProjectorList);
    EXPECT_EQ(list.statusTip, CatalogText(53, 27));
    EXPECT_EQ(list.toolTip, CatalogText(53, 27));
    EXPECT_NE(list.statusTip, kNoMessageCatalog);
    // Setting and Save once showed fixed English; they are catalog texts in every language.
    const auto setting = MenuLayout::promptFor(Cmd::Setting);
    EXPECT_EQ(setting.statusTip, CatalogText(msg::PromptSetting));
    EXPECT_EQ(setting.toolTip, CatalogText(msg::PromptSetting));
    const auto save = MenuLayout::promptFor(Cmd::FileSave);
    EXPECT_EQ(save.statusTip, CatalogText(msg::PromptSave));
    EXPECT_EQ(save.toolTip, CatalogText(msg::PromptSave));
    EXPECT_EQ(MenuLayout::promptFor(Cmd::Undo).statusTip, CatalogText(53, 43));
    EXPECT_EQ(MenuLayout::promptFor(Cmd::Redo).statusTip, CatalogText(msg::PromptRedo));
    EXPECT_TRUE(MenuLayout::promptFor(Cmd::UserEdit).statusTip.isEmpty());
}

TEST(MenuLayoutTest, MainMenuMatchesTheLayout) {
    const auto& menu = MenuLayout::mainMenu();
    ASSERT_EQ(menu.size(), 4);
    EXPECT_EQ(menu[0].title, msg::MenuFile);
    EXPECT_EQ(menu[0].items[3].id, Cmd::UserEdit);
    EXPECT_EQ(menu[0].items[3].text, msg::MenuUserEdit);
    EXPECT_EQ(menu[0].items[4].id, 0);
    EXPECT_EQ(menu[1].items.size(), 9);
    EXPECT_EQ(menu[1].items[1].id, Cmd::Redo) << "Redo follows Undo";
    EXPECT_EQ(menu[1].items[1].text, msg::MenuRedo);
    EXPECT_EQ(menu[1].items.last().id, Cmd::FitToProjector);
    EXPECT_EQ(menu[2].items.size(), 9);
    EXPECT_EQ(MenuLayout::toolbar().size(), 13);
    EXPECT_EQ(MenuLayout::accelerators().size(), 6) << "Redo has two keys";
}

TEST(ImagingTextTableTest, RowsAndFill) {
    const auto& rows = ImagingTextRows();
    ASSERT_EQ(rows.size(), 153);
    int group7 = 0, group9 = 0, literals = 0;
    for (const auto& r : rows) {
        group7 += r.group == 7;
        group9 += r.group == 9;
        literals += r.literal != nullptr;
    }
    EXPECT_EQ(group7, 11);
    EXPECT_EQ(group9, 112);
    EXPECT_EQ(literals, 30);
    EXPECT_EQ(rows.first().index, 1);
    EXPECT_EQ(rows.first().group, 7u);
    EXPECT_EQ(rows.first().number, 10u);
    EXPECT_EQ(rows.last().index, 1297);
    EXPECT_EQ(rows.last().number, 212u);

    {
        ShippedCatalog none(ShippedCatalog::Which::None);
        ImagingTextStore store;
        FillImagingDialogTexts(store);
        EXPECT_EQ(store.text(839), kNoMessageCatalog);
        EXPECT_EQ(store.text(971), u"Replase");
        EXPECT_EQ(store.text(3930), u"LosslessJPEG");
        EXPECT_EQ(store.text(3932), u"LossLessJPEG");
        EXPECT_EQ(store.text(874), u"Form %s\n to %s");
        EXPECT_EQ(store.text(873), u"Abort");
        EXPECT_EQ(store.text(876), u"Abort");
    }
    ShippedCatalog catalog;
    ImagingTextStore store;
    FillImagingDialogTexts(store);
    EXPECT_EQ(store.text(839), CatalogText(9, 129));
    EXPECT_EQ(store.text(840), CatalogText(9, 129));
    EXPECT_EQ(store.text(0), CatalogText(9, 302));
    EXPECT_EQ(store.text(859), CatalogText(9, 135));
    EXPECT_EQ(store.text(1412), CatalogText(9, 174));
    EXPECT_NE(store.text(1412), kNoMessageCatalog);
}
