#include "ColumnText.h"

#include "CtlOptions.h"

namespace {

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

ColumnText::ColumnText(QStringList headers) {
    m_rows.append(std::move(headers));
}

void ColumnText::addRow(const QStringList& cells) {
    QStringList row;
    row.reserve(cells.size());
    for (const QString& c : cells) {
        row.append(OneLine(c));
    }
    m_rows.append(row);
}

int ColumnText::displayWidth(const QString& text) {
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
            category == QChar::Other_Format) {
            continue;
        }
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

void ColumnText::write(QTextStream& out) const {
    QList<int> widths;
    for (const QStringList& row : m_rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i == widths.size()) {
                widths.append(0);
            }
            widths[i] = qMax(widths[i], displayWidth(row[i]));
        }
    }
    for (const QStringList& row : m_rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line += QString(widths[i] - displayWidth(row[i]) + 2, u' ');
            }
        }
        while (line.endsWith(u' ')) {
            line.chop(1); // an empty last cell leaves no trailing blanks
        }
        out << line << '\n';
    }
}
