#include "history/HistoryLog.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CancelCommand.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/TransStateQuery.h"
#include "registry/Ipv4.h"
#include "support/Emulators.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A 200 x 100 picture in the plainest format there is: enough for a thumbnail to be made.
QByteArray ppm() {
    QByteArray b = "P6\n200 100\n255\n";
    for (int i = 0; i < 200 * 100; ++i) {
        b += static_cast<char>(i % 200);
        b += static_cast<char>(i / 200);
        b += static_cast<char>(128);
    }
    return b;
}

ProjectorRecord listed(quint32 address) {
    ProjectorRecord r;
    r.name = QStringLiteral("Hall A");
    r.mac = QStringLiteral("00-1A-2B-3C-4D-5E");
    r.address = Ipv4::toOctets(address);
    r.authMark = QStringLiteral("1");
    r.password = QStringLiteral("s3cretWord");
    return r;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HistoryLogTest : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltCatalog(); }
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("history.sqlite"));
    Emulators m_emus;
};

} // namespace

TEST_F(HistoryLogTest, EveryRunOfAnObservedContextIsRecordedAndNoPasswordIsWritten) {
    EmulatorConfig config;
    config.authenticate = true;
    config.password = "s3cretWord";
    ProjectorEmulator* e = m_emus.add(config);
    ASSERT_NE(e, nullptr);
    const QString picture = m_dir.filePath(QStringLiteral("slide.qv1"));
    {
        QFile f(picture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ppm());
    }
    const QByteArray content = fileBytes(picture);
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());

    HistoryLog log(m_path, QStringLiteral("alice"));
    log.setProjectors({listed(e->address())});
    CommandContext context = FastContext();
    context.observer = &log;
    const CommandTarget target{e->address(), 1, QStringLiteral("s3cretWord")};
    const CommandTarget silent{Emulators::silentAddress(), 0, {}};

    ASSERT_EQ(UploadImage(picture, 2, target, context), UploadResult::Ok);
    ASSERT_EQ(UploadImageData("memory.qv1", content, 3, target, context), UploadResult::Ok);
    EXPECT_EQ(QueryStoreInfo(2, target, context).result, 2);
    EXPECT_EQ(QueryImageInfo(4, target, context).result, 0);
    EXPECT_EQ(QueryStoreState(2, target, context).result, 0);
    // Nothing is being sent into store 1, so the projector refuses: a failure on record.
    EXPECT_NE(CancelStoreTransmission(1, target, context).result, 0);
    EXPECT_EQ(QueryStoreInfo(1, silent, context).result, -1);
    // A run without the log in its context (the board's polls) leaves no trace.
    EXPECT_EQ(QueryStoreInfo(2, target, FastContext()).result, 2);
    log.store().flush();
    ASSERT_EQ(log.store().takeProblem(), HistoryProblem::None);

    HistoryFilter all;
    all.withThumbnails = true;
    const auto rows = HistoryStore::query(m_path, all);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 7);
    // Newest first; the runs went one after another.
    QStringList commands;
    for (auto it = rows->crbegin(); it != rows->crend(); ++it) {
        commands << it->command + QString::number(it->store);
        if (it->address == Ipv4::toText(e->address())) {
            EXPECT_EQ(it->projectorName, u"Hall A");
            EXPECT_EQ(it->mac, u"00-1A-2B-3C-4D-5E");
            EXPECT_EQ(it->ok, it->command != u"CANCEL")
                << it->command.toStdString() << ' ' << it->resultText.toStdString();
        }
        EXPECT_EQ(it->user, u"alice");
        EXPECT_FALSE(it->resultText.isEmpty());
        EXPECT_GE(it->tookMs, 0);
    }
    EXPECT_EQ(commands, QStringList({u"PUT2"_qs, u"PUT3"_qs, u"INFO2"_qs, u"INFO4"_qs, u"STAT2"_qs,
                                     u"CANCEL1"_qs, u"INFO1"_qs}));

    const HistoryRecord& fromFile = rows->at(6);
    EXPECT_EQ(fromFile.fileName, u"slide.qv1");
    EXPECT_EQ(fromFile.filePath, QFileInfo(picture).absoluteFilePath());
    EXPECT_EQ(fromFile.fileLength, content.size());
    EXPECT_EQ(fromFile.sha256, digest);
    EXPECT_FALSE(fromFile.thumbnail.isEmpty());
    const HistoryRecord& fromMemory = rows->at(5);
    EXPECT_EQ(fromMemory.fileName, u"memory.qv1");
    EXPECT_TRUE(fromMemory.filePath.isEmpty());
    EXPECT_EQ(fromMemory.fileLength, content.size());
    EXPECT_EQ(fromMemory.sha256, digest);
    EXPECT_EQ(fromMemory.thumbnail.left(8), fromFile.thumbnail.left(8)) << "a PNG, as from the file";
    EXPECT_FALSE(fromMemory.thumbnail.isEmpty());
    const HistoryRecord& failed = rows->at(0);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.result, -1);
    EXPECT_EQ(failed.address, Ipv4::toText(Emulators::silentAddress()));
    EXPECT_TRUE(failed.projectorName.isEmpty());
    EXPECT_EQ(failed.resultText, CatalogText(msg::ExplainRefused, {u"-102"_qs}));

    // The record's password appears nowhere in the history's files.
    const QByteArray secret = "s3cretWord";
    for (const QString& side : {QString(), u"-wal"_qs}) {
        EXPECT_FALSE(fileBytes(m_path + side).contains(secret)) << side.toStdString();
    }
}

TEST_F(HistoryLogTest, AHistoryThatCannotBeWrittenNeverStopsTheCommand) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    // A plain file where the history's folder should be.
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    HistoryLog log(blocker + QStringLiteral("/data/history.sqlite"));
    CommandContext context = FastContext();
    context.observer = &log;
    const CommandTarget target{e->address(), 0, {}};
    EXPECT_EQ(UploadImageData("a.qv1", ppm(), 1, target, context), UploadResult::Ok);
    EXPECT_EQ(QueryStoreInfo(1, target, context).result, 2);
    log.store().flush();
    EXPECT_EQ(log.store().takeProblem(), HistoryProblem::Unwritable);
    EXPECT_EQ(log.store().takeProblem(), HistoryProblem::None) << "told once";
    EXPECT_EQ(QueryStoreInfo(1, target, context).result, 2);
}

TEST_F(HistoryLogTest, NamesFollowTheListAndTheUserFollowsTheLogin) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    HistoryLog log(m_path);
    EXPECT_FALSE(HistoryLog::shellUser().isEmpty());
    CommandContext context = FastContext();
    context.observer = &log;
    const CommandTarget target{e->address(), 0, {}};
    EXPECT_EQ(QueryStoreState(1, target, context).result, 0);
    log.setUser(QStringLiteral("bob"));
    ProjectorRecord r = listed(e->address());
    r.name = QStringLiteral("Foyer");
    log.setProjectors({r});
    EXPECT_EQ(QueryStoreState(1, target, context).result, 0);
    log.store().flush();
    const auto rows = HistoryStore::query(m_path, {});
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 2);
    EXPECT_EQ(rows->at(1).user, HistoryLog::shellUser());
    EXPECT_TRUE(rows->at(1).projectorName.isEmpty());
    EXPECT_EQ(rows->at(0).user, u"bob");
    EXPECT_EQ(rows->at(0).projectorName, u"Foyer");
}
