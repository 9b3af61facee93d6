#include "app/CUserCfgDialog.h"

#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include "ui_CUserCfgDialog.h"

#include <QGuiApplication>
#include <QPushButton>

namespace {

QString roleName(UserStore::Role role) {
    return CatalogText(role == UserStore::Role::Administrator ? msg::RoleAdministrator : msg::RoleUser);
}

} // namespace

CUserCfgDialog::CUserCfgDialog(QWidget* parent) : CUserCfgDialog(Options{}, parent) {}

CUserCfgDialog::CUserCfgDialog(const Options& options, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CUserCfgDialog>()),
      m_store(options.usersPath.isEmpty() ? UserStore::defaultPath() : options.usersPath, options.cost),
      m_administrator(options.administrator), m_hashing(this) {
    m_ui->setupUi(this);
    setTexts();
    connect(m_ui->signInButton, &QPushButton::clicked, this, &CUserCfgDialog::onSignIn);
    connect(m_ui->adminPasswordEdit, &QLineEdit::returnPressed, this, &CUserCfgDialog::onSignIn);
    connect(m_ui->addButton, &QPushButton::clicked, this, &CUserCfgDialog::onAdd);
    connect(m_ui->removeButton, &QPushButton::clicked, this, &CUserCfgDialog::onRemove);
    connect(m_ui->passwordButton, &QPushButton::clicked, this, &CUserCfgDialog::onChangePassword);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &CUserCfgDialog::accept);
}

CUserCfgDialog::~CUserCfgDialog() = default;

void CUserCfgDialog::setTexts() {
    setWindowTitle(CatalogText(msg::UserCfgDlgTitle));
    m_ui->adminNameLabel->setText(CatalogText(msg::RoleAdministrator));
    m_ui->adminPasswordLabel->setText(CatalogText(msg::LabelUserPassword));
    m_ui->signInButton->setText(CatalogText(msg::ButtonSignIn));
    m_ui->userList->setHeaderLabels({CatalogText(msg::LabelUserName), CatalogText(msg::ColumnRole)});
    m_ui->nameLabel->setText(CatalogText(msg::LabelUserName));
    m_ui->adminCheck->setText(CatalogText(msg::RoleAdministrator));
    m_ui->passwordLabel->setText(CatalogText(msg::LabelUserPassword));
    m_ui->repeatLabel->setText(CatalogText(msg::LabelRepeatPassword));
    m_ui->addButton->setText(CatalogText(msg::ButtonAddUser));
    m_ui->removeButton->setText(CatalogText(msg::ButtonRemoveUser));
    m_ui->passwordButton->setText(CatalogText(msg::ButtonChangePassword));
    m_ui->closeButton->setText(CatalogText(msg::ButtonClose));
}

int CUserCfgDialog::exec() {
    m_store.load();
    if (m_store.isCorrupt()) {
        CMessageBox::show(parentWidget(), m_store.corruptMessage(), CMessageBox::Icon::Stop);
        return Rejected;
    }
    // A name handed in counts only while the file still says it is an administrator.
    if (const auto user = m_store.find(m_administrator);
        !user || user->role != UserStore::Role::Administrator) {
        m_administrator.clear();
    }
    updateState();
    return QDialog::exec();
}

void CUserCfgDialog::updateState() {
    const bool signedIn = !m_administrator.isEmpty();
    m_ui->adminNameEdit->setEnabled(!signedIn);
    m_ui->adminPasswordEdit->setEnabled(!signedIn);
    m_ui->signInButton->setEnabled(!signedIn);
    for (QWidget* w :
         {static_cast<QWidget*>(m_ui->userList), static_cast<QWidget*>(m_ui->nameEdit),
          static_cast<QWidget*>(m_ui->adminCheck), static_cast<QWidget*>(m_ui->passwordEdit),
          static_cast<QWidget*>(m_ui->repeatEdit), static_cast<QWidget*>(m_ui->addButton),
          static_cast<QWidget*>(m_ui->removeButton), static_cast<QWidget*>(m_ui->passwordButton)}) {
        w->setEnabled(signedIn);
    }
    m_ui->statusLabel->setText(signedIn ? CatalogText(msg::UserCfgSignedInAs, {m_administrator})
                                        : CatalogText(msg::UserCfgSignInHint));
    fillList();
    (signedIn ? static_cast<QWidget*>(m_ui->nameEdit) : static_cast<QWidget*>(m_ui->adminNameEdit))
        ->setFocus();
}

void CUserCfgDialog::fillList() {
    const QString keep = selectedUser();
    m_ui->userList->clear();
    if (m_administrator.isEmpty()) {
        return; // names are shown to administrators only
    }
    for (const UserStore::User& user : m_store.users()) {
        auto* item = new QTreeWidgetItem(m_ui->userList, {user.name, roleName(user.role)});
        if (user.name == keep) {
            m_ui->userList->setCurrentItem(item);
        }
    }
}

QString CUserCfgDialog::selectedUser() const {
    const QTreeWidgetItem* item = m_ui->userList->currentItem();
    return item != nullptr && item->isSelected() ? item->text(0) : QString();
}

