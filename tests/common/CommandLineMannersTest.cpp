#include "common/CommandLineManners.h"
#include "app/DesktopCommandLine.h"
#include "common/InstallLayout.h"
#include "i18n/CatalogIds.h"
#include "support/CatalogFixture.h"
#include "users/UserStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Answer = EarlyOptions::Answer;

Answer answerFor(const QStringList& args) {
    return EarlyOptions::check(args).answer;
}

DesktopCommandLine::Environment withDisplay() {
    DesktopCommandLine::Environment env;
    env.display = QStringLiteral(":0");
    return env;
}

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

TEST(EarlyOptionsTest, VersionAndHelpAnswerOnlyWhenAlone) {
    EXPECT_EQ(answerFor({u"--version"_qs}), Answer::Version);
    EXPECT_EQ(answerFor({u"--help"_qs}), Answer::Help);
    EXPECT_EQ(answerFor({}), Answer::None);
    EXPECT_EQ(answerFor({u"list"_qs, u"--json"_qs}), Answer::None);

    const EarlyOptions mixed = EarlyOptions::check({u"--ini"_qs, u"x.INI"_qs, u"--help"_qs});
    EXPECT_EQ(mixed.answer, Answer::Misuse);
    EXPECT_EQ(mixed.option, u"--help");
    EXPECT_EQ(answerFor({u"--version"_qs, u"list"_qs}), Answer::Misuse);
    // Both together: the first one is what the message names.
    const EarlyOptions both = EarlyOptions::check({u"--help"_qs, u"--version"_qs});
    EXPECT_EQ(both.answer, Answer::Misuse);
    EXPECT_EQ(both.option, u"--help");
}

TEST(EarlyOptionsTest, LookalikesAndOperandsAreLeftToTheProgram) {
    EXPECT_EQ(answerFor({u"--versions"_qs}), Answer::None);
    EXPECT_EQ(answerFor({u"-version"_qs}), Answer::None);
    EXPECT_EQ(answerFor({u"--help=all"_qs}), Answer::None);
    // After "--" a file may be called --help.
    EXPECT_EQ(answerFor({u"--"_qs, u"--help"_qs}), Answer::None);
}

TEST(EarlyOptionsTest, VersionLineNamesProgramAndProjectVersion) {
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(ProjectVersion()).hasMatch())
        << ProjectVersion().toStdString();
    EXPECT_EQ(VersionLine(u"tessavelctl"_qs), u"tessavelctl "_qs + ProjectVersion());
}

TEST(DesktopCommandLineTest, VersionAndHelpNeedNoDisplay) {
    const ShippedCatalog catalog;
    const DesktopCommandLine::Environment none;
    const auto version = DesktopCommandLine::beforeApplication({u"--version"_qs}, none);
    EXPECT_FALSE(version.run);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.text, VersionLine(u"tessavel"_qs));

    const auto help = DesktopCommandLine::beforeApplication({u"--help"_qs}, none);
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.text, CatalogText(msg::DesktopUsage) + u'\n' + CatalogText(msg::DesktopLanguageUsage));
    EXPECT_TRUE(help.text.contains(u"--version")) << help.text.toStdString();
    EXPECT_TRUE(help.text.contains(u"--language en|zh")) << help.text.toStdString();
}

// --language takes en or zh, is refused with anything else, and is no file to open.
TEST(DesktopCommandLineTest, LanguageIsAnOptionWithTwoValues) {
    const ShippedCatalog catalog;
    for (const QStringList& good :
         {QStringList{u"--language"_qs, u"zh"_qs}, QStringList{u"--language=en"_qs}}) {
        EXPECT_TRUE(DesktopCommandLine::beforeApplication(good, withDisplay()).run)
            << good.join(u' ').toStdString();
        const auto after =
            DesktopCommandLine::afterApplication(good + QStringList{u"hall.qv1"_qs}, u"/tmp"_qs);
        EXPECT_TRUE(after.run);
        EXPECT_EQ(after.fileToOpen, u"/tmp/hall.qv1");
    }
    for (const QStringList& bad : {QStringList{u"--language"_qs, u"fr"_qs}, QStringList{u"--language"_qs},
                                   QStringList{u"--language="_qs}, QStringList{u"--language=ZH"_qs}}) {
        const auto d = DesktopCommandLine::beforeApplication(bad, withDisplay());
        EXPECT_FALSE(d.run) << bad.join(u' ').toStdString();
        EXPECT_EQ(d.exitCode, 2);
        EXPECT_TRUE(d.text.contains(u"use en or zh")) << d.text.toStdString();
    }
    // After "--" it is a file name like any other.
    EXPECT_EQ(DesktopCommandLine::afterApplication({u"--"_qs, u"--language"_qs}, u"/tmp"_qs).fileToOpen,
              u"/tmp/--language");
}

TEST(DesktopCommandLineTest, MixedVersionIsBadUsageWithAReadableText) {
    const ShippedCatalog catalog;
    const auto d = DesktopCommandLine::beforeApplication({u"picture.qv1"_qs, u"--version"_qs}, withDisplay());
    EXPECT_FALSE(d.run);
    EXPECT_EQ(d.exitCode, 2);
    EXPECT_TRUE(d.text.startsWith(CatalogText(msg::OptionStandsAlone, {u"--version"_qs})))
        << d.text.toStdString();
    EXPECT_TRUE(d.text.contains(u"--version cannot be combined")) << d.text.toStdString();
}

