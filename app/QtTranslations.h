#pragma once

#include <QtGlobal>

// Qt's own texts (file dialogs, standard buttons, context menus) and its number and date
// formats in the catalog's language, from the translations Qt installs
// (qtbase_zh_CN.qm, Debian's qt6-translations-l10n).
class QtTranslations final {
public:
    QtTranslations() = delete;

    // Installs the translation for language on the application, replacing the one installed
    // before; English needs none. False when the language's translation could not be loaded.
    static bool install(quint32 language);
    // Where Qt's translations are looked for.
    static QString folder();
};
