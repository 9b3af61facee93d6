#include "support/DialogDriver.h"

#include "app/CUserCfgDialog.h"
#include "i18n/CatalogIds.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

using Role = UserStore::Role;
using Check = UserStore::Check;
constexpr auto kFast = UserStore::HashCost::LowForTests;

class UserCfgDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseShippedCatalog(Catalog::kEnglish);
        UserStore s(m_path, kFast);
        ASSERT_TRUE(s.add(u"root"_qs, Role::Administrator, u"rootpass1"_qs).ok());
        ASSERT_TRUE(s.add(u"ann"_qs, Role::User, u"annpass12"_qs).ok());
    }
    void TearDown() override {
        UnloadCatalog();
        SetSystemLanguageIdForTesting(0);
    }

    CUserCfgDialog::Options options(const QString& admin = {}) const { return {m_path, admin, kFast}; }
    QByteArray contents() const {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QStringList rows(CUserCfgDialog& d) {
        QStringList r;
        auto* list = Child<QTreeWidget>(d, "userList");
        for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
            r << list->topLevelItem(i)->text(0) + u'/' + list->topLevelItem(i)->text(1);
        }
        return r;
    }
    // Presses a button that may hash a password, and waits until the dialog takes input again.
    static void press(CUserCfgDialog& d, const char* button) {
        Click(d, button);
        EXPECT_TRUE(QTest::qWaitFor([&] { return d.isEnabled(); }, 20000)) << button;
    }
    static void select(CUserCfgDialog& d, const QString& name) {
        auto* list = Child<QTreeWidget>(d, "userList");
        const auto found = list->findItems(name, Qt::MatchExactly, 0);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        list->setCurrentItem(found.first());
    }
    static void fillNewUser(CUserCfgDialog& d, const QString& name, const QString& pw, const QString& repeat,
                            bool admin = false) {
        Type(d, "nameEdit", name);
        Type(d, "passwordEdit", pw);
        Type(d, "repeatEdit", repeat);
        Child<QCheckBox>(d, "adminCheck")->setChecked(admin);
    }
    static bool editable(CUserCfgDialog& d) {
        const bool add = Child<QPushButton>(d, "addButton")->isEnabled();
        EXPECT_EQ(add, Child<QPushButton>(d, "removeButton")->isEnabled());
        EXPECT_EQ(add, Child<QPushButton>(d, "passwordButton")->isEnabled());
        EXPECT_EQ(add, Child<QLineEdit>(d, "nameEdit")->isEnabled());
        EXPECT_EQ(add, !Child<QPushButton>(d, "signInButton")->isEnabled());
        return add;
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(u"tessavel.users"_qs);
    MessageBoxRecorder m_boxes;
};

} // namespace

TEST_F(UserCfgDialogTest, NothingCanBeChangedOrSeenBeforeAnAdministratorSignsIn) {
    const QByteArray before = contents();
    CUserCfgDialog d(options());
    ExecWith(d, [&] {
        EXPECT_FALSE(editable(d));
        EXPECT_TRUE(rows(d).isEmpty()) << "names are for administrators only";
        fillNewUser(d, u"eve"_qs, u"evepass12"_qs, u"evepass12"_qs, true);
        press(d, "addButton");
        Click(d, "removeButton");
        press(d, "passwordButton");

        // A user who is no administrator, with the right password.
        Type(d, "adminNameEdit", u"ann"_qs);
        Type(d, "adminPasswordEdit", u"annpass12"_qs);
        press(d, "signInButton");
        EXPECT_FALSE(editable(d));
        // An administrator with a wrong password, and an unknown name.
        Type(d, "adminNameEdit", u"root"_qs);
        Type(d, "adminPasswordEdit", u"annpass12"_qs);
        press(d, "signInButton");
        Type(d, "adminNameEdit", u"nobody"_qs);
        Type(d, "adminPasswordEdit", u"rootpass1"_qs);
        press(d, "signInButton");
        EXPECT_FALSE(editable(d));
        EXPECT_TRUE(rows(d).isEmpty());
        EXPECT_TRUE(d.administrator().isEmpty());
        Click(d, "closeButton");
    });
    EXPECT_EQ(contents(), before);
    const QString refused = CatalogText(msg::AdministratorRequired);
    EXPECT_EQ(m_boxes.texts(), (QStringList{refused, refused, refused}));
}

TEST_F(UserCfgDialogTest, SigningInAsAdministratorUnlocksTheList) {
    CUserCfgDialog d(options());
    ExecWith(d, [&] {
        Type(d, "adminNameEdit", u"root"_qs);
        Type(d, "adminPasswordEdit", u"rootpass1"_qs);
        QTest::keyClick(Child<QLineEdit>(d, "adminPasswordEdit"), Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.isEnabled(); }, 20000));
        EXPECT_TRUE(editable(d));
        EXPECT_EQ(d.administrator(), u"root");
        EXPECT_EQ(rows(d), (QStringList{u"root/Administrator"_qs, u"ann/User"_qs}));
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(), u"Signed in as root.");
        EXPECT_TRUE(Child<QLineEdit>(d, "adminPasswordEdit")->text().isEmpty());
        d.accept();
    });
    EXPECT_TRUE(m_boxes.shown().empty());
}

