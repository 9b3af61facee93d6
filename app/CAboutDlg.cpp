#include "app/CAboutDlg.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDlg"));
    setWindowTitle(CatalogText(msg::AboutDlgTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/tessavel.svg")).pixmap(48, 48));
    auto* version = new QLabel(CatalogText(msg::AboutVersion), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    auto* notice = new QLabel(CatalogText(msg::AboutCopyright), this);
    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(notice, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}
