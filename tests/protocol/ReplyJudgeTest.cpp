#include "protocol/ReplyJudge.h"
#include "i18n/CatalogIds.h"
#include "protocol/ReplyLine.h"

#include <gtest/gtest.h>

using namespace ReplyJudge;

TEST(GetReplyLine, LinesCarriageReturnsAndBeyond) {
    const QByteArray r = "STAT 0\r\nA\r\nB\r\n";
    EXPECT_EQ(GetReplyLine(r, 1), "STAT 0");
    EXPECT_EQ(GetReplyLine(r, 2), "A");
    EXPECT_EQ(GetReplyLine(r, 3), "B");
    EXPECT_EQ(GetReplyLine(r, 4), "");
    EXPECT_EQ(GetReplyLine(r, 9), "");
    EXPECT_EQ(GetReplyLine(r, 0), "");
    // Carriage returns inside the line are dropped; a last line without line feed counts.
    EXPECT_EQ(GetReplyLine("a\rb\rc\nlast", 1), "abc");
    EXPECT_EQ(GetReplyLine("a\rb\rc\nlast", 2), "last");
    // The text ends at its first zero byte.
    EXPECT_EQ(GetReplyLine(QByteArray("one\0two\nthree", 13), 2), "");
    EXPECT_EQ(GetReplyLine(QByteArray(600, 'x'), 1).size(), 255);
}

TEST(JudgePut, OnlyTheFiveExactTexts) {
    EXPECT_EQ(judgePut("PUT 0\r\n"), 0);
    EXPECT_EQ(judgePut("PUT 1\r\n"), -10);
    EXPECT_EQ(judgePut("PUT 2\r\n"), -11);
    EXPECT_EQ(judgePut("PUT 3\r\n"), -12);
    EXPECT_EQ(judgePut("PUT 9\r\n"), -13);
    EXPECT_EQ(judgePut("PUT 5\r\n"), -14);
    EXPECT_EQ(judgePut("PUT 0\r\nextra"), -14);
    EXPECT_EQ(judgePut("PUT 0\n"), -14);
    EXPECT_EQ(judgePut("PUT 0\r"), -14);
    EXPECT_EQ(judgePut("put 0\r\n"), -14);
    EXPECT_EQ(judgePut(""), -14);
    // The zero that ends the reply buffer's text ends it here too.
    EXPECT_EQ(judgePut(QByteArray("PUT 0\r\n\0junk", 12)), 0);
}

TEST(JudgeCancel, WholeReplyComparedWithItsTable) {
    EXPECT_EQ(judgeCancel("CANCEL 0\r\n").result, 0);
    EXPECT_EQ(judgeCancel("CANCEL 0\r\n").text, msg::CancelSucceeded);
    EXPECT_EQ(judgeCancel("CANCEL 1\r\n").text, msg::CommandRejected);
    EXPECT_EQ(judgeCancel("CANCEL 2\r\n").text, msg::CancelRefused);
    EXPECT_EQ(judgeCancel("CANCEL 3\r\n").text, msg::ProjectorBusy);
    // CANCEL 8 shares its text with a reply that does not come in time.
    EXPECT_EQ(judgeCancel("CANCEL 8\r\n").text, msg::ReplyTimeout);
    for (const char* bad : {"CANCEL 0\n", "CANCEL 0\r\nmore", "CANCEL 9\r\n", "CANCEL 0", ""}) {
        EXPECT_EQ(judgeCancel(bad).result, -1) << bad;
        EXPECT_EQ(judgeCancel(bad).text, msg::ReplyNotUnderstood) << bad;
    }
    EXPECT_EQ(judgeCancel("CANCEL 1\r\n").result, -1);
}

TEST(JudgeInfo, EmptyStoreImageAndFailures) {
    const auto empty = judgeInfo("INFO 0\r\nFile-Name:EMPTY\r\nFile-Length:0\r\n");
    EXPECT_EQ(empty.kind, InfoVerdict::Kind::Empty);
    EXPECT_EQ(empty.text, msg::StoreEmpty);
    // One byte more is no longer the empty store: an image called EMPTY.
    const auto notEmpty = judgeInfo("INFO 0\r\nFile-Name:EMPTY\r\nFile-Length:0\r\nx");
    EXPECT_EQ(notEmpty.kind, InfoVerdict::Kind::Image);
    EXPECT_EQ(notEmpty.fileName, QByteArray("EMPTY"));
    EXPECT_EQ(notEmpty.lengthText, QByteArray("0"));

    const auto img = judgeInfo("INFO 0\r\nFile-Name:img.qv1\r\nFile-Length:1000\r\n");
    EXPECT_EQ(img.kind, InfoVerdict::Kind::Image);
    EXPECT_EQ(img.body, "File-Name:img.qv1\r\nFile-Length:1000\r\n");
    EXPECT_EQ(img.fileName, QByteArray("img.qv1"));
    EXPECT_EQ(img.lengthText, QByteArray("1000"));
    // Positions decide, the key words are not checked.
    const auto keys = judgeInfo("INFO 0\r\nXXXXXXXXXXa.qv1\r\nYYYYYYYYYYYY77\r\n");
    EXPECT_EQ(keys.fileName, QByteArray("a.qv1"));
    EXPECT_EQ(keys.lengthText, QByteArray("77"));
    // A body without its carriage returns names nothing.
    const auto bare = judgeInfo("INFO 0\r\nFile-Name:a.qv1");
    EXPECT_EQ(bare.kind, InfoVerdict::Kind::Image);
    EXPECT_FALSE(bare.fileName.has_value());

    EXPECT_EQ(judgeInfo("INFO 1\r\n").text, msg::CommandRejected);
    EXPECT_EQ(judgeInfo("INFO 2\r\n").text, msg::StoreInfoUnreadable);
    EXPECT_EQ(judgeInfo("INFO 3\r\n").text, msg::ProjectorBusy);
    EXPECT_EQ(judgeInfo("INFO 8\r\n").text, msg::ReplyTimeout);
    EXPECT_EQ(judgeInfo("INFO 9\r\n").text, msg::AccessDenied);
    EXPECT_EQ(judgeInfo("INFO 0 \r\n").text, msg::ReplyNotUnderstood);
    EXPECT_EQ(judgeInfo("INFO 0 \r\n").kind, InfoVerdict::Kind::Failed);
    EXPECT_EQ(judgeInfo("garbage").text, msg::ReplyNotUnderstood);
}