TEST(DesktopCommandLineTest, AMissingDisplayIsSaidBeforeQtTriesOne) {
    const ShippedCatalog catalog;
    const auto none = DesktopCommandLine::beforeApplication({}, {});
    EXPECT_FALSE(none.run);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.text, CatalogText(msg::NoDisplay));
    EXPECT_TRUE(none.text.contains(u"DISPLAY"));

    DesktopCommandLine::Environment wayland;
    wayland.waylandDisplay = QStringLiteral("wayland-0");
    EXPECT_TRUE(DesktopCommandLine::beforeApplication({}, wayland).run);
    EXPECT_TRUE(DesktopCommandLine::beforeApplication({}, withDisplay()).run);
    DesktopCommandLine::Environment platform;
    platform.platform = QStringLiteral("offscreen");
    EXPECT_TRUE(DesktopCommandLine::beforeApplication({}, platform).run);
    // A platform on the command line counts too, in each of Qt's spellings.
    EXPECT_TRUE(DesktopCommandLine::beforeApplication({u"-platform"_qs, u"offscreen"_qs}, {}).run);
    EXPECT_TRUE(DesktopCommandLine::beforeApplication({u"--platform=offscreen"_qs}, {}).run);
    // ...but not a file name after "--".
    EXPECT_FALSE(DesktopCommandLine::beforeApplication({u"--"_qs, u"-platform"_qs}, {}).run);
}

TEST(DesktopCommandLineTest, OneFileIsOpenedAndEverythingElseRefused) {
    const ShippedCatalog catalog;
    const QString cwd = QStringLiteral("/home/op/pictures");
    const auto none = DesktopCommandLine::afterApplication({}, cwd);
    EXPECT_TRUE(none.run);
    EXPECT_TRUE(none.fileToOpen.isEmpty());

    const auto one = DesktopCommandLine::afterApplication({u"hall.qv1"_qs}, cwd);
    EXPECT_TRUE(one.run);
    EXPECT_EQ(one.fileToOpen, u"/home/op/pictures/hall.qv1");
    EXPECT_EQ(DesktopCommandLine::afterApplication({u"/tmp/a.png"_qs}, cwd).fileToOpen, u"/tmp/a.png");
    EXPECT_EQ(DesktopCommandLine::afterApplication({u"--"_qs, u"-odd.png"_qs}, cwd).fileToOpen,
              u"/home/op/pictures/-odd.png");

    const auto unknown = DesktopCommandLine::afterApplication({u"--frobnicate"_qs}, cwd);
    EXPECT_FALSE(unknown.run);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.text.startsWith(CatalogText(msg::CtlUnknownOption, {u"--frobnicate"_qs})));
    EXPECT_EQ(DesktopCommandLine::afterApplication({u"a.png"_qs, u"-x"_qs}, cwd).exitCode, 2);

    const auto two = DesktopCommandLine::afterApplication({u"a.png"_qs, u"b.png"_qs}, cwd);
    EXPECT_FALSE(two.run);
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_TRUE(two.text.startsWith(CatalogText(msg::DesktopOneFile)));
}

TEST(InstallLayoutTest, AnInstalledBinaryFolderIsKnownByItsDataFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(u"usr/bin"_qs);
    QDir().mkpath(bin);
    EXPECT_EQ(InstallLayout::dataDirFor(bin), root.filePath(u"usr/share/tessavel"_qs));
    EXPECT_FALSE(InstallLayout::isInstalledBinDir(bin)); // no data folder yet

    touch(QDir(InstallLayout::dataDirFor(bin)).filePath(u"Pellatic.cat"_qs));
    EXPECT_TRUE(InstallLayout::isInstalledBinDir(bin));

    // Catalogs beside the programs: a build folder or a copy of its own, whatever lies around it.
    touch(QDir(bin).filePath(u"Pellatic.cat"_qs));
    EXPECT_FALSE(InstallLayout::isInstalledBinDir(bin));
    EXPECT_FALSE(InstallLayout::isInstalledBinDir(QString()));
}

TEST(InstallLayoutTest, UsersOfAnInstalledProgramLiveInTheConfigurationFolderEvenWhenItsFolderIsWritable) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(u"usr/bin"_qs);
    QDir().mkpath(bin);
    const QString program = QDir(bin).filePath(u"tessavel"_qs);
    ASSERT_TRUE(QFileInfo(bin).isWritable());
    // Not installed yet: the writable folder holds the users file, as it always did.
    EXPECT_EQ(UserStore::defaultPathForProgram(program), QDir(bin).filePath(u"tessavel.users"_qs));

    touch(QDir(InstallLayout::dataDirFor(bin)).filePath(u"Pellatic.cat"_qs));
    const QString installed = UserStore::defaultPathForProgram(program);
    EXPECT_FALSE(installed.startsWith(root.path())) << installed.toStdString();
    EXPECT_TRUE(installed.endsWith(u"/tessavel.users")) << installed.toStdString();
}
