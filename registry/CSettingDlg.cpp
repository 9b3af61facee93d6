#include "registry/CSettingDlg.h"

#include "i18n/CLocalise.h"
#include "registry/ProjectorRecord.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CSettingDlg::CSettingDlg(const ProjectorStore::AuthSetting& setting, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlg133"));
    setWindowTitle(QStringLiteral("45;Setting"));
    m_authenticate = new QCheckBox(QStringLiteral("7;Authentication "), this);
    m_authenticate->setObjectName(QStringLiteral("auth1002"));
    auto* label = new QLabel(QStringLiteral("8;Password"), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password1003"));
    m_password->setEchoMode(QLineEdit::Normal);
    m_password->setMaxLength(ProjectorRecord::kMaxPassword);
    label->setBuddy(m_password);
    auto* ok = new QPushButton(QStringLiteral("302;OK"), this);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("301;Cancel"), this);
    cancel->setObjectName(QStringLiteral("button2"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_authenticate, 0, 0, 1, 2);
    grid->addWidget(label, 1, 0);
    grid->addWidget(m_password, 1, 1);
    grid->addWidget(ok, 0, 2);
    grid->addWidget(cancel, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    if (setting.authOff == 0) {
        m_authenticate->setChecked(true);
        m_password->setText(setting.password);
    }
    LocaliseDialog(9, this);
}

ProjectorStore::AuthSetting CSettingDlg::setting() const {
    const bool on = m_authenticate->isChecked();
    return {on ? m_password->text() : QString(), on ? 0 : 1};
}
