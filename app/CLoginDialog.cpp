#include "app/CLoginDialog.h"

#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include "ui_CLoginDialog.h"

#include <QGuiApplication>
#include <QPushButton>

#include <atomic>

namespace {

// A new dialog is made for every showing, so the count lives outside the dialogs.
std::atomic<int> g_failuresInARow{0};

} // namespace

CLoginDialog::CLoginDialog(QWidget* parent)
    : CLoginDialog(UserStore::defaultPath(), UserStore::HashCost::Interactive, parent) {}

CLoginDialog::CLoginDialog(const QString& usersPath, UserStore::HashCost cost, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CLoginDialog>()), m_store(usersPath, cost), m_hashing(this) {
    m_ui->setupUi(this);
    setTexts();
    connect(m_ui->okButton, &QPushButton::clicked, this, &CLoginDialog::onOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CLoginDialog::reject);
    connect(m_ui->adminButton, &QPushButton::clicked, this, [this] {
        if (!m_hashing.busy()) {
            done(AdministrationAsked);
        }
    });
    connect(m_ui->userNameEdit, &QLineEdit::textChanged, this, &CLoginDialog::updateOkButton);
}

CLoginDialog::~CLoginDialog() = default;

void CLoginDialog::resetFailureCountForTesting() {
    g_failuresInARow.store(0);
}

int CLoginDialog::exec() {
    m_userName.clear();
    m_administrator = false;
    if (m_failureLimit > 0 && g_failuresInARow.load() >= m_failureLimit) {
        CMessageBox::show(parentWidget(), CatalogText(msg::LoginLockedOut), CMessageBox::Icon::Stop);
        return Failed;
    }
    m_store.load();
    if (m_store.isCorrupt()) {
        CMessageBox::show(parentWidget(), m_store.corruptMessage(), CMessageBox::Icon::Stop);
        g_failuresInARow.fetch_add(1);
        return Failed;
    }
    m_firstStart = m_store.isFirstStart();
    prepareForm();
    return QDialog::exec();
}

void CLoginDialog::setTexts() {
    m_ui->hintLabel->setText(CatalogText(msg::LoginHint));
    m_ui->firstStartHintLabel->setText(CatalogText(msg::FirstAdminHint));
    m_ui->userNameLabel->setText(CatalogText(msg::LabelUserName));
    m_ui->passwordLabel->setText(CatalogText(msg::LabelUserPassword));
    m_ui->repeatLabel->setText(CatalogText(msg::LabelRepeatPassword));
    m_ui->adminButton->setText(CatalogText(msg::ButtonUserAdministration));
    m_ui->okButton->setText(CatalogText(msg::ButtonOk));
    m_ui->cancelButton->setText(CatalogText(msg::ButtonFormCancel));
}

void CLoginDialog::prepareForm() {
    // The mode decides which rows are laid out and what the window is called.
    setWindowTitle(CatalogText(m_firstStart ? msg::FirstAdminDlgTitle : msg::LoginDlgTitle));
    m_ui->hintLabel->setVisible(!m_firstStart);
    m_ui->firstStartHintLabel->setVisible(m_firstStart);
    m_ui->repeatLabel->setVisible(m_firstStart);
    m_ui->repeatEdit->setVisible(m_firstStart);
    m_ui->adminButton->setVisible(!m_firstStart);
    m_ui->passwordEdit->clear();
    m_ui->repeatEdit->clear();
    adjustSize(); // hidden rows of the other mode leave no gap
    updateOkButton();
    m_ui->userNameEdit->setFocus();
}

void CLoginDialog::updateOkButton() {
    m_ui->okButton->setEnabled(!m_ui->userNameEdit->text().isEmpty());
}

void CLoginDialog::reject() {
    if (!m_hashing.busy()) {
        done(Cancelled);
    }
}

