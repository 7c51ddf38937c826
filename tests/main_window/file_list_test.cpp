#include "main_window/controls/file_list_box.h"
#include "support/file_rights.h"
#include "support/wine.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString kPattern = QStringLiteral("*.bmp;*.dib;*.rle;*.gif;*.jpg;*.wmf;*.emf;*.ico;*.cur");

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

} // namespace

TEST(FileList, ListsOrdinaryMatchingFilesInNaturalOrder)
{
    QTemporaryDir folder;
    for (const char* name : {"b10.JPG", "b9.jpg", "A.Bmp", "x.cur", "notes.txt", "image.png",
                             ".dotted.jpg", "photo.jpeg", "archive.jpg.gz", "s\u00fc\u00df.gif"})
        Touch(folder.filePath(QString::fromUtf8(name)));
    QDir(folder.path()).mkdir(QStringLiteral("folder.jpg"));
#ifdef Q_OS_WIN
    // Windows hides by attribute; a leading dot is part of an ordinary name there.
    Touch(folder.filePath(QStringLiteral("hidden.gif")));
    ASSERT_TRUE(
        SetHidingAttribute(folder.filePath(QStringLiteral("hidden.gif")), HidingAttribute::Hidden));
    const QStringList dotted = {QStringLiteral(".dotted.jpg")};
#else
    const QStringList dotted;
#endif

    FileListBox list;
    list.SetPattern(kPattern);
    QSignalSpy changed(&list, &FileListBox::PathChange);
    ASSERT_EQ(list.SetPath(folder.path()), FileListBox::PathError::None);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(list.Path(), QDir::toNativeSeparators(folder.path()));
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i));
    EXPECT_EQ(names, dotted + QStringList({QStringLiteral("A.Bmp"), QStringLiteral("b9.jpg"),
                                           QStringLiteral("b10.JPG"),
                                           QString::fromUtf8("s\u00fc\u00df.gif"),
                                           QStringLiteral("x.cur")}));
}

TEST(FileList, FoldersThatCannotBeListedLeaveTheListAsItWas)
{
    QTemporaryDir folder;
    Touch(folder.filePath(QStringLiteral("a.jpg")));
    FileListBox list;
    list.SetPattern(kPattern);
    ASSERT_EQ(list.SetPath(folder.path()), FileListBox::PathError::None);
    QSignalSpy changed(&list, &FileListBox::PathChange);
    EXPECT_EQ(list.SetPath(folder.filePath(QStringLiteral("gone"))),
              FileListBox::PathError::Missing);
    EXPECT_EQ(list.SetPath(folder.filePath(QStringLiteral("a.jpg"))),
              FileListBox::PathError::NotAFolder);
    EXPECT_EQ(list.SetPath(QString()), FileListBox::PathError::Missing);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(list.Path(), QDir::toNativeSeparators(folder.path()));
    EXPECT_EQ(list.ListCount(), 1);
}

TEST(FileList, RootsKeepTheirSeparator)
{
    FileListBox list;
    list.SetPattern(kPattern);
    ASSERT_EQ(list.SetPath(QDir::rootPath()), FileListBox::PathError::None);
    EXPECT_EQ(list.Path(), QDir::toNativeSeparators(QDir::rootPath()));
}

TEST(FileList, AHundredThousandFilesList)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine creates files through its server: 100,000 of them take longer "
                        "than a test may run";
    QTemporaryDir folder;
    for (int i = 1; i <= 100000; ++i)
        Touch(folder.filePath(QStringLiteral("img%1.jpg").arg(i)));
    FileListBox list;
    list.SetPattern(kPattern);
    ASSERT_EQ(list.SetPath(folder.path()), FileListBox::PathError::None);
    ASSERT_EQ(list.ListCount(), 100000);
    EXPECT_EQ(list.List(0), QStringLiteral("img1.jpg"));
    EXPECT_EQ(list.List(32767), QStringLiteral("img32768.jpg"));
    EXPECT_EQ(list.List(99999), QStringLiteral("img100000.jpg"));
}

TEST(NaturalOrder, NamesSortByTheirNumbersWithoutRegardToCase)
{
    QStringList names = {QStringLiteral("img10.jpg"), QStringLiteral("IMG2.jpg"),
                         QStringLiteral("img1.jpg"),  QStringLiteral("b.jpg"),
                         QStringLiteral("A.jpg"),     QStringLiteral("img02.jpg"),
                         QStringLiteral("img2b.jpg"), QStringLiteral("img"),
                         QStringLiteral("9.jpg"),     QStringLiteral("10.jpg")};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (QStringList{QStringLiteral("9.jpg"), QStringLiteral("10.jpg"),
                                  QStringLiteral("A.jpg"), QStringLiteral("b.jpg"),
                                  QStringLiteral("img"), QStringLiteral("img1.jpg"),
                                  QStringLiteral("IMG2.jpg"), QStringLiteral("img02.jpg"),
                                  QStringLiteral("img2b.jpg"), QStringLiteral("img10.jpg")}));
}
