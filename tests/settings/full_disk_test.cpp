// The settings writer on a real full file system (a small tmpfs, mounted in a mount
// namespace of the probe's own, so that no test needs to mount anything for the machine),
// and on a disk that reports its errors only when a file is synced.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace Qt::StringLiterals;

namespace {

// What the probe printed: each write's result and the file's text after it.
struct Outcome
{
    int result = -1;
    QByteArray text;
};

std::map<QByteArray, Outcome> Outcomes(const QByteArray& output)
{
    std::map<QByteArray, Outcome> outcomes;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() < 3)
            continue;
        const QByteArray name = words.mid(0, words.size() - 2).join(' ');
        outcomes[name] = {words.at(words.size() - 2).toInt(), QByteArray::fromBase64(words.last())};
    }
    return outcomes;
}

TEST(FullDiskTest, AFullFileSystemLeavesTheSettingsFileAsItWas)
{
    if (QStandardPaths::findExecutable(u"unshare"_s).isEmpty())
        GTEST_SKIP() << "unshare (util-linux) is not installed";
    const QByteArray stored = "; kept\r\n[Main]\r\nLast Path=/home/someone/Pictures\r\n"
                              "Window Position=100, 200, 5190, 5670\r\n[Other]\r\nKey=1\r\n";
    QTemporaryDir mountPoint;
    ASSERT_TRUE(mountPoint.isValid());
    // The file is written inside the namespace, on the tmpfs, before the probe fills it.
    const QString script = u"mount -t tmpfs -o size=32k tessellon-full \"$1\" && "
                           u"printf '%s' \"$2\" > \"$1/tessellon.ini\" && "
                           u"exec \"$3\" \"$1/tessellon.ini\" \"$1/filler\""_s;
    QProcess probe;
    const QStringList arguments = {u"sh"_s,
                                   u"-c"_s,
                                   script,
                                   u"sh"_s,
                                   mountPoint.path(),
                                   QString::fromLatin1(stored),
                                   QStringLiteral(FULL_DISK_PROBE)};
    // As an unprivileged user in a user namespace of its own, or as root.
    for (const QStringList& unshare :
         {QStringList{u"--mount"_s, u"--map-root-user"_s}, QStringList{u"--mount"_s}}) {
        probe.start(u"unshare"_s, unshare + QStringList{u"--"_s} + arguments);
        ASSERT_TRUE(probe.waitForFinished(60000));
        if (probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            break;
    }
    if (probe.exitCode() != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here: "
                     << probe.readAllStandardError().toStdString();

    const std::map<QByteArray, Outcome> outcomes = Outcomes(probe.readAllStandardOutput());
    ASSERT_EQ(outcomes.size(), 3u);
    for (const char* full : {"position", "maximized"}) {
        EXPECT_EQ(outcomes.at(full).result, 0) << full << ": a failed write is reported";
        EXPECT_EQ(outcomes.at(full).text, stored) << full;
    }
    // With room again, the same writer writes: the full disk was what stopped it.
    const Outcome& roomy = outcomes.at("with room");
    EXPECT_EQ(roomy.result, 1);
    EXPECT_TRUE(roomy.text.contains("Maximized=False\r\n")) << roomy.text.toStdString();
    EXPECT_TRUE(roomy.text.startsWith("; kept\r\n[Main]\r\nLast Path=/home/someone/Pictures\r\n"));
    EXPECT_TRUE(roomy.text.endsWith("[Other]\r\nKey=1\r\n"));
}

// Qt's QSaveFile renames its temporary over the file even when the sync before failed.
TEST(FullDiskTest, AFailedSyncLeavesTheSettingsFileAsItWas)
{
    const QByteArray stored = "; kept\r\n[Main]\r\nLast Path=/old\r\n";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"tessellon.ini"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(stored), stored.size());
    file.close();

    QProcess probe;
    probe.start(QStringLiteral(FAILING_SYNC_PROBE), {path});
    ASSERT_TRUE(probe.waitForFinished(60000));
    ASSERT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    EXPECT_EQ(probe.readAllStandardOutput().trimmed(), "0") << "a failed sync is reported";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), stored);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "the temporary is left behind";
}

} // namespace
