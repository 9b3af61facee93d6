#include "history/HistoryTableModel.h"

#include "common/SpreadsheetCell.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QSet>

#include <algorithm>
#include <limits>
#include <vector>

HistoryTableModel::HistoryTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryTableModel::setRecords(HistoryRecords records) {
    beginResetModel();
    m_records = std::move(records);
    refilter();
    endResetModel();
}

void HistoryTableModel::setFilter(const HistoryFilter& filter) {
    beginResetModel();
    m_filter = filter;
    refilter();
    endResetModel();
}

bool HistoryTableModel::passes(const HistoryRecord& r, qint64 sinceMs, qint64 untilMs) const {
    const HistoryFilter& f = m_filter;
    // Times compared as numbers: converting local times per record is slow on large files.
    const qint64 at = r.time.toMSecsSinceEpoch();
    if (at < sinceMs || at >= untilMs) {
        return false;
    }
    if ((!f.address.isEmpty() && r.address != f.address) ||
        (!f.command.isEmpty() && r.command != f.command)) {
        return false;
    }
    switch (f.outcome) {
    case HistoryFilter::Outcome::Succeeded:
        return r.ok;
    case HistoryFilter::Outcome::Failed:
        return !r.ok;
    default:
        return true;
    }
}

void HistoryTableModel::refilter() {
    m_shown.clear();
    m_shown.reserve(static_cast<size_t>(m_records.size()));
    const qint64 sinceMs =
        m_filter.since.isValid() ? m_filter.since.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    const qint64 untilMs =
        m_filter.until.isValid() ? m_filter.until.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
    for (int i = 0; i < m_records.size(); ++i) {
        if (passes(m_records.at(i), sinceMs, untilMs)) {
            m_shown.push_back(i);
        }
    }
}

const HistoryRecord& HistoryTableModel::recordAt(int row) const {
    return m_records.at(m_shown.at(static_cast<size_t>(row)));
}

QStringList HistoryTableModel::addresses() const {
    QSet<QString> seen;
    for (const HistoryRecord& r : m_records) {
        seen.insert(r.address);
    }
    // In numeric order, as a person reads addresses; the key is worked out once per address.
    std::vector<std::pair<quint64, QString>> keyed;
    keyed.reserve(static_cast<size_t>(seen.size()));
    for (const QString& a : seen) {
        quint64 key = 0;
        for (const QStringView part : QStringView(a).split(u'.')) {
            key = (key << 8) | static_cast<quint64>(part.toUInt() & 0xFFu);
        }
        keyed.emplace_back(key, a);
    }
    std::sort(keyed.begin(), keyed.end());
    QStringList out;
    out.reserve(static_cast<qsizetype>(keyed.size()));
    for (auto& k : keyed) {
        out << std::move(k.second);
    }
    return out;
}

QStringList HistoryTableModel::commands() const {
    QSet<QString> seen;
    for (const HistoryRecord& r : m_records) {
        seen.insert(r.command);
    }
    QStringList out(seen.cbegin(), seen.cend());
    out.sort();
    return out;
}

QString HistoryTableModel::cellText(const HistoryRecord& r, int column) const {
    switch (column) {
    case Time:
        return r.time.toLocalTime().toString(QLatin1String(kTimeFormat));
    case User:
        return r.user;
    case Projector:
        return r.projectorName;
    case Address:
        return r.address;
    case Command:
        return r.command;
    case Store:
        return QString::number(r.store);
    case File:
        return r.fileName;
    case Result:
        return r.resultText.isEmpty()
                   ? QString::number(r.result)
                   : r.resultText + QStringLiteral(" (") + QString::number(r.result) + u')';
    case Took:
        return QString::number(r.tookMs);
    case Repeats:
        return QString::number(r.repeats);
    case LastTime:
        // A record written once has no last time of its own.
        return r.lastTime.isValid() ? r.lastTime.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                    : QString();
    default:
        return {};
    }
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const HistoryRecord& r = recordAt(index.row());
    if (role == Qt::DisplayRole) {
        // Names, file names and reply texts came from projectors and files.
        return VisibleText::shown(cellText(r, index.column()));
    }
    if (role == Qt::ToolTipRole && index.column() == File) {
        return VisibleText::toolTip(r.filePath);
    }
    // A long result may not fit its column.
    if (role == Qt::ToolTipRole && index.column() == Result) {
        return VisibleText::toolTip(cellText(r, Result));
    }
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Store || index.column() == Took || index.column() == Repeats)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static constexpr CatalogId kHeaders[ColumnCount] = {
        msg::HistoryColumnTime,    msg::HistoryColumnUser,    msg::HistoryColumnProjector,
        msg::HistoryColumnAddress, msg::HistoryColumnCommand, msg::HistoryColumnStore,
        msg::HistoryColumnFile,    msg::HistoryColumnResult,  msg::HistoryColumnTook,
        msg::HistoryColumnRepeats, msg::HistoryColumnLastTime};
    return section >= 0 && section < ColumnCount ? CatalogText(kHeaders[section]) : QVariant();
}

QByteArray HistoryTableModel::toCsv() const {
    auto field = [](const QString& text) {
        QString t = SpreadsheetCell::guarded(text);
        if (t.contains(u'"') || t.contains(u',') || t.contains(u'\n') || t.contains(u'\r')) {
            t.replace(u'"', QStringLiteral("\"\""));
            t = u'"' + t + u'"';
        }
        return t;
    };
    QString csv;
    QStringList line;
    for (int c = 0; c < ColumnCount; ++c) {
        line << field(headerData(c, Qt::Horizontal).toString());
    }
    line << QStringLiteral("SHA-256"); // the name of the digest, the same in every language
    csv += line.join(u',') + QStringLiteral("\r\n");
    for (const int i : m_shown) {
        const HistoryRecord& r = m_records.at(i);
        line.clear();
        for (int c = 0; c < ColumnCount; ++c) {
            line << field(c == Time ? r.time.toLocalTime().toString(Qt::ISODate) : cellText(r, c));
        }
        line << r.sha256;
        csv += line.join(u',') + QStringLiteral("\r\n");
    }
    return csv.toUtf8();
}
