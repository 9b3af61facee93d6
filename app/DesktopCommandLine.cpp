#include "app/DesktopCommandLine.h"

#include "common/CommandLineManners.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/LanguageChoice.h"

#include <QDir>

namespace {

DesktopCommandLine::Decision stop(int exitCode, const QString& text) {
    DesktopCommandLine::Decision d;
    d.run = false;
    d.exitCode = exitCode;
    d.text = text;
    return d;
}

// A platform named on the command line (-platform NAME, --platform NAME or -platform=NAME).
bool namesPlatform(const QStringList& args) {
    for (const QString& a : args) {
        if (a == u"--") {
            return false;
        }
        if (a == u"-platform" || a == u"--platform" || a.startsWith(u"-platform=") ||
            a.startsWith(u"--platform=")) {
            return true;
        }
    }
    return false;
}

QString usage() {
    return CatalogText(msg::DesktopUsage) + u'\n' + CatalogText(msg::DesktopLanguageUsage);
}

} // namespace

DesktopCommandLine::Environment DesktopCommandLine::Environment::current() {
    Environment env;
    env.platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    env.display = qEnvironmentVariable("DISPLAY");
    env.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    return env;
}

DesktopCommandLine::Decision DesktopCommandLine::beforeApplication(const QStringList& args,
                                                                   const Environment& env) {
    const EarlyOptions early = EarlyOptions::check(args);
    switch (early.answer) {
    case EarlyOptions::Answer::Version:
        return stop(0, VersionLine(QStringLiteral("tessavel")));
    case EarlyOptions::Answer::Help:
        return stop(0, usage());
    case EarlyOptions::Answer::Misuse:
        return stop(2, CatalogText(msg::OptionStandsAlone, {early.option}) + u'\n' + usage());
    case EarlyOptions::Answer::None:
        break;
    }
    if (const auto language = LanguageChoice::find(args);
        language.given && !LanguageChoice::fromName(language.value)) {
        return stop(2, CatalogText(msg::DesktopLanguageUnknown, {language.value}) + u'\n' + usage());
    }
    // A chosen platform is trusted: whether it works is only known when Qt starts it.
    if (env.platform.isEmpty() && !namesPlatform(args) && env.display.isEmpty() &&
        env.waylandDisplay.isEmpty()) {
        return stop(1, CatalogText(msg::NoDisplay));
    }
    return {};
}

DesktopCommandLine::Decision DesktopCommandLine::afterApplication(const QStringList& args,
                                                                  const QString& currentDir) {
    QStringList files;
    bool optionsEnded = false;
    for (const QString& a : LanguageChoice::without(args)) {
        if (!optionsEnded && a == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.size() > 1 && a.startsWith(u'-')) {
            return stop(2, CatalogText(msg::CtlUnknownOption, {a}) + u'\n' + usage());
        } else {
            files << a;
        }
    }
    if (files.size() > 1) {
        return stop(2, CatalogText(msg::DesktopOneFile) + u'\n' + usage());
    }
    Decision d;
    if (!files.isEmpty()) {
        d.fileToOpen = QDir(currentDir).absoluteFilePath(files.first());
    }
    return d;
}
