#include "app/CMainFrame.h"
#include "i18n/CatalogLookup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessavel"));
    QApplication::setApplicationName(QStringLiteral("Tessavel"));
    LoadCatalog();
    int rc = 0;
    {
        CMainFrame frame(ProjectorStore::defaultIniPath());
        frame.show();
        rc = QApplication::exec();
    }
    UnloadCatalog();
    return rc;
}
