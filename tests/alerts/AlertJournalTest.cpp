#include "alerts/AlertJournal.h"
#include "support/Emulators.h"
#include "support/HostileStrings.h"

#include <gtest/gtest.h>

namespace {

Alert alertOf(Alert::Kind kind, int store = 0) {
    Alert a;
    a.id = 12;
    a.kind = kind;
    a.address = 0x7F000D07u; // 127.0.13.7
    a.projector = u"Lobby"_qs;
    a.store = store;
    a.detail = u"pic.qv1: no answer"_qs;
    a.raised = QDateTime::currentDateTime();
    return a;
}

class Journal : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltCatalog(); }
};

} // namespace

TEST_F(Journal, EachAlertIsOneLineLedByThePriorityTheJournalReads) {
    EXPECT_EQ(AlertJournal::line(alertOf(Alert::Kind::Offline), true),
              u"<3>Alert 12 raised (Offline, 127.0.13.7): Lobby stopped answering: pic.qv1: no answer");
    EXPECT_EQ(AlertJournal::line(alertOf(Alert::Kind::UploadFailed, 3), true),
              u"<3>Alert 12 raised (Upload failed, 127.0.13.7): A scheduled upload to Lobby, store 3, failed "
              u"after its retries: pic.qv1: no answer");
    EXPECT_TRUE(AlertJournal::line(alertOf(Alert::Kind::StoreChanged, 2), true)
                    .startsWith(u"<4>Alert 12 raised (Store changed, 127.0.13.7): "));
    Alert cleared = alertOf(Alert::Kind::UploadFailed, 3);
    cleared.cleared = cleared.raised.addSecs(60);
    EXPECT_EQ(AlertJournal::line(cleared, false),
              u"<5>Alert 12 cleared (Upload failed, 127.0.13.7): Uploads to Lobby, store 3, succeed again.");
    EXPECT_TRUE(
        AlertJournal::line(alertOf(Alert::Kind::StoreChanged, 2), false).startsWith(u"<5>Alert 12 cleared"));
    EXPECT_EQ(AlertJournal::line(alertOf(Alert::Kind::Offline), false),
              u"<5>Alert 12 cleared (Offline, 127.0.13.7): Lobby answers again.");
    EXPECT_EQ(AlertJournal::warning(u"hook failed"_qs), u"<4>hook failed");
}

TEST_F(Journal, OutsideTextCannotBreakTheLineOrForgeAPriority) {
    for (const HostileString& h : HostileStrings()) {
        for (Alert::Kind kind :
             {Alert::Kind::Offline, Alert::Kind::UploadFailed, Alert::Kind::StoreChanged}) {
            Alert a = alertOf(kind, kind == Alert::Kind::Offline ? 0 : 1);
            a.projector = h.text;
            a.detail = h.text + u"\n<0>forged"_qs;
            for (bool raised : {true, false}) {
                const QString line = AlertJournal::line(a, raised);
                SCOPED_TRACE(h.what);
                EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r') || line.contains(u'\u2028'))
                    << line.toStdString();
                EXPECT_TRUE(line.contains(h.shown)) << line.toStdString();
                for (QChar c : line) {
                    EXPECT_FALSE(c.category() == QChar::Other_Control) << line.toStdString();
                }
                EXPECT_EQ(line.left(3), u'<' + QString::number(AlertJournal::priority(a, raised)) + u'>');
                EXPECT_FALSE(line.mid(3).contains(u"\n<0>")) << line.toStdString();
            }
        }
    }
    const QString warning = AlertJournal::warning(u"exit\r\n<0>status \u202Eevil"_qs);
    EXPECT_EQ(warning, u"<4>exit\\u000D\\u000A<0>status \\u202Eevil");
}
