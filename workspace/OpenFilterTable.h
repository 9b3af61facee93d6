#pragma once

#include "i18n/CatalogId.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The file types the Open dialog offers: only those the picture loader reads on this machine.
// Each candidate names the libvips loader that reads it (or the ImageMagick coder behind
// libvips' own); a suffix is offered once a picture written with it has opened through the
// loader, so a format whose library or module is missing is never listed.
namespace OpenFilterTable {

struct Candidate {
    CatalogId description;
    const char* loader;   // the libvips loader's nickname, whose own suffixes are the row's
    const char* magick;   // the ImageMagick coder that writes the sample, or nullptr
    QStringList suffixes; // without the dot; empty: the loader's own list
};

struct Row {
    CatalogId description;
    QStringList suffixes; // lower case, without the dot, each one proven to open
};

// Every type the table knows, readable here or not.
const QList<Candidate>& candidates();
// The suffixes a candidate could offer: its own list, or its loader's (none without the loader).
QStringList suffixesOf(const Candidate& candidate);

// Writes a small picture of the candidate's type to path (whose suffix picks the variant);
// false when nothing on this machine can write it.
bool writeSample(const Candidate& candidate, const QString& path);

// The candidates whose sample opened, with the suffixes that did, worked out once per run.
const QList<Row>& readableRows();

// The form Qt's file dialog reads, with the catalog's descriptions: every picture type
// first, then each type, then every file.
QString forFileDialog();

} // namespace OpenFilterTable
