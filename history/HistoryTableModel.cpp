#include "history/HistoryTableModel.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QSet>

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

bool HistoryTableModel::passes(const HistoryRecord& r) const {
    const HistoryFilter& f = m_filter;
    if ((f.since.isValid() && r.time < f.since) || (f.until.isValid() && r.time >= f.until)) {
        return false;
    }
    if ((!f.address.isEmpty() && r.address != f.address) || (!f.command.isEmpty() && r.command != f.command)) {
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
    for (int i = 0; i < m_records.size(); ++i) {
        if (passes(m_records.at(i))) {
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
    QStringList out(seen.cbegin(), seen.cend());
    // In numeric order, as a person reads addresses.
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        const QStringList pa = a.split(u'.');
        const QStringList pb = b.split(u'.');
        for (qsizetype i = 0; i < std::min(pa.size(), pb.size()); ++i) {
            if (pa[i].toInt() != pb[i].toInt()) {
                return pa[i].toInt() < pb[i].toInt();
            }
        }
        return pa.size() < pb.size();
    });
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
        return r.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
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
        return r.resultText.isEmpty() ? QString::number(r.result)
                                      : r.resultText + QStringLiteral(" (") + QString::number(r.result) + u')';
    case Took:
        return QString::number(r.tookMs);
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
        return cellText(r, index.column());
    }
    if (role == Qt::ToolTipRole && index.column() == File) {
        return r.filePath;
    }
    if (role == Qt::TextAlignmentRole && (index.column() == Store || index.column() == Took)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static constexpr CatalogId kHeaders[ColumnCount] = {
        msg::HistoryColumnTime,  msg::HistoryColumnUser,  msg::HistoryColumnProjector,
        msg::HistoryColumnAddress, msg::HistoryColumnCommand, msg::HistoryColumnStore,
        msg::HistoryColumnFile,  msg::HistoryColumnResult, msg::HistoryColumnTook};
    return section >= 0 && section < ColumnCount ? CatalogText(kHeaders[section]) : QVariant();
}

QByteArray HistoryTableModel::toCsv() const {
    auto field = [](const QString& text) {
        QString t = text;
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
