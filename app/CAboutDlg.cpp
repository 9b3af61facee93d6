#include "app/CAboutDlg.h"

#include "i18n/CLocalise.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlg100"));
    setWindowTitle(QStringLiteral("1;About Tessavel"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/tessavel.svg")).pixmap(48, 48));
    auto* version = new QLabel(QStringLiteral("2;Tessavel Version 1.09"), this);
    version->setObjectName(QStringLiteral("version"));
    auto* notice = new QLabel(QStringLiteral("601;Copyright (C) Tessavel developers"), this);
    auto* ok = new QPushButton(QStringLiteral("302;OK"), this);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(notice, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    LocaliseDialog(9, this);
}
