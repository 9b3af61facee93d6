#include "history/HistoryTableModel.h"
#include "common/SpreadsheetCell.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "registry/ProjectorCsv.h"

#include "support/CatalogFixture.h"
#include "support/HostileStrings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

HistoryRecord make(const QString& address, const QString& command, bool ok, qint64 secondsAgo,
                   const QString& text) {
    HistoryRecord r;
    r.time = QDateTime::currentDateTimeUtc().addSecs(-secondsAgo);
    r.address = address;
    r.command = command;
    r.ok = ok;
    r.result = ok ? 0 : 3;
    r.resultText = text;
    r.projectorName = QStringLiteral("Hall, \"east\"");
    return r;
}

HistoryRecords sample() {
    return {make(QStringLiteral("127.0.0.10"), QStringLiteral("PUT"), true, 10, QStringLiteral("sent")),
            make(QStringLiteral("127.0.0.9"), QStringLiteral("INFO"), false, 20, QStringLiteral("no answer")),
            make(QStringLiteral("127.0.0.10"), QStringLiteral("PUT"), false, 3 * 86400,
                 QStringLiteral("refused"))};
}

} // namespace

TEST(HistoryTableModelTest, FiltersByProjectorCommandOutcomeAndDate) {
    ShippedCatalog catalog;
    HistoryTableModel model;
    model.setRecords(sample());
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.addresses(), (QStringList{u"127.0.0.9"_qs, u"127.0.0.10"_qs})) << "numeric order";
    EXPECT_EQ(model.commands(), (QStringList{u"INFO"_qs, u"PUT"_qs}));

    HistoryFilter f;
    f.address = QStringLiteral("127.0.0.10");
    model.setFilter(f);
    EXPECT_EQ(model.rowCount(), 2);
    f.outcome = HistoryFilter::Outcome::Failed;
    model.setFilter(f);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.recordAt(0).resultText, u"refused");
    f = {};
    f.since = QDateTime::currentDateTimeUtc().addDays(-1);
    f.command = QStringLiteral("INFO");
    model.setFilter(f);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, HistoryTableModel::Address)).toString(), u"127.0.0.9");
    EXPECT_EQ(model.data(model.index(0, HistoryTableModel::Result)).toString(), u"no answer (3)");
    f = {};
    f.until = QDateTime::currentDateTimeUtc().addDays(-1);
    model.setFilter(f);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.headerData(HistoryTableModel::Time, Qt::Horizontal).toString(),
              CatalogText(msg::HistoryColumnTime));
}

TEST(HistoryTableModelTest, CsvHoldsExactlyWhatIsShownQuotedWhereNeeded) {
    ShippedCatalog catalog;
    HistoryTableModel model;
    model.setRecords(sample());
    HistoryFilter f;
    f.outcome = HistoryFilter::Outcome::Failed;
    model.setFilter(f);
    const QString csv = QString::fromUtf8(model.toCsv());
    const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << csv.toStdString();
    EXPECT_TRUE(lines[0].startsWith(CatalogText(msg::HistoryColumnTime) + u',')) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(u",\"Hall, \"\"east\"\"\",127.0.0.9,INFO,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(u"refused (3)"));
    EXPECT_FALSE(csv.contains(u"sent (0)")) << "a filtered-out record is not exported";
}

TEST(HistoryTableModelTest, HostileTextIsShownVisiblyAndExportedWithoutFormulas) {
    ShippedCatalog catalog;
    HistoryRecords records;
    for (const HostileString& h : HostileStrings()) {
        HistoryRecord r = make(QStringLiteral("127.0.0.10"), QStringLiteral("PUT"), true, 10, h.text);
        r.projectorName = h.text;
        r.user = h.text;
        r.fileName = h.text;
        r.filePath = u"/tmp/"_qs + h.text;
        records << r;
    }
    HistoryTableModel model;
    model.setRecords(records);
    ASSERT_EQ(model.rowCount(), static_cast<int>(HostileStrings().size()));
    for (int row = 0; row < model.rowCount(); ++row) {
        const HistoryRecord& r = model.recordAt(row);
        const auto& h = *std::find_if(HostileStrings().begin(), HostileStrings().end(),
                                      [&r](const HostileString& s) { return s.text == r.projectorName; });
        for (const int column :
             {HistoryTableModel::Projector, HistoryTableModel::User, HistoryTableModel::File}) {
            EXPECT_EQ(model.data(model.index(row, column)).toString(), h.shown) << h.what;
        }
        const QString tip = model.data(model.index(row, HistoryTableModel::File), Qt::ToolTipRole).toString();
        EXPECT_EQ(tip, VisibleText::toolTip(r.filePath)) << h.what;
        EXPECT_FALSE(tip.contains(u"<b>") || tip.contains(u"<img") || tip.contains(u"<i>")) << h.what;
    }

    const QList<QStringList> rows = ProjectorCsv::splitRows(QString::fromUtf8(model.toCsv()));
    ASSERT_EQ(rows.size(), model.rowCount() + 1);
    for (int row = 0; row < model.rowCount(); ++row) {
        const QStringList& cells = rows[row + 1];
        ASSERT_EQ(cells.size(), HistoryTableModel::ColumnCount + 1);
        for (const QString& cell : cells) {
            const QChar first = cell.isEmpty() ? QChar() : cell.front();
            EXPECT_FALSE(first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
                         first == u'\r')
                << qPrintable(cell);
        }
        // The file holds the text itself, not the escapes the window shows.
        const HistoryRecord& r = model.recordAt(row);
        EXPECT_EQ(SpreadsheetCell::unguarded(cells[HistoryTableModel::Projector]), r.projectorName);
        EXPECT_EQ(SpreadsheetCell::unguarded(cells[HistoryTableModel::User]), r.user);
        EXPECT_EQ(SpreadsheetCell::unguarded(cells[HistoryTableModel::File]), r.fileName);
    }
}