bool CUserCfgDialog::stillAdministrator() {
    m_store.load();
    if (m_store.isCorrupt()) {
        CMessageBox::show(this, m_store.corruptMessage(), CMessageBox::Icon::Stop);
        m_administrator.clear();
        updateState();
        return false;
    }
    const auto user = m_store.find(m_administrator);
    if (m_administrator.isEmpty() || !user || user->role != UserStore::Role::Administrator) {
        m_administrator.clear();
        updateState();
        CMessageBox::show(this, CatalogText(msg::AdministratorRequired), CMessageBox::Icon::Stop);
        return false;
    }
    return true;
}

bool CUserCfgDialog::passwordsAgree() {
    if (m_ui->passwordEdit->text() == m_ui->repeatEdit->text()) {
        return true;
    }
    m_ui->passwordEdit->clear();
    m_ui->repeatEdit->clear();
    CMessageBox::show(this, CatalogText(msg::PasswordsDiffer), CMessageBox::Icon::Stop);
    m_ui->passwordEdit->setFocus();
    return false;
}

void CUserCfgDialog::report(const UserStore::Result& result) {
    CMessageBox::show(this, m_store.describe(result), CMessageBox::Icon::Stop);
}

void CUserCfgDialog::onSignIn() {
    if (!m_administrator.isEmpty()) {
        return;
    }
    const QString name = m_ui->adminNameEdit->text();
    const QString password = m_ui->adminPasswordEdit->text();
    m_ui->adminPasswordEdit->clear();
    startHashing([this, name, password] { return m_store.verify(name, password); },
                 [this, name](UserStore::Check check) { signedInOrNot(name, check); });
}

void CUserCfgDialog::signedInOrNot(const QString& name, UserStore::Check check) {
    if (check == UserStore::Check::Corrupt) {
        CMessageBox::show(this, m_store.corruptMessage(), CMessageBox::Icon::Stop);
        return;
    }
    const auto user = m_store.find(name);
    if (check != UserStore::Check::Ok || !user || user->role != UserStore::Role::Administrator) {
        CMessageBox::show(this, CatalogText(msg::AdministratorRequired), CMessageBox::Icon::Stop);
        m_ui->adminPasswordEdit->setFocus();
        return;
    }
    m_administrator = name;
    updateState();
}

void CUserCfgDialog::setHashing(bool hashing) {
    if (hashing) {
        m_focusBeforeHashing = focusWidget();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
    setEnabled(!hashing);
    if (!hashing && m_focusBeforeHashing) {
        m_focusBeforeHashing->setFocus();
    }
}

void CUserCfgDialog::onAdd() {
    if (!stillAdministrator() || !passwordsAgree()) {
        return;
    }
    const QString name = m_ui->nameEdit->text();
    const QString password = m_ui->passwordEdit->text();
    const auto role = m_ui->adminCheck->isChecked() ? UserStore::Role::Administrator : UserStore::Role::User;
    m_ui->passwordEdit->clear();
    m_ui->repeatEdit->clear();
    startHashing([this, name, role, password] { return m_store.add(name, role, password); },
                 [this, name](const UserStore::Result& result) { addedOrNot(name, result); });
}

void CUserCfgDialog::addedOrNot(const QString& name, const UserStore::Result& result) {
    fillList();
    if (!result.ok()) {
        report(result);
        return;
    }
    m_ui->nameEdit->clear();
    m_ui->adminCheck->setChecked(false);
    const auto found = m_ui->userList->findItems(name, Qt::MatchExactly, 0);
    if (!found.isEmpty()) {
        m_ui->userList->setCurrentItem(found.first());
    }
}

QString CUserCfgDialog::selectedUserOrAsk() {
    const QString name = selectedUser();
    if (name.isEmpty()) {
        CMessageBox::show(this, CatalogText(msg::SelectUserFirst), CMessageBox::Icon::Stop);
    }
    return name;
}

void CUserCfgDialog::onRemove() {
    if (!stillAdministrator()) {
        return;
    }
    const QString name = selectedUserOrAsk();
    if (name.isEmpty()) {
        return;
    }
    if (CMessageBox::show(this, CatalogText(msg::AskRemoveUser, {name}), CMessageBox::Icon::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    const UserStore::Result result = m_store.remove(name);
    if (!result.ok()) {
        fillList();
        report(result);
        return;
    }
    if (name == m_administrator) {
        m_administrator.clear(); // removed oneself: no rights left
    }
    updateState();
}

void CUserCfgDialog::onChangePassword() {
    if (!stillAdministrator()) {
        return;
    }
    const QString name = selectedUserOrAsk();
    if (name.isEmpty()) {
        return;
    }
    if (!passwordsAgree()) {
        return;
    }
    const QString password = m_ui->passwordEdit->text();
    m_ui->passwordEdit->clear();
    m_ui->repeatEdit->clear();
    startHashing([this, name, password] { return m_store.setPassword(name, password); },
                 [this, name](const UserStore::Result& result) { passwordChangedOrNot(name, result); });
}

void CUserCfgDialog::passwordChangedOrNot(const QString& name, const UserStore::Result& result) {
    fillList();
    if (!result.ok()) {
        report(result);
        return;
    }
    CMessageBox::show(this, CatalogText(msg::PasswordChanged, {name}), CMessageBox::Icon::Information);
}
