#include "gallery/folder_path.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(FolderPath, ARootKeepsItsOneSeparator)
{
    const QString sep = QDir::separator();
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    EXPECT_EQ(FolderWithSeparator(root), root);
    EXPECT_EQ(FolderWithSeparator(root) + QStringLiteral("a.jpg"), root + QStringLiteral("a.jpg"));
    EXPECT_EQ(FolderWithSeparator(QStringLiteral("pics")), QStringLiteral("pics") + sep);
    EXPECT_EQ(FolderWithSeparator(QStringLiteral("pics") + sep), QStringLiteral("pics") + sep);
    EXPECT_EQ(FolderWithSeparator(QString()), QString());
}
