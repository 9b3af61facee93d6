#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QSettings;

// The window language the user chose, on the command line (--language en|zh) or from the
// menu, and remembered for later starts. GETENG and GETSCH still win over it.
class LanguageChoice final {
public:
    LanguageChoice() = delete;

    // "en" or "zh" as a catalog language id.
    static std::optional<quint32> fromName(const QString& name);
    static QString nameOf(quint32 language);

    // --language NAME or --language=NAME; the last one counts. Nothing after "--" is an option.
    struct Argument final {
        bool given = false;
        QString value; // as written
    };
    static Argument find(const QStringList& args);
    // args without --language and its value, so that the rest reads as before.
    static QStringList without(const QStringList& args);

    // The remembered choice, 0 when there is none (or it is not a language we have).
    static quint32 remembered(const QSettings& settings);
    static void remember(QSettings& settings, quint32 language);

    // Makes language the one texts are looked up in (0: the locale's) and loads its catalog;
    // 0 when a catalog was loaded, -1 otherwise, as LoadCatalog says.
    static int apply(quint32 language);
};
