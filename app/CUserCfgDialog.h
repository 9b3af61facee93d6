#pragma once

#include "common/BackgroundCall.h"
#include "users/UserStore.h"

#include <QDialog>
#include <QPointer>

#include <memory>

namespace Ui {
class CUserCfgDialog;
}

// Lists the users and lets an administrator add and remove them and change passwords.
// Until an administrator has signed in, the list stays empty and nothing can be changed;
// every change checks again that the one signed in is still an administrator.
class CUserCfgDialog final : public QDialog {
    Q_OBJECT

public:
    struct Options final {
        QString usersPath; // empty: the users file of the running program
        // An administrator who has just logged in, so the dialog need not ask again.
        // Empty: the dialog asks for an administrator's name and password first.
        QString administrator;
        UserStore::HashCost cost = UserStore::HashCost::Interactive;
    };

    explicit CUserCfgDialog(QWidget* parent = nullptr);
    explicit CUserCfgDialog(const Options& options, QWidget* parent = nullptr);
    ~CUserCfgDialog() override;

    // A corrupt users file is reported and the dialog does not open.
    int exec() override;

    // Empty while nobody has signed in.
    [[nodiscard]] const QString& administrator() const { return m_administrator; }

private:
    void setTexts();
    void updateState();
    void fillList();
    [[nodiscard]] QString selectedUser() const;
    // The selected user; with none, tells the user to pick one first.
    QString selectedUserOrAsk();
    bool stillAdministrator();
    bool passwordsAgree();
    void report(const UserStore::Result& result);
    void onSignIn();
    void onAdd();
    void onRemove();
    void onChangePassword();
    void signedInOrNot(const QString& name, UserStore::Check check);
    void addedOrNot(const QString& name, const UserStore::Result& result);
    void passwordChangedOrNot(const QString& name, const UserStore::Result& result);

    // Hashes a password off the interface thread. The dialog takes no input meanwhile, so
    // nothing is pressed twice; then done(result) runs with the dialog as it was.
    template <typename Work, typename Done> void startHashing(Work work, Done done) {
        setHashing(true);
        m_hashing.start(std::move(work), [this, done](auto&& result) {
            setHashing(false);
            done(result);
        });
    }
    void setHashing(bool hashing);

    std::unique_ptr<Ui::CUserCfgDialog> m_ui;
    UserStore m_store;
    QString m_administrator;
    QPointer<QWidget> m_focusBeforeHashing;
    // Last: it waits for a hash still running, which uses m_store.
    BackgroundCall m_hashing;
};