TEST(JudgeStat, StateDigitOnLineThree) {
    const auto s3 = judgeStat("STAT 0\r\nSave-ID:1\r\nStatus:3\r\n");
    EXPECT_TRUE(s3.ok);
    EXPECT_EQ(s3.body, "Save-ID:1\r\nStatus:3\r\n");
    EXPECT_EQ(s3.state, msg::TransStateStoring);
    const CatalogId all[] = {msg::TransStateIdle,    msg::TransStateWaiting,   msg::TransStateReceiving,
                             msg::TransStateStoring, msg::TransStateCompleted, msg::TransStateFailed};
    for (int d = 0; d <= 5; ++d) {
        EXPECT_EQ(judgeStat("STAT 0\r\nA\r\nStatus:" + QByteArray::number(d) + "\r\n").state, all[d]);
    }
    EXPECT_FALSE(judgeStat("STAT 0\r\nA\r\nStatus:x\r\n").state.has_value());
    EXPECT_TRUE(judgeStat("STAT 0\r\nA\r\nStatus:x\r\n").ok);
    EXPECT_FALSE(judgeStat("STAT 0\r\nA\r\nShort\r\n").state.has_value());
    const auto bare = judgeStat("STAT 0\r\n");
    EXPECT_TRUE(bare.ok);
    EXPECT_FALSE(bare.state.has_value());
    EXPECT_EQ(judgeStat("STAT 1\r\n").text, msg::StateUnavailable);
    EXPECT_EQ(judgeStat("STAT 9\r\n").text, msg::AccessDenied);
    EXPECT_EQ(judgeStat("STAT 2\r\n").text, msg::ReplyNotUnderstood);
    EXPECT_FALSE(judgeStat("STAT 2\r\n").ok);
}

TEST(ReplyCompleteness, EachCommandWaitsForItsLines) {
    EXPECT_FALSE(isComplete(CommandKind::Put, "PUT 0\r"));
    EXPECT_TRUE(isComplete(CommandKind::Put, "PUT 0\r\n"));
    EXPECT_TRUE(isComplete(CommandKind::Cancel, "CANCEL 5\n"));
    EXPECT_FALSE(isComplete(CommandKind::Cancel, "CANCEL 0"));
    // INFO: a failure line is whole at once, a success needs its two body lines.
    EXPECT_TRUE(isComplete(CommandKind::Info, "INFO 1\r\n"));
    EXPECT_FALSE(isComplete(CommandKind::Info, "INFO 0\r\n"));
    EXPECT_FALSE(isComplete(CommandKind::Info, "INFO 0\r\nFile-Name:a\r\n"));
    EXPECT_FALSE(isComplete(CommandKind::Info, "INFO 0\r\nFile-Name:a\r\nFile-Length:1"));
    EXPECT_TRUE(isComplete(CommandKind::Info, "INFO 0\r\nFile-Name:a\r\nFile-Length:1\r\n"));
    // STAT: line 3 carries the state.
    EXPECT_TRUE(isComplete(CommandKind::Stat, "STAT 9\r\n"));
    EXPECT_FALSE(isComplete(CommandKind::Stat, "STAT 0\r\nA\r\n"));
    EXPECT_TRUE(isComplete(CommandKind::Stat, "STAT 0\r\nA\r\nStatus:1\r\n"));
    // A zero byte ends the text; a full buffer ends the read.
    EXPECT_TRUE(isComplete(CommandKind::Stat, QByteArray("STAT 0\r\n\0", 9)));
    EXPECT_TRUE(isComplete(CommandKind::Put, QByteArray(1024, 'x')));
    EXPECT_FALSE(isComplete(CommandKind::Put, QByteArray(1023, 'x')));
}

TEST(ReplyLineText, EndsAtFirstZero) {
    EXPECT_EQ(ReplyLine::text(QByteArray("ab\0cd", 5)), "ab");
    EXPECT_EQ(ReplyLine::text("abc"), "abc");
}
