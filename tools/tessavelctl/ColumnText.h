#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

// Rows printed under a header line, each column as wide as its widest cell, so a person can
// read the output; scripts take --json. Cells are made single-line first.
class ColumnText final {
public:
    explicit ColumnText(QStringList headers);

    void addRow(const QStringList& cells);
    void write(QTextStream& out) const;

    // Terminal columns a text takes: East Asian wide and full-width characters take two.
    static int displayWidth(const QString& text);

private:
    QList<QStringList> m_rows; // the header first
};