TEST_F(UserCfgDialogTest, AnAdministratorHandedInNeedNotSignInAgain) {
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        EXPECT_TRUE(editable(d));
        EXPECT_EQ(rows(d).size(), 2);
        d.accept();
    });
    // A name that is not an administrator's gives no rights.
    for (const QString& who : {u"ann"_qs, u"ghost"_qs}) {
        CUserCfgDialog other(options(who));
        ExecWith(other, [&] {
            EXPECT_FALSE(editable(other));
            EXPECT_TRUE(other.administrator().isEmpty());
            other.accept();
        });
    }
}

TEST_F(UserCfgDialogTest, AddsUsersAndRefusesBadInput) {
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        fillNewUser(d, u"bea"_qs, u"beapass12"_qs, u"beapass12"_qs);
        press(d, "addButton");
        fillNewUser(d, u"boss"_qs, u"bosspass1"_qs, u"bosspass1"_qs, true);
        press(d, "addButton");
        EXPECT_EQ(rows(d), (QStringList{u"root/Administrator"_qs, u"ann/User"_qs, u"bea/User"_qs,
                                        u"boss/Administrator"_qs}));
        EXPECT_TRUE(Child<QLineEdit>(d, "nameEdit")->text().isEmpty());
        ASSERT_TRUE(m_boxes.shown().empty());

        fillNewUser(d, u"cid"_qs, u"cidpass12"_qs, u"cidpass13"_qs);
        press(d, "addButton");
        fillNewUser(d, u"ann"_qs, u"annpass99"_qs, u"annpass99"_qs);
        press(d, "addButton");
        fillNewUser(d, u"cid"_qs, u"short"_qs, u"short"_qs);
        press(d, "addButton");
        fillNewUser(d, u"c:d"_qs, u"cidpass12"_qs, u"cidpass12"_qs);
        press(d, "addButton");
        EXPECT_EQ(rows(d).size(), 4);
        d.accept();
    });
    EXPECT_EQ(m_boxes.texts(),
              (QStringList{u"The passwords do not match."_qs, u"A user named \"ann\" already exists."_qs,
                           u"A password must have 8 to 255 characters."_qs,
                           CatalogText(msg::UserNameRules, {u"64"_qs})}));
    UserStore s(m_path);
    EXPECT_EQ(s.verify(u"bea"_qs, u"beapass12"_qs), Check::Ok);
    EXPECT_EQ(s.verify(u"ann"_qs, u"annpass12"_qs), Check::Ok) << "the refused duplicate changed nothing";
    EXPECT_EQ(s.find(u"boss"_qs)->role, Role::Administrator);
    EXPECT_EQ(s.find(u"bea"_qs)->role, Role::User);
    EXPECT_FALSE(s.find(u"cid"_qs));
}

TEST_F(UserCfgDialogTest, RemovesAfterConfirmationButKeepsTheLastAdministrator) {
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        Child<QTreeWidget>(d, "userList")->clearSelection();
        Click(d, "removeButton");
        select(d, u"ann"_qs);
        m_boxes.answer(QMessageBox::No);
        Click(d, "removeButton");
        EXPECT_EQ(rows(d).size(), 2);
        m_boxes.answer(QMessageBox::Yes);
        Click(d, "removeButton");
        EXPECT_EQ(rows(d), QStringList{u"root/Administrator"_qs});
        select(d, u"root"_qs);
        Click(d, "removeButton");
        EXPECT_EQ(rows(d), QStringList{u"root/Administrator"_qs});
        d.accept();
    });
    ASSERT_EQ(m_boxes.shown().size(), 5u);
    EXPECT_EQ(m_boxes.shown()[0].text, CatalogText(msg::SelectUserFirst));
    EXPECT_EQ(m_boxes.shown()[1].text, u"Remove the user \"ann\"?");
    EXPECT_EQ(m_boxes.shown()[1].icon, CMessageBox::Icon::Question);
    EXPECT_EQ(m_boxes.shown()[1].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(m_boxes.shown()[3].text, u"Remove the user \"root\"?");
    EXPECT_EQ(m_boxes.shown()[4].text, u"The last administrator cannot be removed.");
    UserStore s(m_path);
    ASSERT_TRUE(s.load().ok());
    EXPECT_EQ(s.users(), (QList<UserStore::User>{{u"root"_qs, Role::Administrator}}));
}

TEST_F(UserCfgDialogTest, RemovingOneselfEndsTheRights) {
    {
        UserStore s(m_path, kFast);
        ASSERT_TRUE(s.add(u"boss"_qs, Role::Administrator, u"bosspass1"_qs).ok());
    }
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        select(d, u"root"_qs);
        Click(d, "removeButton");
        EXPECT_FALSE(editable(d));
        EXPECT_TRUE(rows(d).isEmpty());
        d.accept();
    });
    UserStore s(m_path);
    ASSERT_TRUE(s.load().ok());
    EXPECT_FALSE(s.find(u"root"_qs));
}

