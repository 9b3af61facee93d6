#include "registry/CSettingDlg.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/ProjectorRecord.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CSettingDlg::CSettingDlg(const ProjectorStore::AuthSetting& setting, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("settingDlg"));
    setWindowTitle(CatalogText(msg::SettingDlgTitle));
    m_authenticate = new QCheckBox(CatalogText(msg::CheckAuthentication), this);
    m_authenticate->setObjectName(QStringLiteral("authenticationCheck"));
    auto* label = new QLabel(CatalogText(msg::LabelPassword), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(ProjectorRecord::kMaxPassword);
    label->setBuddy(m_password);
    m_password->setAccessibleName(QString(label->text()).remove(u'&'));
    // What these values are: the last command's, replaced by the next command's own.
    auto* appliesTo = new QLabel(CatalogText(msg::SettingAppliesTo), this);
    appliesTo->setObjectName(QStringLiteral("appliesToLabel"));
    appliesTo->setWordWrap(true);
    appliesTo->setMaximumWidth(360);
    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CatalogText(msg::ButtonFormCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_authenticate, 0, 0, 1, 2);
    grid->addWidget(label, 1, 0);
    grid->addWidget(m_password, 1, 1);
    grid->addWidget(ok, 0, 2);
    grid->addWidget(cancel, 1, 2);
    grid->addWidget(appliesTo, 2, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    if (setting.authOff == 0) {
        m_authenticate->setChecked(true);
        m_password->setText(setting.password);
    }
    m_password->setEnabled(m_authenticate->isChecked());
    connect(m_authenticate, &QCheckBox::toggled, m_password, &QWidget::setEnabled);
}

ProjectorStore::AuthSetting CSettingDlg::setting() const {
    const bool on = m_authenticate->isChecked();
    return {on ? m_password->text() : QString(), on ? 0 : 1};
}
