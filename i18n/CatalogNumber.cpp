#include "i18n/CatalogNumber.h"

#include "i18n/Catalog.h"
#include "i18n/CatalogLookup.h"

QLocale CatalogNumber::localeFor(quint32 language) {
    if (language == Catalog::kSimplifiedChinese) {
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

QLocale CatalogNumber::locale() {
    return localeFor(CatalogLanguageId());
}

QString CatalogNumber::format(qint64 n) {
    return locale().toString(n);
}

QString CatalogNumber::format(double value, int decimals) {
    return locale().toString(value, 'f', decimals);
}

QString CatalogNumber::formatText(const QString& digits) {
    // Digits only, and few enough to fit: a sign, a blank or a 20-digit reply stays as it came.
    if (digits.isEmpty() || digits.size() > 18) {
        return digits;
    }
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return digits;
        }
    }
    return format(digits.toLongLong());
}
