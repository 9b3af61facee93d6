#include "alerts/AlertCenter.h"
#include "alerts/CAlertNotifier.h"
#include "alerts/CAlertsDlg.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandObserver.h"
#include "support/Emulators.h"
#include "support/HostileStrings.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Addresses only named here, never dialled: 127.0.12.41-42.
constexpr quint32 kHall = 0x7F000C29u;
constexpr quint32 kLobby = 0x7F000C2Au;

CommandEvent heard(quint32 address, bool answered) {
    CommandEvent e;
    e.command = QStringLiteral("STAT");
    e.address = address;
    e.answered = answered;
    e.ok = answered;
    e.text = answered ? QString() : QStringLiteral("could not connect");
    return e;
}

class AlertsDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseBuiltCatalog();
        ASSERT_TRUE(dir.isValid());
        center = std::make_unique<AlertCenter>(
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat));
        QObject::connect(center.get(), &AlertCenter::alertRaised, [this] { ++raised; });
    }

    QTemporaryDir dir;
    std::unique_ptr<AlertCenter> center;
    int raised = 0;
    int boardMinutes = 0;
};

} // namespace

TEST_F(AlertsDlgTest, ListShowsNewAlertsOnTopAndWhenTheyCleared) {
    const QString hostile = HostileStrings().front().text;
    center->setProjectors({TestProjector(hostile, kHall), TestProjector(u"Lobby"_qs, kLobby)});
    center->setAlertSeconds(1);
    CAlertsDlg dlg(*center, {[this] { return boardMinutes; }, [this] { boardMinutes = 5; }});
    dlg.show();
    QTableWidget* table = dlg.table();
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_FALSE(table->accessibleName().isEmpty());
    EXPECT_EQ(dlg.findChild<QSpinBox*>(QStringLiteral("alertSeconds"))->value(), 1);

    center->noteCommand(heard(kHall, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 20000));
    ASSERT_EQ(table->rowCount(), 1);
    // Outside text stays as it came: no markup is read from a projector's name.
    EXPECT_EQ(table->item(0, CAlertsDlg::ProjectorColumn)->text(), hostile);
    EXPECT_EQ(table->item(0, CAlertsDlg::WhatColumn)->text(),
              CatalogText(msg::AlertOfflineWhy, {u"could not connect"_qs}));
    EXPECT_EQ(table->item(0, CAlertsDlg::ClearedColumn)->text(), CatalogText(msg::AlertsStillHolds));
    EXPECT_FALSE(table->item(0, CAlertsDlg::TimeColumn)->text().isEmpty());

    center->noteCommand(heard(kLobby, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return raised == 2; }, 20000));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, CAlertsDlg::ProjectorColumn)->text(), u"Lobby");

    center->noteCommand(heard(kHall, true));
    EXPECT_EQ(table->rowCount(), 2);
    const QString cleared = table->item(1, CAlertsDlg::ClearedColumn)->text();
    EXPECT_NE(cleared, CatalogText(msg::AlertsStillHolds));
    EXPECT_EQ(cleared.size(), table->item(1, CAlertsDlg::TimeColumn)->text().size());
    EXPECT_EQ(table->item(0, CAlertsDlg::ClearedColumn)->text(), CatalogText(msg::AlertsStillHolds));

    // A list opened later shows what happened before it, newest first.
    CAlertsDlg later(*center, {});
    ASSERT_EQ(later.table()->rowCount(), 2);
    EXPECT_EQ(later.table()->item(0, CAlertsDlg::ProjectorColumn)->text(), u"Lobby");
    EXPECT_EQ(later.table()->item(1, CAlertsDlg::ClearedColumn)->text(), cleared);
}

TEST_F(AlertsDlgTest, SaysWhenTheBoardDoesNotRefreshAndTurnsItOn) {
    CAlertsDlg dlg(*center, {[this] { return boardMinutes; }, [this] { boardMinutes = 5; }});
    dlg.show();
    auto* note = dlg.findChild<QLabel*>(QStringLiteral("alertsBoardNote"));
    auto* turnOn = dlg.findChild<QPushButton*>(QStringLiteral("alertsTurnOnRefresh"));
    ASSERT_TRUE(note && turnOn);
    EXPECT_EQ(note->text(), CatalogText(msg::AlertsBoardOff));
    EXPECT_TRUE(turnOn->isVisible());
    QTest::mouseClick(turnOn, Qt::LeftButton);
    EXPECT_EQ(boardMinutes, 5);
    EXPECT_EQ(note->text(), CatalogText(msg::AlertsBoardOn, {u"5"_qs}));
    EXPECT_FALSE(turnOn->isVisible());
}

TEST_F(AlertsDlgTest, AlertTimeEditedInTheListIsKept) {
    CAlertsDlg dlg(*center, {});
    auto* seconds = dlg.findChild<QSpinBox*>(QStringLiteral("alertSeconds"));
    ASSERT_NE(seconds, nullptr);
    EXPECT_EQ(seconds->value(), AlertCenter::kDefaultAlertSeconds);
    seconds->setValue(45);
    EXPECT_EQ(center->alertSeconds(), 45);
    QSettings stored(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("alerts/offlineAfterSeconds")).toInt(), 45);
}

TEST_F(AlertsDlgTest, TrayTextFollowsWhetherEveryProjectorAnswers) {
    center->setProjectors({TestProjector(u"Hall"_qs, kHall), TestProjector(u"Lobby"_qs, kLobby)});
    CAlertNotifier notifier(*center);
    EXPECT_FALSE(notifier.trayWarns());
    EXPECT_EQ(notifier.trayText(), CatalogText(msg::TrayAllAnswer));
    center->noteCommand(heard(kHall, false));
    center->noteCommand(heard(kLobby, false));
    EXPECT_TRUE(notifier.trayWarns());
    EXPECT_EQ(notifier.trayText(), CatalogText(msg::TraySomeSilent, {u"2"_qs}));
    center->noteCommand(heard(kHall, true));
    center->noteCommand(heard(kLobby, true));
    EXPECT_FALSE(notifier.trayWarns());
    EXPECT_EQ(notifier.trayText(), CatalogText(msg::TrayAllAnswer));
}
