#include "files/file_names.h"
#include "files/file_uri.h"
#include "files/folder_files.h"
#include "files/pastable_path.h"
#include "support/file_rights.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace files;

namespace {

QStringList Sorted(QStringList names)
{
    names.sort();
    return names;
}

void WriteFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}

} // namespace

TEST(FolderFiles, ListsTheRegularFilesThatAreNotHidden)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    WriteFile(folder.filePath(QStringLiteral("b.jpg")));
    WriteFile(folder.filePath(QStringLiteral("\u00e9t\u00e9.png")));
    WriteFile(folder.filePath(QStringLiteral(".dotted.jpg")));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.jpg")));
#ifndef _WIN32
    ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("b.jpg")),
                            folder.filePath(QStringLiteral("link.jpg"))));
    ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("gone")),
                            folder.filePath(QStringLiteral("broken.jpg"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("fifo.jpg"))), 0600), 0);
    const QStringList expected = {QStringLiteral("b.jpg"), QStringLiteral("link.jpg"),
                                  QStringLiteral("\u00e9t\u00e9.png")};
#else
    // Windows hides by attribute, the system attribute too; a leading dot is a name.
    for (const auto& [name, attribute] : {std::pair{"hidden.jpg", HidingAttribute::Hidden},
                                          std::pair{"system.jpg", HidingAttribute::System}}) {
        const QString path = folder.filePath(QLatin1String(name));
        WriteFile(path);
        ASSERT_TRUE(SetHidingAttribute(path, attribute)) << name;
    }
    const QStringList expected = {QStringLiteral(".dotted.jpg"), QStringLiteral("b.jpg"),
                                  QStringLiteral("\u00e9t\u00e9.png")};
#endif
    EXPECT_EQ(Sorted(ListFolderFiles(folder.path())), expected);
    EXPECT_TRUE(ListFolderFiles(folder.filePath(QStringLiteral("missing"))).isEmpty());
}

#ifndef _WIN32
// A Latin-1 name from an old archive: listed under a name that opens it, shown with a
// replacement character, and pasted as the URI that GLib gives it.
TEST(FolderFiles, ANameThatIsNotUtf8IsListedUnderANameThatOpensIt)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray path = QFile::encodeName(folder.path()) + "/caf\xe9.jpg";
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "bytes", 5), 5);
    ::close(fd);

    const QStringList names = ListFolderFiles(folder.path());
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(ShownName(names[0]), QStringLiteral("caf\uFFFD.jpg"));
    const QString held = folder.path() + QLatin1Char('/') + names[0];
    EXPECT_EQ(NameBytes(held), path);
    EXPECT_EQ(FileUri(held), QStringLiteral("file://") +
                                 QFile::decodeName(QFile::encodeName(folder.path())) +
                                 QStringLiteral("/caf%E9.jpg"));
    EXPECT_EQ(PastableFilePath(held), FileUri(held));
    const QString text = folder.path() + QStringLiteral("/caf\u00e9.jpg");
    EXPECT_EQ(PastableFilePath(text), text) << "a name that is text is pasted as it is";
}
#else
TEST(FolderFiles, ANameThatIsNotUtf8IsListedUnderANameThatOpensIt)
{
    GTEST_SKIP() << "Windows names are UTF-16: no name there is bytes that are not text";
}
#endif
