#include "files/replacement_file.h"
#include "support/file_rights.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using files::ReplacementFile;

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool Replace(const QString& path, ReplacementFile::Links links, const QByteArray& bytes)
{
    ReplacementFile file(path, links);
    return file.Open() && file.File().write(bytes) == bytes.size() &&
           file.Commit(ReplacementFile::Durability::Synced);
}

// A link is followed to a regular file only: a rename would put a file in the place of
// whatever else it leads to, a device or a FIFO.
TEST(ReplacementFile, ALinkIsFollowedToARegularFileOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("real.ini"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    if (!MakeFifo(fifo) || !QFile::link(file, dir.filePath(QStringLiteral("to file"))) ||
        !QFile::link(fifo, dir.filePath(QStringLiteral("to fifo"))))
        GTEST_SKIP() << "no FIFOs or symbolic links here";
    struct Case
    {
        const char* link;
        ReplacementFile::Links links;
        bool written;
        bool stillALink;
    };
    const Case cases[] = {
        {"to file", ReplacementFile::Links::Follow, true, true},
        {"to fifo", ReplacementFile::Links::Follow, false, true},
        {"to fifo", ReplacementFile::Links::Replace, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        const QString path = dir.filePath(QLatin1String(c.link));
        EXPECT_EQ(Replace(path, c.links, "new"), c.written);
        EXPECT_EQ(QFileInfo(path).isSymLink(), c.stillALink);
        EXPECT_FALSE(QFileInfo(fifo).isFile()) << "the FIFO is still a FIFO";
    }
    EXPECT_EQ(Read(file), "new");
    EXPECT_EQ(Read(dir.filePath(QStringLiteral("to fifo"))), "new");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 4)
        << "no temporary is left behind";
}

} // namespace
