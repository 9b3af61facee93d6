#include "registry/CPasswordPromptDlg.h"

#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/ProjectorRecord.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CPasswordPromptDlg::CPasswordPromptDlg(const QStringList& projectorNames, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("passwordPromptDlg"));
    setWindowTitle(CatalogText(msg::PasswordPromptTitle));

    auto* text = new QLabel(CatalogText(msg::PasswordPromptText, {projectorNames.join(u'\n')}), this);
    text->setObjectName(QStringLiteral("promptText"));
    text->setTextFormat(Qt::PlainText); // names come from the network
    text->setWordWrap(true);
    auto* label = new QLabel(CatalogText(msg::LabelPassword), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(ProjectorRecord::kMaxPassword);
    m_password->setAccessibleName(QString(label->text()).remove(u'&'));
    label->setBuddy(m_password);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(CatalogText(msg::ButtonOk), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(CatalogText(msg::ButtonFormCancel), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CPasswordPromptDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(label, m_password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString CPasswordPromptDlg::password() const {
    return m_password->text();
}

void CPasswordPromptDlg::accept() {
    if (m_password->text().isEmpty()) {
        CMessageBox::show(this, CatalogText(msg::PasswordPromptEmpty), CMessageBox::Icon::Warning);
        m_password->setFocus();
        return;
    }
    QDialog::accept();
}
