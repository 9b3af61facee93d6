#include "i18n/LanguageChoice.h"

#include "i18n/Catalog.h"
#include "i18n/CatalogLookup.h"

#include <QSettings>

namespace {

const QString kOption = QStringLiteral("--language");
const QString kSettingsKey = QStringLiteral("language");

} // namespace

std::optional<quint32> LanguageChoice::fromName(const QString& name) {
    if (name == u"en") {
        return Catalog::kEnglish;
    }
    if (name == u"zh") {
        return Catalog::kSimplifiedChinese;
    }
    return std::nullopt;
}

QString LanguageChoice::nameOf(quint32 language) {
    return language == Catalog::kSimplifiedChinese ? QStringLiteral("zh") : QStringLiteral("en");
}

LanguageChoice::Argument LanguageChoice::find(const QStringList& args) {
    Argument found;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == u"--") {
            break;
        }
        if (a == kOption) {
            found.given = true;
            found.value = i + 1 < args.size() ? args.at(i + 1) : QString();
            ++i;
        } else if (a.startsWith(kOption + u'=')) {
            found.given = true;
            found.value = a.mid(kOption.size() + 1);
        }
    }
    return found;
}

QStringList LanguageChoice::without(const QStringList& args) {
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == u"--") {
            rest << args.mid(i);
            break;
        }
        if (a == kOption) {
            ++i; // and its value
        } else if (!a.startsWith(kOption + u'=')) {
            rest << a;
        }
    }
    return rest;
}

quint32 LanguageChoice::remembered(const QSettings& settings) {
    return fromName(settings.value(kSettingsKey).toString()).value_or(0);
}

void LanguageChoice::remember(QSettings& settings, quint32 language) {
    settings.setValue(kSettingsKey, nameOf(language));
    settings.sync();
}

int LanguageChoice::apply(quint32 language) {
    SetChosenLanguageId(language);
    return LoadCatalog();
}
