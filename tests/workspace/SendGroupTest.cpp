#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/Emulators.h"
#include "workspace/CImageSendDlg.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// This test's own loopback range.
constexpr quint32 kFirst = 0x7F000B15u; // 127.0.11.21
constexpr quint32 kLast = 0x7F000B28u;  // 127.0.11.40

} // namespace

TEST(SendGroup, CheckGroupTicksExactlyTheMembersAndOnlyTheyGetThePicture) {
    ShippedCatalog catalog;
    MessageBoxRecorder boxes;
    Emulators emus{kFirst, kLast};
    QList<ProjectorEmulator*> all;
    for (int i = 0; i < 4; ++i) {
        all << emus.add();
        ASSERT_NE(all.last(), nullptr);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"slide.qv1"_qs);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(30000, 'p'));
    f.close();

    CImageSendDlg d(0, nullptr);
    for (ProjectorEmulator* e : all) {
        d.DataAdd(Ipv4::toText(e->address()), e->address(), 0, "", "", -1, -1);
    }
    d.m_imagePath = path;
    d.setPictureSize(100, 80);
    d.setCommandContext(FastContext());
    // The group holds the first three and one address the dialog does not list.
    d.setGroups({{u"Floor 1"_qs, {all[3]->address()}},
                 {u"Floor 2"_qs, {all[0]->address(), 0x0A0A0A0A, all[1]->address(), all[2]->address()}}});
    d.show();
    auto* choice = Child<QComboBox>(d, "groupCombo");
    ASSERT_NE(choice, nullptr);
    EXPECT_TRUE(choice->isVisible());
    EXPECT_FALSE(choice->accessibleName().isEmpty());
    choice->setCurrentIndex(1);
    Click(d, "checkGroupButton");
    Click(d, "sendButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.isSending(); }, 30000));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(all[i]->stores().image(1).has_value()) << i;
        EXPECT_EQ(all[i]->stores().image(1)->name, "slide.qv1");
    }
    EXPECT_EQ(all[3]->connections(), 0) << "a projector outside the group is left alone";
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u'|').toStdString();

    // Without groups the choice is not there at all.
    CImageSendDlg plain(0, nullptr);
    plain.show();
    EXPECT_FALSE(Child<QComboBox>(plain, "groupCombo")->isVisible());
}
