#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CImageInfoDlg.h"
#include "registry/CProjectorTable.h"
#include "registry/Ipv4.h"
#include "support/CatalogFixture.h"

#include "support/Emulators.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Runs the window's Image Information on every row and answers its boxes.
class CommandHistory : public ::testing::Test {
protected:
    void SetUp() override {
        CMessageBox::setHandlerForTesting([this](QWidget*, const QString&, const QString& text,
                                                 CMessageBox::Icon, QMessageBox::StandardButtons) {
            m_boxes << text;
            return QMessageBox::Ok;
        });
        m_savedData = qgetenv("XDG_DATA_HOME");
    }
    void TearDown() override {
        CMessageBox::setHandlerForTesting(nullptr);
        qputenv("XDG_DATA_HOME", m_savedData);
    }
    static ProjectorRecord record(quint32 host) {
        ProjectorRecord r;
        r.name = QStringLiteral("Hall");
        r.mac = QStringLiteral("00-1a-2b-3c-4d-5e");
        r.address = Ipv4::toOctets(host);
        r.authMark = QStringLiteral("0");
        r.password = QStringLiteral("unused-secret");
        return r;
    }
    void runInfo(CMainFrame& frame) {
        CImageInfoDlg dlg(frame.projectorStore(), frame.commandObserver(), nullptr, FastContext());
        auto* table = dlg.projectorTable();
        table->selectRow(0);
        bool ended = false;
        QObject::connect(&dlg, &CStoreCommandDlg::runFinished, [&ended] { ended = true; });
        QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("getButton")), Qt::LeftButton);
        // The command runs off the interface thread; the dialog says when it is over.
        ASSERT_TRUE(QTest::qWaitFor([&ended] { return ended; }, 30000));
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(QStringLiteral("Tessavel.INI"));
    QByteArray m_savedData;
    QStringList m_boxes;
    Emulators m_emus{kWindowTestsFirstHost, kWindowTestsLastHost};
};

} // namespace

TEST_F(CommandHistory, TheWindowsRunsGoIntoTheHistoryWithTheUserWhoLoggedIn) {
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    frame.history().setUser(QStringLiteral("alice"));
    ASSERT_TRUE(frame.SaveProjectorList({record(e->address())}));
    runInfo(frame);
    ASSERT_EQ(m_boxes, QStringList{CatalogText(msg::StoreEmpty)});
    frame.history().store().flush();

    const auto rows = HistoryStore::query(HistoryStore::defaultPath(), {});
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1);
    EXPECT_EQ(rows->at(0).command, u"INFO");
    EXPECT_EQ(rows->at(0).user, u"alice");
    EXPECT_EQ(rows->at(0).projectorName, u"Hall");
    EXPECT_EQ(rows->at(0).address, Ipv4::toText(e->address()));
    EXPECT_TRUE(rows->at(0).ok);
    EXPECT_EQ(rows->at(0).resultText, CatalogText(msg::StoreEmpty));
}

TEST_F(CommandHistory, AHistoryThatCannotBeWrittenIsToldOnceAndTheCommandsRun) {
    // A plain file where the data folder should be: the history cannot be made.
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    qputenv("XDG_DATA_HOME", blocker.toLocal8Bit());
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(e->address())}));
    runInfo(frame);
    EXPECT_TRUE(m_boxes.contains(CatalogText(msg::StoreEmpty))) << "the command ran";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_boxes.contains(CatalogText(msg::HistoryWriteFailed)); }, 30000));
    runInfo(frame);
    frame.history().store().flush();
    // The news comes as a queued signal; let everything queued arrive.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes.count(CatalogText(msg::HistoryWriteFailed)), 1);
    EXPECT_EQ(m_boxes.count(CatalogText(msg::StoreEmpty)), 2);
}
