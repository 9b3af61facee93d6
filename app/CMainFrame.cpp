#include "app/CMainFrame.h"

#include "i18n/CatalogLookup.h"

#include <QIcon>

CMainFrame::CMainFrame(const QString& iniPath, QWidget* parent) : QMainWindow(parent), m_projectors(iniPath) {
    m_loadResult = m_projectors.load();
    setWindowTitle(CatalogText(9, 58));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tessavel.svg")));
    resize(800, 600);
}
