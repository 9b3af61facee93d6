#include "app/CKorvelApp.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessavel"));
    QApplication::setApplicationName(QStringLiteral("Tessavel"));
    // Desktops without an icon theme of their own still get recognisable toolbar icons.
    QIcon::setFallbackThemeName(QStringLiteral("Tango"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor") {
        QIcon::setThemeName(QStringLiteral("Tango"));
    }

    CKorvelApp::Options options;
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        options.fileToOpen = QDir::current().absoluteFilePath(args.at(1));
    }
    CKorvelApp korvel(options);
    if (!korvel.InitInstance()) {
        return 0;
    }
    const int rc = QApplication::exec();
    korvel.ExitInstance();
    return rc;
}
