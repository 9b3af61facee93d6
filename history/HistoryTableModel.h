#pragma once

#include "history/HistoryRecord.h"

#include <QAbstractTableModel>

#include <vector>

// The History window's table: every record read, of which those the filter lets through show.
class HistoryTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Time,
        User,
        Projector,
        Address,
        Command,
        Store,
        File,
        Result,
        Took,
        Repeats,
        LastTime,
        ColumnCount
    };

    // How the Time column writes a record's local time.
    static constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss";

    explicit HistoryTableModel(QObject* parent = nullptr);

    // Records newest first, as the store hands them out.
    void setRecords(HistoryRecords records);
    // Only the address, command, outcome and the since/until times of the filter are used here.
    void setFilter(const HistoryFilter& filter);

    [[nodiscard]] const HistoryRecord& recordAt(int row) const;
    // The addresses and commands the records hold, sorted, for the filter choices.
    [[nodiscard]] QStringList addresses() const;
    [[nodiscard]] QStringList commands() const;
    // What the table shows, as CSV (RFC 4180 quoting, CRLF line ends, a header line).
    [[nodiscard]] QByteArray toCsv() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    [[nodiscard]] bool passes(const HistoryRecord& r, qint64 sinceMs, qint64 untilMs) const;
    [[nodiscard]] QString cellText(const HistoryRecord& r, int column) const;
    void refilter();

    HistoryRecords m_records;
    HistoryFilter m_filter;
    std::vector<int> m_shown;
};
