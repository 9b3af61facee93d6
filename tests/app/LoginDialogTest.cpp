#include "support/DialogDriver.h"

#include "app/CLoginDialog.h"
#include "i18n/CatalogIds.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

using Role = UserStore::Role;
constexpr auto kFast = UserStore::HashCost::LowForTests;

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseShippedCatalog(Catalog::kEnglish);
        CLoginDialog::resetFailureCountForTesting();
    }
    void TearDown() override {
        UnloadCatalog();
        SetSystemLanguageIdForTesting(0);
        CLoginDialog::resetFailureCountForTesting();
    }

    void seed() {
        UserStore s(m_path, kFast);
        ASSERT_TRUE(s.add(u"root"_qs, Role::Administrator, u"rootpass1"_qs).ok());
        ASSERT_TRUE(s.add(u"ann"_qs, Role::User, u"annpass12"_qs).ok());
    }
    QByteArray contents() const {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // One showing with a name and password typed and OK pressed.
    int attempt(const QString& name, const QString& password, int failureLimit = 0) {
        CLoginDialog d(m_path, kFast);
        d.setFailureLimit(failureLimit);
        const int r = ExecWith(d, [&] {
            Type(d, "userNameEdit", name);
            Type(d, "passwordEdit", password);
            Click(d, "okButton");
        });
        m_lastUser = d.userName();
        return r;
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(u"tessavel.users"_qs);
    MessageBoxRecorder m_boxes;
    QString m_lastUser;
};

} // namespace

TEST_F(LoginDialogTest, RightPasswordLogsIn) {
    seed();
    CLoginDialog d(m_path, kFast);
    const int r = ExecWith(d, [&] {
        EXPECT_FALSE(Child<QPushButton>(d, "okButton")->isEnabled()) << "nothing to check without a name";
        EXPECT_FALSE(Child<QLineEdit>(d, "repeatEdit")->isVisible());
        EXPECT_TRUE(Child<QPushButton>(d, "adminButton")->isVisible());
        Type(d, "userNameEdit", u"root"_qs);
        Type(d, "passwordEdit", u"rootpass1"_qs);
        EXPECT_TRUE(Child<QPushButton>(d, "okButton")->isEnabled());
        Click(d, "okButton");
    });
    EXPECT_EQ(r, CLoginDialog::LoggedIn);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(d.userName(), u"root");
    EXPECT_TRUE(d.isAdministrator());
    EXPECT_TRUE(m_boxes.shown().empty());

    EXPECT_EQ(attempt(u"ann"_qs, u"annpass12"_qs), 1);
    EXPECT_EQ(m_lastUser, u"ann");
}

TEST_F(LoginDialogTest, OkReturnsAtOnceAndTheFormWaitsForTheHashWithoutASecondPress) {
    seed();
    CLoginDialog d(m_path, kFast);
    bool openAfterOk = false;
    bool okEnabledDuringHash = true;
    const int r = ExecWith(d, [&] {
        Type(d, "userNameEdit", u"root"_qs);
        Type(d, "passwordEdit", u"rootpass1"_qs);
        Click(d, "okButton");
        // The result comes back through the dialog's own loop, so the press has returned
        // with the form still open, and neither Escape nor a second OK ends it meanwhile.
        openAfterOk = d.isVisible();
        okEnabledDuringHash = Child<QPushButton>(d, "okButton")->isEnabled();
        QTest::keyClick(&d, Qt::Key_Escape);
        Click(d, "adminButton");
    });
    EXPECT_TRUE(openAfterOk);
    EXPECT_FALSE(okEnabledDuringHash);
    EXPECT_EQ(r, CLoginDialog::LoggedIn);
    EXPECT_EQ(d.userName(), u"root");
}

TEST_F(LoginDialogTest, EnterKeyPressesOk) {
    seed();
    CLoginDialog d(m_path, kFast);
    const int r = ExecWith(d, [&] {
        Type(d, "userNameEdit", u"ann"_qs);
        Type(d, "passwordEdit", u"annpass12"_qs);
        QTest::keyClick(Child<QLineEdit>(d, "passwordEdit"), Qt::Key_Return);
    });
    EXPECT_EQ(r, 1);
    EXPECT_FALSE(d.isAdministrator());
}

