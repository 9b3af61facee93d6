#pragma once

#include <QLocale>
#include <QString>

// Every number a window or a message shows, written the way the catalog's language writes
// numbers (digit groups and all), so that one size reads the same on the board, in the status
// bar and in the Fit dialog.
class CatalogNumber final {
public:
    // The locale of the language texts are looked up in now.
    static QLocale locale();
    static QLocale localeFor(quint32 language);

    static QString format(qint64 n);
    static QString format(double value, int decimals);
    // A count that arrives as text, such as a projector's stored length: formatted when it is
    // a plain decimal number, shown as it came otherwise.
    static QString formatText(const QString& digits);
};