TEST_F(UserCfgDialogTest, ChangesAPassword) {
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        select(d, u"ann"_qs);
        Type(d, "passwordEdit", u"fresh-pass"_qs);
        Type(d, "repeatEdit", u"fresh-pasS"_qs);
        press(d, "passwordButton");
        Type(d, "passwordEdit", u"fresh-pass"_qs);
        Type(d, "repeatEdit", u"fresh-pass"_qs);
        press(d, "passwordButton");
        d.accept();
    });
    EXPECT_EQ(m_boxes.texts(), (QStringList{u"The passwords do not match."_qs,
                                            u"The password of \"ann\" has been changed."_qs}));
    EXPECT_EQ(m_boxes.shown().back().icon, CMessageBox::Icon::Information);
    UserStore s(m_path);
    EXPECT_EQ(s.verify(u"ann"_qs, u"annpass12"_qs), Check::WrongPassword);
    EXPECT_EQ(s.verify(u"ann"_qs, u"fresh-pass"_qs), Check::Ok);
    EXPECT_EQ(s.verify(u"root"_qs, u"rootpass1"_qs), Check::Ok);
}

TEST_F(UserCfgDialogTest, RightsAreCheckedAgainBeforeEveryChange) {
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        // Meanwhile another administrator takes root's rights away with the tool.
        UserStore elsewhere(m_path, kFast);
        ASSERT_TRUE(elsewhere.add(u"boss"_qs, Role::Administrator, u"bosspass1"_qs).ok());
        ASSERT_TRUE(elsewhere.remove(u"root"_qs).ok());
        fillNewUser(d, u"eve"_qs, u"evepass12"_qs, u"evepass12"_qs, true);
        press(d, "addButton");
        EXPECT_FALSE(editable(d));
        d.accept();
    });
    EXPECT_EQ(m_boxes.texts(), QStringList{CatalogText(msg::AdministratorRequired)});
    UserStore s(m_path);
    ASSERT_TRUE(s.load().ok());
    EXPECT_FALSE(s.find(u"eve"_qs));
}

TEST_F(UserCfgDialogTest, CorruptFileIsReportedAndNotOpened) {
    const QByteArray bad = "tessavel-users 1\nroot:admin:rootpass1\n";
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bad);
    }
    CUserCfgDialog d(options(u"root"_qs));
    bool shown = false;
    EXPECT_EQ(ExecWith(
                  d, [&] { d.accept(); }, &shown),
              QDialog::Rejected);
    EXPECT_FALSE(shown);
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    EXPECT_TRUE(m_boxes.shown().front().text.contains(u"cannot be used"_qs));
    EXPECT_TRUE(m_boxes.shown().front().text.contains(u"line 2"_qs));
    EXPECT_EQ(contents(), bad);
}

TEST_F(UserCfgDialogTest, FailedWriteIsReportedWithTheSystemsReason) {
    // Near the file-name limit the file reads but its temporary cannot be made.
    const QString longPath = m_dir.filePath(QString(252, u'u'));
    ASSERT_TRUE(QFile::rename(m_path, longPath));
    m_path = longPath;
    const QByteArray before = contents();
    CUserCfgDialog d(options(u"root"_qs));
    ExecWith(d, [&] {
        fillNewUser(d, u"bea"_qs, u"beapass12"_qs, u"beapass12"_qs);
        press(d, "addButton");
        EXPECT_EQ(rows(d).size(), 2);
        d.accept();
    });
    ASSERT_EQ(m_boxes.shown().size(), 1u);
    const QString text = m_boxes.shown().front().text;
    const QString prefix = u"The users file could not be saved to \""_qs + m_path + u"\": "_qs;
    EXPECT_TRUE(text.startsWith(prefix)) << text.toStdString();
    EXPECT_GT(text.size(), prefix.size()) << "the reason is missing";
    EXPECT_EQ(m_boxes.shown().front().icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(contents(), before);
}

TEST_F(UserCfgDialogTest, TextsComeFromTheCatalog) {
    CUserCfgDialog d(options());
    ExecWith(d, [&] {
        EXPECT_EQ(d.windowTitle(), u"User Administration");
        auto* header = Child<QTreeWidget>(d, "userList")->headerItem();
        EXPECT_EQ(header->text(0), u"User Name");
        EXPECT_EQ(header->text(1), u"Role");
        EXPECT_EQ(Child<QPushButton>(d, "closeButton")->text(), u"Close");
        EXPECT_EQ(Child<QCheckBox>(d, "adminCheck")->text(), u"Administrator");
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(), u"Sign in as an administrator to change users.");
        d.accept();
    });
    UseShippedCatalog(Catalog::kSimplifiedChinese);
    CUserCfgDialog zh(options(u"root"_qs));
    ExecWith(zh, [&] {
        EXPECT_EQ(zh.windowTitle(), u"用户管理");
        EXPECT_EQ(rows(zh), (QStringList{u"root/管理员"_qs, u"ann/用户"_qs}));
        zh.accept();
    });
}