TEST_F(LoginDialogTest, WrongPasswordAndUnknownUserAreFailedAttemptsWithOneMessage) {
    seed();
    EXPECT_EQ(attempt(u"root"_qs, u"annpass12"_qs), CLoginDialog::Failed);
    EXPECT_TRUE(m_lastUser.isEmpty());
    EXPECT_EQ(attempt(u"nobody"_qs, u"rootpass1"_qs), CLoginDialog::Failed);
    EXPECT_EQ(attempt(u"root"_qs, u""_qs), CLoginDialog::Failed);
    ASSERT_EQ(m_boxes.shown().size(), 3u);
    // The same words for both, so the message does not tell which names exist.
    for (const auto& box : m_boxes.shown()) {
        EXPECT_EQ(box.text, u"The user name or password is wrong.");
        EXPECT_EQ(box.icon, CMessageBox::Icon::Stop);
    }
}

TEST_F(LoginDialogTest, CancelAndEscapeReturnTwo) {
    seed();
    CLoginDialog d(m_path, kFast);
    EXPECT_EQ(ExecWith(d,
                       [&] {
                           Type(d, "userNameEdit", u"root"_qs);
                           Type(d, "passwordEdit", u"rootpass1"_qs);
                           Click(d, "cancelButton");
                       }),
              CLoginDialog::Cancelled);
    EXPECT_TRUE(d.userName().isEmpty());
    CLoginDialog e(m_path, kFast);
    EXPECT_EQ(ExecWith(e, [&] { QTest::keyClick(&e, Qt::Key_Escape); }), 2);
    CLoginDialog f(m_path, kFast);
    EXPECT_EQ(ExecWith(f, [&] { f.close(); }), 2);
    EXPECT_TRUE(m_boxes.shown().empty());
}

TEST_F(LoginDialogTest, UserAdministrationReturnsThreeWithoutLoggingIn) {
    seed();
    CLoginDialog d(m_path, kFast);
    EXPECT_EQ(ExecWith(d,
                       [&] {
                           Type(d, "userNameEdit", u"root"_qs);
                           Type(d, "passwordEdit", u"rootpass1"_qs);
                           Click(d, "adminButton");
                       }),
              CLoginDialog::AdministrationAsked);
    EXPECT_TRUE(d.userName().isEmpty());
    EXPECT_TRUE(m_boxes.shown().empty());
}

TEST_F(LoginDialogTest, CorruptUsersFileRefusesEveryLoginWithoutShowingTheForm) {
    seed();
    QByteArray bad = contents();
    bad.replace(":admin:", ":boss:");
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bad);
    }
    for (int showing = 0; showing < 3; ++showing) {
        CLoginDialog d(m_path, kFast);
        bool shown = false;
        EXPECT_EQ(ExecWith(
                      d, [&] { d.done(1); }, &shown),
                  CLoginDialog::Failed);
        EXPECT_FALSE(shown);
    }
    ASSERT_EQ(m_boxes.shown().size(), 3u);
    const QString text = m_boxes.shown().front().text;
    EXPECT_TRUE(text.contains(m_path)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"cannot be used"_qs)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Every login is refused"_qs)) << text.toStdString();
    EXPECT_EQ(m_boxes.shown().front().icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(contents(), bad);
}

