#pragma once

#include "common/BackgroundCall.h"
#include "users/UserStore.h"

#include <QDialog>

#include <memory>

namespace Ui {
class CLoginDialog;
}

// Asks who is at the keyboard before the main window opens. On a first start, with no
// users yet, it asks for the first administrator instead and logs that one in.
class CLoginDialog final : public QDialog {
    Q_OBJECT

public:
    // What exec() returns; any value other than these three is a failed attempt.
    enum Outcome { Failed = 0, LoggedIn = 1, Cancelled = 2, AdministrationAsked = 3 };

    // Works on the users file of the running program.
    explicit CLoginDialog(QWidget* parent = nullptr);
    CLoginDialog(const QString& usersPath, UserStore::HashCost cost, QWidget* parent = nullptr);
    ~CLoginDialog() override;

    // The most failed logins in a row that this process accepts. Once reached, every later
    // showing refuses at once, without asking for a password, until the program restarts.
    // 0 means no limit. The program sets 4, one more than its start-up loop ever allows,
    // so this only stops a caller that would keep showing the dialog without end.
    void setFailureLimit(int limit) { m_failureLimit = limit; }
    [[nodiscard]] int failureLimit() const { return m_failureLimit; }

    // Wrong passwords and unknown names show a message and return Failed; a corrupt users
    // file is reported and returns Failed without showing the form.
    int exec() override;

    // After LoggedIn: who logged in.
    [[nodiscard]] const QString& userName() const { return m_userName; }
    [[nodiscard]] bool isAdministrator() const { return m_administrator; }
    [[nodiscard]] const QString& usersPath() const { return m_store.path(); }

    // Failed logins are counted for the whole process; tests start from zero.
    static void resetFailureCountForTesting();

public Q_SLOTS:
    void reject() override;

private:
    void setTexts();
    void prepareForm();
    void updateOkButton();
    void onOk();
    void setHashing(bool hashing);
    void logIn(const QString& name, const QString& password);
    void loggedInOrNot(const QString& name, UserStore::Check check);
    void createFirstAdministrator(const QString& name, const QString& password, const QString& repeat);
    void administratorCreatedOrNot(const QString& name, const UserStore::Result& result);
    void finishLoggedIn(const QString& name, bool administrator);
    void finishFailed(bool countIt);

    std::unique_ptr<Ui::CLoginDialog> m_ui;
    UserStore m_store;
    QString m_userName;
    bool m_administrator = false;
    bool m_firstStart = false;
    int m_failureLimit = 0;
    // Last: it waits for a hash still running, which uses m_store.
    BackgroundCall m_hashing;
};
