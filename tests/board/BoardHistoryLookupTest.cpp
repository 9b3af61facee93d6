#include "board/BoardHistoryLookup.h"

#include "history/HistoryStore.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {

HistoryRecord upload(const QString& address, int store, const QString& file, qint64 length,
                     const QByteArray& thumb, int secondsAgo, bool ok = true,
                     const QString& command = u"PUT"_qs) {
    HistoryRecord r;
    r.time = QDateTime::currentDateTimeUtc().addSecs(-secondsAgo);
    r.user = u"operator"_qs;
    r.address = address;
    r.command = command;
    r.store = store;
    r.fileName = file;
    r.fileLength = length;
    r.thumbnail = thumb;
    r.ok = ok;
    return r;
}

BoardStore holding(const QString& name, const QString& length) {
    BoardStore s;
    s.result = 2;
    s.fileName = name;
    s.length = length;
    return s;
}

class BoardHistoryLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        HistoryStore store(path);
        store.append(upload(u"127.0.0.9"_qs, 1, u"hall.qv1"_qs, 5000, "old", 60));
        store.append(upload(u"127.0.0.9"_qs, 1, u"hall.qv1"_qs, 5000, "new", 50));
        store.append(upload(u"127.0.0.9"_qs, 1, u"hall.qv1"_qs, 5000, "failed", 40, false));
        store.append(upload(u"127.0.0.9"_qs, 1, u"hall.qv1"_qs, 5000, "info", 30, true, u"INFO"_qs));
        store.append(upload(u"127.0.0.8"_qs, 2, u"lobby.qv1"_qs, 700, "elsewhere", 20));
        store.append(upload(u"127.0.0.9"_qs, 3, u"lobby.qv1"_qs, 700, "store 3", 10));
        store.flush();
    }

    QTemporaryDir dir;
    QString path = dir.filePath(u"history.sqlite"_qs);
};

} // namespace

TEST_F(BoardHistoryLookupTest, MatchesNameLengthStoreAndProjectorOfTheNewestGoodUpload) {
    BoardRow row;
    row.address = 0x7F000009u;
    row.stores[0] = holding(u"hall.qv1"_qs, u"5000"_qs); // sent, twice: the newer one
    row.stores[1] = holding(u"lobby.qv1"_qs, u"700"_qs); // sent to another projector only
    row.stores[2] = holding(u"lobby.qv1"_qs, u"701"_qs); // the length differs
    row.stores[3].result = 1;                            // empty
    const BoardPictures p = BoardHistoryLookup::find(path, row);
    EXPECT_TRUE(p[0].found);
    EXPECT_EQ(p[0].thumbnail, "new");
    EXPECT_EQ(p[0].sentBy, u"operator");
    EXPECT_EQ(p[0].fileName, u"hall.qv1");
    EXPECT_FALSE(p[1].found);
    EXPECT_TRUE(p[1].thumbnail.isEmpty());
    EXPECT_FALSE(p[2].found);
    EXPECT_FALSE(p[3].found);

    row.stores[2] = holding(u"lobby.qv1"_qs, u"700"_qs);
    row.stores[0] = holding(u"hall.qv1"_qs, u"5e3"_qs); // not a plain length: no match, no guess
    const BoardPictures q = BoardHistoryLookup::find(path, row);
    EXPECT_TRUE(q[2].found);
    EXPECT_EQ(q[2].thumbnail, "store 3");
    EXPECT_FALSE(q[0].found);
}

TEST_F(BoardHistoryLookupTest, AMissingOrDamagedHistoryFindsNothing) {
    BoardRow row;
    row.address = 0x7F000009u;
    row.stores[0] = holding(u"hall.qv1"_qs, u"5000"_qs);
    EXPECT_FALSE(BoardHistoryLookup::find(dir.filePath(u"none.sqlite"_qs), row)[0].found);
    QFile junk(dir.filePath(u"junk.sqlite"_qs));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'j'));
    junk.close();
    EXPECT_FALSE(BoardHistoryLookup::find(junk.fileName(), row)[0].found);
}

TEST_F(BoardHistoryLookupTest, AnswersOffTheCallingThreadWithTheLatestRequest) {
    BoardHistoryLookup lookup(path);
    QList<std::pair<quint32, BoardPictures>> answers;
    QObject::connect(&lookup, &BoardHistoryLookup::found, [&](quint32 a, const BoardPictures& p) {
        answers.append({a, p});
    });
    BoardRow row;
    row.address = 0x7F000009u;
    row.stores[0] = holding(u"hall.qv1"_qs, u"5000"_qs);
    lookup.lookUp(row);
    const QDeadlineTimer deadline(30000);
    while (answers.isEmpty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(answers[0].first, 0x7F000009u);
    EXPECT_EQ(answers[0].second[0].thumbnail, "new");
}