TEST_F(LoginDialogTest, FileDamagedWhileTheFormIsOpenIsStillRefused) {
    seed();
    CLoginDialog d(m_path, kFast);
    const int r = ExecWith(d, [&] {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("nonsense\n");
        f.close();
        Type(d, "userNameEdit", u"root"_qs);
        Type(d, "passwordEdit", u"rootpass1"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(r, CLoginDialog::Failed);
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_TRUE(m_boxes.shown().front().text.contains(u"cannot be used"_qs));
}

TEST_F(LoginDialogTest, FirstStartCreatesTheFirstAdministratorAndLogsIn) {
    CLoginDialog d(m_path, kFast);
    const int r = ExecWith(d, [&] {
        EXPECT_EQ(d.windowTitle(), u"Create the First Administrator");
        EXPECT_TRUE(Child<QLineEdit>(d, "repeatEdit")->isVisible());
        EXPECT_FALSE(Child<QPushButton>(d, "adminButton")->isVisible());
        EXPECT_TRUE(Child<QLabel>(d, "firstStartHintLabel")->isVisible());
        EXPECT_FALSE(Child<QLabel>(d, "hintLabel")->isVisible());

        Type(d, "userNameEdit", u"boss"_qs);
        Type(d, "passwordEdit", u"bosspass1"_qs);
        Type(d, "repeatEdit", u"bosspass2"_qs);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible()) << "a typing mistake keeps the form open";
        EXPECT_FALSE(QFile::exists(m_path));

        Type(d, "passwordEdit", u"short"_qs);
        Type(d, "repeatEdit", u"short"_qs);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible());

        Type(d, "userNameEdit", u"the boss"_qs);
        Type(d, "passwordEdit", u"bosspass1"_qs);
        Type(d, "repeatEdit", u"bosspass1"_qs);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(QFile::exists(m_path));

        Type(d, "userNameEdit", u"boss"_qs);
        Type(d, "passwordEdit", u"bosspass1"_qs);
        Type(d, "repeatEdit", u"bosspass1"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(r, CLoginDialog::LoggedIn);
    EXPECT_EQ(d.userName(), u"boss");
    EXPECT_TRUE(d.isAdministrator());
    EXPECT_EQ(m_boxes.texts(),
              (QStringList{u"The passwords do not match."_qs, u"A password must have 8 to 255 characters."_qs,
                           CatalogText(msg::UserNameRules, {u"64"_qs})}));

    UserStore s(m_path);
    ASSERT_TRUE(s.load().ok());
    EXPECT_EQ(s.users(), (QList<UserStore::User>{{u"boss"_qs, Role::Administrator}}));
    EXPECT_EQ(s.verify(u"boss"_qs, u"bosspass1"_qs), UserStore::Check::Ok);

    // From now on the ordinary form shows.
    CLoginDialog next(m_path, kFast);
    ExecWith(next, [&] {
        EXPECT_EQ(next.windowTitle(), u"Log In");
        EXPECT_FALSE(Child<QLineEdit>(next, "repeatEdit")->isVisible());
        next.reject();
    });
}

TEST_F(LoginDialogTest, FirstStartCancelledCreatesNothing) {
    CLoginDialog d(m_path, kFast);
    EXPECT_EQ(ExecWith(d,
                       [&] {
                           Type(d, "userNameEdit", u"boss"_qs);
                           Click(d, "cancelButton");
                       }),
              2);
    EXPECT_FALSE(QFile::exists(m_path));
}

TEST_F(LoginDialogTest, FirstStartLosesToUsersCreatedMeanwhile) {
    CLoginDialog d(m_path, kFast);
    const int r = ExecWith(d, [&] {
        UserStore elsewhere(m_path, kFast);
        ASSERT_TRUE(elsewhere.add(u"root"_qs, Role::Administrator, u"rootpass1"_qs).ok());
        Type(d, "userNameEdit", u"intruder"_qs);
        Type(d, "passwordEdit", u"intruder1"_qs);
        Type(d, "repeatEdit", u"intruder1"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(r, CLoginDialog::Failed);
    EXPECT_TRUE(d.userName().isEmpty());
    EXPECT_EQ(m_boxes.texts(), QStringList{CatalogText(msg::UsersAlreadyCreated)});
    UserStore s(m_path);
    ASSERT_TRUE(s.load().ok());
    EXPECT_FALSE(s.find(u"intruder"_qs));
}

TEST_F(LoginDialogTest, FailureLimitRefusesFurtherShowings) {
    seed();
    EXPECT_EQ(attempt(u"root"_qs, u"wrong-one"_qs, 2), 0);
    EXPECT_EQ(attempt(u"root"_qs, u"rootpass1"_qs, 2), 1) << "one failure is below the limit";
    EXPECT_EQ(attempt(u"root"_qs, u"wrong-one"_qs, 2), 0) << "a login starts the count again";
    EXPECT_EQ(attempt(u"root"_qs, u"wrong-two"_qs, 2), 0);
    m_boxes.clear();
    CLoginDialog d(m_path, kFast);
    d.setFailureLimit(2);
    EXPECT_EQ(d.failureLimit(), 2);
    bool shown = false;
    EXPECT_EQ(ExecWith(
                  d, [&] { d.done(1); }, &shown),
              0);
    EXPECT_FALSE(shown);
    EXPECT_EQ(m_boxes.texts(), QStringList{CatalogText(msg::LoginLockedOut)});
    // Without a limit the same process may keep asking.
    EXPECT_EQ(attempt(u"root"_qs, u"rootpass1"_qs, 0), 1);
}
