#pragma once

#include "i18n/ImagingTextStore.h"

#include <QList>
#include <QString>

// The table of imaging dialog texts handed to the text store at start-up: 153 rows in
// a fixed order, each a catalog text (group, number) or a fixed literal.
struct ImagingTextRow final {
    qint32 index = 0;
    quint32 group = 0; // 0 for a literal
    quint32 number = 0;
    const char* literal = nullptr;
};

const QList<ImagingTextRow>& ImagingTextRows();

// Writes every row in table order; catalog rows go through CatalogText.
void FillImagingDialogTexts(ImagingTextStore& store);
