#include "app/DesktopCommandLine.h"
#include "app/TessavelApp.h"
#include "common/CommandLineManners.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/LanguageChoice.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QSettings>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Qt ends the process with abort() when no display can be opened; say so plainly instead.
void onStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (g_qtHandler != nullptr) {
            g_qtHandler(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
        return;
    }
    const QString why = message.section(u'\n', 0, 0).trimmed();
    std::fprintf(stderr, "%s\n", qPrintable(CatalogText(msg::DisplayFailed, {why})));
    std::fflush(stderr);
    std::_Exit(1);
}

int finish(const DesktopCommandLine::Decision& d) {
    std::FILE* stream = d.exitCode == 0 ? stdout : stderr;
    std::fprintf(stream, "%s\n", d.text.toLocal8Bit().constData());
    std::fflush(stream);
    UnloadCatalog();
    return d.exitCode;
}

} // namespace

int main(int argc, char* argv[]) {
    // The language first: --language, else the one chosen before, else the system's.
    const QStringList args = ArgumentsOf(argc, argv);
    {
        QSettings settings(QStringLiteral("Tessavel"), QStringLiteral("Tessavel"));
        const LanguageChoice::Argument language = LanguageChoice::find(args);
        const auto chosen = LanguageChoice::fromName(language.value);
        if (language.given && chosen) {
            LanguageChoice::remember(settings, *chosen);
        }
        SetChosenLanguageId(chosen ? *chosen : LanguageChoice::remembered(settings));
    }
    // --version, --help and a missing display are answered before Qt opens the display.
    LoadCatalog();
    const DesktopCommandLine::Decision early =
        DesktopCommandLine::beforeApplication(args, DesktopCommandLine::Environment::current());
    if (!early.run) {
        return finish(early);
    }

    g_qtHandler = qInstallMessageHandler(onStartupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    QApplication::setOrganizationName(QStringLiteral("Tessavel"));
    QApplication::setApplicationName(QStringLiteral("Tessavel"));
    QApplication::setApplicationVersion(ProjectVersion());
    QApplication::setDesktopFileName(QStringLiteral("org.tessavel.Tessavel"));
    // Desktops without an icon theme of their own still get recognisable toolbar icons.
    QIcon::setFallbackThemeName(QStringLiteral("Tango"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor") {
        QIcon::setThemeName(QStringLiteral("Tango"));
    }

    const DesktopCommandLine::Decision late =
        DesktopCommandLine::afterApplication(QApplication::arguments().mid(1), QDir::currentPath());
    if (!late.run) {
        return finish(late);
    }
    TessavelApp::Options options;
    options.fileToOpen = late.fileToOpen;
    TessavelApp application(options);
    if (!application.InitInstance()) {
        return 0;
    }
    const int rc = QApplication::exec();
    application.ExitInstance();
    return rc;
}
