#include "registry/CProjectorEditDlg.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/CIpAddressEdit.h"
#include "registry/ProjectorRecord.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CProjectorEditDlg::CProjectorEditDlg(Mode mode, const Values& values, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_values(values) {
    setObjectName(QStringLiteral("projectorEditDlg"));
    setWindowTitle(CatalogText(msg::AddProjectorDlgTitle));

    auto* nameLabel = new QLabel(CatalogText(msg::LabelProjectorName), this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_name->setMaxLength(ProjectorRecord::kMaxName);
    nameLabel->setBuddy(m_name);

    auto* macLabel = new QLabel(CatalogText(msg::LabelMacAddress), this);
    auto* macRow = new QHBoxLayout;
    for (size_t k = 0; k < m_mac.size(); ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("macEdit%1").arg(k + 1));
        box->setMaxLength(2);
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 12);
        m_mac[k] = box;
        if (k > 0) {
            macRow->addWidget(new QLabel(QStringLiteral("-"), this));
        }
        macRow->addWidget(box);
    }
    macRow->addStretch(1);
    macLabel->setBuddy(m_mac[0]);

    auto* addressLabel = new QLabel(CatalogText(msg::LabelIpAddress), this);
    m_address = new CIpAddressEdit(this);
    m_address->setObjectName(QStringLiteral("addressEdit"));
    addressLabel->setBuddy(m_address);

    m_auth = new QCheckBox(CatalogText(msg::CheckAuthentication), this);
    m_auth->setObjectName(QStringLiteral("authenticationCheck"));
    auto* passwordLabel = new QLabel(CatalogText(msg::LabelPassword), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    // The record holds at most 255 characters: longer input cannot be typed.
    m_password->setMaxLength(ProjectorRecord::kMaxPassword);
    passwordLabel->setBuddy(m_password);

    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CatalogText(msg::ButtonFormCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &CProjectorEditDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(m_name, 0, 1);
    grid->addWidget(macLabel, 1, 0);
    grid->addLayout(macRow, 1, 1);
    grid->addWidget(addressLabel, 2, 0);
    grid->addWidget(m_address, 2, 1, Qt::AlignLeft);
    grid->addWidget(m_auth, 3, 0, 1, 2);
    grid->addWidget(passwordLabel, 4, 0);
    grid->addWidget(m_password, 4, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 5, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    m_address->setLabelText(addressLabel->text());
    const QString macName = QString(macLabel->text()).remove(u'&');
    for (size_t k = 0; k < m_mac.size(); ++k) {
        m_mac[k]->setAccessibleName(QStringLiteral("%1 %2").arg(macName).arg(k + 1));
    }

    if (m_mode == Edit) {
        setWindowTitle(CatalogText(msg::EditProjectorDlgTitle));
        m_name->setText(values.name);
        if (!MacText::isZero(values.mac)) {
            for (size_t k = 0; k < m_mac.size(); ++k) {
                m_mac[k]->setText(QStringLiteral("%1").arg(values.mac[k], 2, 16, QLatin1Char('0')).toUpper());
            }
        }
        if (values.address != 0) {
            m_address->setAddress(values.address);
        }
        m_auth->setChecked(values.authMark == u"1");
        m_password->setText(values.password);
    } else {
        m_auth->setChecked(true);
    }
}

void CProjectorEditDlg::accept() {
    const quint32 address = m_address->address();
    if (address == 0) {
        return; // blank or 0.0.0.0: the form stays open
    }
    Values v;
    v.address = address;
    v.name = m_name->text();
    for (size_t k = 0; k < m_mac.size(); ++k) {
        const std::optional<quint8> b = MacText::parseBox(m_mac[k]->text().trimmed());
        if (!b) {
            m_mac[k]->setFocus();
            m_mac[k]->selectAll();
            return;
        }
        v.mac[k] = *b;
    }
    if (m_auth->isChecked()) {
        v.authMark = QStringLiteral("1");
        v.password = m_password->text();
    } else {
        v.authMark = QStringLiteral("0");
    }
    m_values = v;
    QDialog::accept();
}
