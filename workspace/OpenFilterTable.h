#pragma once

#include <QList>
#include <QString>

// The file types the Open dialog offers, as laid out: 83 rows of a description and its
// pattern list ("*.jpg;*.jpeg"), taken as they stand.
namespace OpenFilterTable {

struct Row {
    const char* description;
    const char* patterns;
};

const QList<Row>& rows();

// The classic one-text form: "desc|patterns|desc|patterns", no "|" at the end.
QString joined();

// The form Qt's file dialog reads: "desc (*.a *.b);;...". Characters a pattern cannot
// hold (the stray ")" of one row) are dropped here only.
QString forFileDialog();

} // namespace OpenFilterTable
