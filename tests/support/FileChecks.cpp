#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

// Files that hold passwords are readable and writable by their owner only.
void expectPrivate(const QString& path) {
    const QFile::Permissions p = QFileInfo(path).permissions();
    EXPECT_TRUE(p.testFlag(QFileDevice::ReadOwner) && p.testFlag(QFileDevice::WriteOwner))
        << path.toStdString();
    const QFile::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                      QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                      QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(p & others, QFile::Permissions()) << path.toStdString();
}