void CLoginDialog::onOk() {
    if (m_hashing.busy() || m_ui->userNameEdit->text().isEmpty()) {
        return;
    }
    const QString name = m_ui->userNameEdit->text();
    const QString password = m_ui->passwordEdit->text();
    const QString repeat = m_ui->repeatEdit->text();
    m_ui->passwordEdit->clear();
    m_ui->repeatEdit->clear();
    if (m_firstStart) {
        createFirstAdministrator(name, password, repeat);
    } else {
        logIn(name, password);
    }
}

void CLoginDialog::setHashing(bool hashing) {
    // The form stays as typed but takes no second press while the hash runs.
    m_ui->okButton->setEnabled(!hashing && !m_ui->userNameEdit->text().isEmpty());
    m_ui->adminButton->setEnabled(!hashing);
    if (hashing) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void CLoginDialog::logIn(const QString& name, const QString& password) {
    setHashing(true);
    m_hashing.start([this, name, password] { return m_store.verify(name, password); },
                    [this, name](UserStore::Check check) {
                        setHashing(false);
                        loggedInOrNot(name, check);
                    });
}

void CLoginDialog::loggedInOrNot(const QString& name, UserStore::Check check) {
    switch (check) {
    case UserStore::Check::Ok: {
        const auto user = m_store.find(name);
        finishLoggedIn(name, user && user->role == UserStore::Role::Administrator);
        return;
    }
    case UserStore::Check::WrongPassword:
    case UserStore::Check::UnknownUser:
        CMessageBox::show(this, CatalogText(msg::LoginWrong), CMessageBox::Icon::Stop);
        finishFailed(true);
        return;
    case UserStore::Check::Corrupt:
        CMessageBox::show(this, m_store.corruptMessage(), CMessageBox::Icon::Stop);
        finishFailed(true);
        return;
    }
}

void CLoginDialog::createFirstAdministrator(const QString& name, const QString& password,
                                            const QString& repeat) {
    // Typing mistakes keep the dialog open: they are not failed logins.
    if (!UserStore::isValidName(name)) {
        CMessageBox::show(this, m_store.describe({UserStore::Status::InvalidName, name, {}}),
                          CMessageBox::Icon::Stop);
        m_ui->userNameEdit->setFocus();
        return;
    }
    if (!UserStore::isValidPassword(password)) {
        CMessageBox::show(this, m_store.describe({UserStore::Status::InvalidPassword, name, {}}),
                          CMessageBox::Icon::Stop);
        m_ui->passwordEdit->setFocus();
        return;
    }
    if (password != repeat) {
        CMessageBox::show(this, CatalogText(msg::PasswordsDiffer), CMessageBox::Icon::Stop);
        m_ui->passwordEdit->setFocus();
        return;
    }
    setHashing(true);
    m_hashing.start([this, name, password] { return m_store.createFirstAdministrator(name, password); },
                    [this, name](const UserStore::Result& result) {
                        setHashing(false);
                        administratorCreatedOrNot(name, result);
                    });
}

void CLoginDialog::administratorCreatedOrNot(const QString& name, const UserStore::Result& result) {
    switch (result.status) {
    case UserStore::Status::Ok:
        finishLoggedIn(name, true);
        return;
    case UserStore::Status::UsersExist:
    case UserStore::Status::Corrupt:
        // Somebody else changed the file meanwhile; the next showing starts from what is there.
        CMessageBox::show(this, m_store.describe(result), CMessageBox::Icon::Stop);
        finishFailed(false);
        return;
    default:
        CMessageBox::show(this, m_store.describe(result), CMessageBox::Icon::Stop);
        return;
    }
}

void CLoginDialog::finishLoggedIn(const QString& name, bool administrator) {
    m_userName = name;
    m_administrator = administrator;
    g_failuresInARow.store(0);
    done(LoggedIn);
}

void CLoginDialog::finishFailed(bool countIt) {
    if (countIt) {
        g_failuresInARow.fetch_add(1);
    }
    done(Failed);
}
