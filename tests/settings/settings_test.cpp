#include "settings/ini_profile.h"
#include "settings/settings.h"
#include "support/file_rights.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace std::string_view_literals;
using namespace basMosaq;
using namespace settings;

namespace {

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

void PutFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

std::optional<QByteArray> FileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

enum class Op { Read, Write };

struct ProfileCase
{
    const char* what;
    std::optional<QByteArray> file; // nothing: there is no file
    Op op;
    QString section;
    QString key;
    QString argument; // the default of a read, the value of a write
    QString expected; // what the read returns; for a write, what reading the key gives after
    int writeResult = 1;
    std::optional<QByteArray> fileAfter = std::nullopt; // for a write; nothing: no file
};

std::vector<ProfileCase> ProfileCases()
{
    const QByteArray longValue(3000, 'v');
    const QString cutValue(kProfileValueLimit, u'v');
    const QByteArray other = Bytes("\r\n[Other]\r\nb=2\r\n");
    return {
        // Reads.
        {"no file gives the default", std::nullopt, Op::Read, u"Main"_s, u"Last Path"_s, u"C:\\"_s,
         u"C:\\"_s},
        {"no file and no default gives empty text",
         std::nullopt,
         Op::Read,
         u"Main"_s,
         u"Window Position"_s,
         {},
         {}},
        {"a present empty value is empty, not the default",
         Bytes("[Main]\r\nLast Path=\r\n"),
         Op::Read,
         u"Main"_s,
         u"Last Path"_s,
         u"C:\\"_s,
         {}},
        {"quotes and surrounding blanks are removed",
         Bytes("[Main]\r\nLast Path =  \"C:\\Pictures\"  \r\n"),
         Op::Read,
         u"Main"_s,
         u"Last Path"_s,
         {},
         u"C:\\Pictures"_s},
        {"single quotes are removed",
         Bytes("[Main]\r\nMaximized='True'\r\n"),
         Op::Read,
         u"Main"_s,
         u"Maximized"_s,
         {},
         u"True"_s},
        {"only one pair of quotes is removed",
         Bytes("[Main]\r\nk=\"\"x\"\"\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"\"x\""_s},
        {"unmatched quotes stay",
         Bytes("[Main]\r\nk=\"x'\r\nj=\"\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"\"x'"_s},
        {"a lone quote stays",
         Bytes("[Main]\r\nk=\"x'\r\nj=\"\r\n"),
         Op::Read,
         u"Main"_s,
         u"j"_s,
         {},
         u"\""_s},
        {"names match in any letter case", Bytes("[MAIN]\r\nmaximized=True\r\n"), Op::Read,
         u"Main"_s, u"Maximized"_s, u"False"_s, u"True"_s},
        {"blanks around section and key names are ignored",
         Bytes("  [ Main ]  \r\n\tMaximized\t= True\r\n"), Op::Read, u" Main"_s, u"Maximized "_s,
         u"False"_s, u"True"_s},
        {"the default loses its trailing blanks only", std::nullopt, Op::Read, u"Main"_s, u"k"_s,
         u" two words   "_s, u" two words"_s},
        {"a missing key gives the default", Bytes("[Main]\r\nOther=1\r\n"), Op::Read, u"Main"_s,
         u"k"_s, u"d"_s, u"d"_s},
        {"a missing section gives the default", Bytes("[Other]\r\nMaximized=True\r\n"), Op::Read,
         u"Main"_s, u"Maximized"_s, u"False"_s, u"False"_s},
        {"the first of duplicate keys wins",
         Bytes("[Main]\r\nk=1\r\nK=2\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"1"_s},
        {"the first of duplicate sections wins", Bytes("[Main]\r\na=1\r\n[main]\r\nk=2\r\n"),
         Op::Read, u"Main"_s, u"k"_s, u"d"_s, u"d"_s},
        {"a line without = is no key", Bytes("[Main]\r\nMaximized\r\n"), Op::Read, u"Main"_s,
         u"Maximized"_s, u"False"_s, u"False"_s},
        {"a commented-out key is no key", Bytes("[Main]\r\n ;Maximized=True\r\n"), Op::Read,
         u"Main"_s, u"Maximized"_s, u"False"_s, u"False"_s},
        {"text before the first section belongs to none", Bytes("k=1\r\n[Main]\r\n"), Op::Read,
         u"Main"_s, u"k"_s, u"d"_s, u"d"_s},
        {"a bracket without its closing one starts no section",
         Bytes("[Main]\r\n[Other\r\nk=1\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"1"_s},
        {"LF line ends", Bytes("[Main]\nj=0\nk=1\n"), Op::Read, u"Main"_s, u"k"_s, {}, u"1"_s},
        {"CR line ends", Bytes("[Main]\rj=0\rk=1\r"), Op::Read, u"Main"_s, u"k"_s, {}, u"1"_s},
        {"no line break after the last line",
         Bytes("[Main]\r\nk=1"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"1"_s},
        {"a UTF-8 byte order mark before the first section",
         Bytes("\xEF\xBB\xBF[Main]\r\nk=1\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"1"_s},
        {"the value runs from the first =",
         Bytes("[Main]\r\nk = a=b\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"a=b"_s},
        {"UTF-8 text",
         Bytes("[Main]\r\nLast Path=/home/zo\xC3\xAB/Bilder\r\n"),
         Op::Read,
         u"Main"_s,
         u"Last Path"_s,
         {},
         u"/home/zoë/Bilder"_s},
        {"a byte order mark inside a line is text",
         Bytes("[Main]\r\nk=\xEF\xBB\xBFx\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"\uFEFFx"_s},
        {"bytes that are not UTF-8 read as Latin-1",
         Bytes("[Main]\r\nk=M\xFCller\r\n"),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"Müller"_s},
        {"binary bytes before the section",
         Bytes("\0\xFF\xFE junk\r\n[Main]\r\nk=1\r\n"sv),
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         u"1"_s},
        {"a UTF-16 file reads as empty", Bytes("\xFF\xFE[\0M\0]\0\r\0\n\0k\0=\0\x31\0"sv), Op::Read,
         u"M"_s, u"k"_s, u"d"_s, u"d"_s},
        {"a long value is cut",
         "[Main]\r\nk=" + longValue + "\r\n",
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         cutValue},
        {"a cut never splits a character",
         "[Main]\r\nk=" + longValue.first(2046) + "\xF0\x9F\x98\x80",
         Op::Read,
         u"Main"_s,
         u"k"_s,
         {},
         cutValue.first(2046)},
        {"a long default is cut", std::nullopt, Op::Read, u"Main"_s, u"k"_s,
         QString::fromLatin1(longValue), cutValue},

        // Writes.
        {"a write creates the file", std::nullopt, Op::Write, u"Main"_s, u"Last Path"_s,
         u"/pictures"_s, u"/pictures"_s, 1, Bytes("[Main]\r\nLast Path=/pictures\r\n")},
        {"the key's line is replaced in place, all else kept",
         Bytes("; Tessellon\r\n\r\n[Main]\r\nLast Path=/old\r\n  ; keep me\r\n"
               "Maximized=False\r\n\r\n[Other]\r\nx=1\r\n"),
         Op::Write, u"Main"_s, u"Maximized"_s, u"True"_s, u"True"_s, 1,
         Bytes("; Tessellon\r\n\r\n[Main]\r\nLast Path=/old\r\n  ; keep me\r\n"
               "Maximized=True\r\n\r\n[Other]\r\nx=1\r\n")},
        {"the stored spelling of the key is kept", Bytes("[main]\r\n maximized = False\r\n"),
         Op::Write, u"Main"_s, u"Maximized"_s, u"True"_s, u"True"_s, 1,
         Bytes("[main]\r\nmaximized=True\r\n")},
        {"only the written line of an LF file gets CR LF", Bytes("[Main]\nk=1\nj=2\n"), Op::Write,
         u"Main"_s, u"k"_s, u"3"_s, u"3"_s, 1, Bytes("[Main]\nk=3\r\nj=2\n")},
        {"a new key follows the last entry of its section",
         Bytes("[Main]\r\na=1\r\nodd line\r\n; about Other\r\n\r\n[Other]\r\nb=2\r\n"), Op::Write,
         u"Main"_s, u"c"_s, u"3"_s, u"3"_s, 1,
         Bytes("[Main]\r\na=1\r\nodd line\r\nc=3\r\n; about Other\r\n\r\n[Other]\r\nb=2\r\n")},
        {"a new key in a section that ends the file without a line break", Bytes("[Main]"),
         Op::Write, u"Main"_s, u"k"_s, u"v"_s, u"v"_s, 1, Bytes("[Main]\r\nk=v\r\n")},
        {"a new section goes at the end", Bytes("[Other]\nb=2"), Op::Write, u"Main"_s, u"k"_s,
         u"v"_s, u"v"_s, 1, Bytes("[Other]\nb=2\r\n[Main]\r\nk=v\r\n")},
        {"a value is written as UTF-8", std::nullopt, Op::Write, u"Main"_s, u"Last Path"_s,
         u"/home/zoë"_s, u"/home/zoë"_s, 1, Bytes("[Main]\r\nLast Path=/home/zo\xC3\xAB\r\n")},
        {"binary bytes survive a write", Bytes("\0\xFF junk\r\n[Main]\r\nk=1\r\n"sv), Op::Write,
         u"Main"_s, u"k"_s, u"2"_s, u"2"_s, 1, Bytes("\0\xFF junk\r\n[Main]\r\nk=2\r\n"sv)},
        {"the byte order mark stays in front", Bytes("\xEF\xBB\xBF[Main]\r\n"), Op::Write,
         u"Main"_s, u"k"_s, u"v"_s, u"v"_s, 1, Bytes("\xEF\xBB\xBF[Main]\r\nk=v\r\n")},
        {"an empty value removes the key and its duplicates",
         Bytes("[Main]\r\nk=1\r\n;c\r\nK=2\r\n[Other]\r\nk=3\r\n"),
         Op::Write,
         u"Main"_s,
         u"k"_s,
         {},
         {},
         1,
         Bytes("[Main]\r\n;c\r\n[Other]\r\nk=3\r\n")},
        {"an empty key removes the section and its duplicates",
         Bytes("; top\r\n[Main]\r\na=1\r\n\r\n[Other]\r\nb=2\r\n[main]\r\nc=3\r\n"),
         Op::Write,
         u"Main"_s,
         {},
         {},
         {},
         1,
         Bytes("; top\r\n[Other]\r\nb=2\r\n")},
        {"removing the first section keeps the byte order mark",
         "\xEF\xBB\xBF[Main]\r\na=1\r\n" + other.sliced(2),
         Op::Write,
         u"Main"_s,
         {},
         {},
         {},
         1,
         "\xEF\xBB\xBF" + other.sliced(2)},
        {"removing what is absent leaves the file as it is",
         Bytes("[Main]\r\na=1"),
         Op::Write,
         u"Main"_s,
         u"k"_s,
         {},
         {},
         1,
         Bytes("[Main]\r\na=1")},
        {"removing from a missing file creates none",
         std::nullopt,
         Op::Write,
         u"Main"_s,
         {},
         {},
         {},
         1,
         std::nullopt},
        {"a value with a line break is refused", Bytes("[Main]\r\nk=1\r\n"), Op::Write, u"Main"_s,
         u"k"_s, u"a\n[Evil]"_s, u"1"_s, 0, Bytes("[Main]\r\nk=1\r\n")},
        {"a key that would not read back is refused",
         Bytes("[Main]\r\n"),
         Op::Write,
         u"Main"_s,
         u"a=b"_s,
         u"v"_s,
         {},
         0,
         Bytes("[Main]\r\n")},
        {"a UTF-16 file is not rewritten",
         Bytes("\xFF\xFE[\0"sv),
         Op::Write,
         u"Main"_s,
         u"k"_s,
         u"v"_s,
         {},
         0,
         Bytes("\xFF\xFE[\0"sv)},
    };
}

TEST(SettingsStore, ReadsAndWritesLikeProfileStrings)
{
    for (const ProfileCase& c : ProfileCases()) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(u"Tessellon.ini"_s);
        if (c.file)
            PutFile(path, *c.file);

        if (c.op == Op::Read) {
            EXPECT_EQ(ReadSetting(c.section, c.key, c.argument, path), c.expected);
            continue;
        }
        EXPECT_EQ(WriteSetting(c.section, c.key, c.argument, path), c.writeResult);
        EXPECT_EQ(FileBytes(path), c.fileAfter);
        if (!c.key.isEmpty()) {
            EXPECT_EQ(ReadSetting(c.section, c.key, {}, path), c.expected);
        }
        EXPECT_EQ(FolderEntries(dir.path()).size(), c.fileAfter ? 1 : 0);
    }
}

// A folder whose name begins or ends with a blank, or that is enclosed in quotes, must be
// found again at the next start: what is written reads back as it was.
TEST(SettingsStore, ValuesReadBackAsTheyWereWritten)
{
    struct Case
    {
        QString value;
        QByteArray line; // as stored
    };
    const Case cases[] = {
        {u"/home/me/Pictures"_s, "k=/home/me/Pictures"},
        {u" leading"_s, "k=\" leading\""},
        {u"trailing "_s, "k=\"trailing \""},
        {u"\t tab and blank \t"_s, "k=\"\t tab and blank \t\""},
        {u"ends in the old end of file\x1A"_s, "k=\"ends in the old end of file\x1A\""},
        {u"\"quoted\""_s, "k=\"\"quoted\"\""},
        {u"'single'"_s, "k=\"'single'\""},
        {u"\"half"_s, "k=\"half"},
        {u"in \"the\" middle"_s, "k=in \"the\" middle"},
        {u"\""_s, "k=\""},
        {u" "_s, "k=\" \""},
        // Windows file names may hold lone surrogates, which UTF-8 cannot: WTF-8 keeps them.
        {u"C:\\Fotos "_s + QChar(0xD83D) + u"x"_s, "k=C:\\Fotos \xED\xA0\xBDx"},
        {u"a"_s + QChar(0xDC80), "k=a\xED\xB2\x80"},
        {QString(QChar(0xDFFF)) + QChar(0xD800), "k=\xED\xBF\xBF\xED\xA0\x80"},
        {u"paired \U0001F600"_s, "k=paired \xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const std::optional<QByteArray> text = WriteProfileString({}, u"Main", u"k", c.value);
        ASSERT_TRUE(text);
        EXPECT_EQ(*text, "[Main]\r\n" + c.line + "\r\n");
        EXPECT_EQ(ReadProfileString(*text, u"Main", u"k", {}), c.value);

        // Through the file, as the window writes "Last Path".
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Tessellon.ini"_s);
        ASSERT_EQ(WriteSetting(u"Main"_s, u"Last Path"_s, c.value, path), 1);
        EXPECT_EQ(ReadSetting(u"Main"_s, u"Last Path"_s, {}, path), c.value);
    }
}

TEST(SettingsStore, ReadsOnlyTheFirstMebibyteAndNeverRewritesALargerFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tessellon.ini"_s);
    QByteArray text = "[Main]\r\nk=1\r\nfill=";
    text.append(QByteArray(kProfileFileLimit - text.size() - 8, 'x')).append("\r\ncut=123456\r\n");
    text.append("[Late]\r\nz=1\r\n");
    PutFile(path, text);

    EXPECT_EQ(ReadSetting(u"Main"_s, u"k"_s, {}, path), u"1"_s);
    EXPECT_EQ(ReadSetting(u"Main"_s, u"cut"_s, u"d"_s, path), u"d"_s);
    EXPECT_EQ(ReadSetting(u"Late"_s, u"z"_s, u"d"_s, path), u"d"_s);
    EXPECT_EQ(WriteSetting(u"Main"_s, u"k"_s, u"2"_s, path), 0);
    EXPECT_EQ(FileBytes(path), text);
}

class ScopedWriteFaults
{
public:
    explicit ScopedWriteFaults(const SettingsWriteFaults& faults)
        : faults_(faults)
    {
        SetSettingsWriteFaults(&faults_);
    }
    ~ScopedWriteFaults() { SetSettingsWriteFaults(nullptr); }
    ScopedWriteFaults(const ScopedWriteFaults&) = delete;
    ScopedWriteFaults& operator=(const ScopedWriteFaults&) = delete;

private:
    SettingsWriteFaults faults_;
};

TEST(SettingsStore, AFailedWriteLeavesTheOldFileAsItWas)
{
    const QByteArray old = "; mine\r\n[Main]\r\nLast Path=/old\r\n";
    struct FaultCase
    {
        const char* what = nullptr;
        bool fileExists = false;
        SettingsWriteFaults faults;
        int result = 0;
    };
    const FaultCase cases[] = {
        {"disk full in the temporary", true, {.bytesUntilFull = 10}, 0},
        {"crash before the rename", true, {.renameFails = true}, 0},
        {"the disk reports an error at the sync", true, {.syncFails = true}, 0},
        {"read-only folder, read-only file",
         true,
         {.folderReadOnly = true, .fileReadOnly = true},
         0},
        {"read-only folder, no file yet", false, {.folderReadOnly = true}, 0},
        {"read-only folder, disk full while the file grows",
         true,
         {.folderReadOnly = true, .bytesUntilFull = 3},
         0},
        {"read-only folder, writable file", true, {.folderReadOnly = true}, 1},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Tessellon.ini"_s);
        if (c.fileExists)
            PutFile(path, old);
        const ScopedWriteFaults faults(c.faults);

        EXPECT_EQ(WriteSetting(u"Main"_s, u"Last Path"_s, u"/a/much/longer/new/path"_s, path),
                  c.result);
        if (c.result) {
            EXPECT_EQ(FileBytes(path), "; mine\r\n[Main]\r\nLast Path=/a/much/longer/new/path\r\n");
        } else {
            EXPECT_EQ(FileBytes(path), c.fileExists ? std::optional(old) : std::nullopt);
        }
        EXPECT_EQ(FolderEntries(dir.path()).size(), c.fileExists ? 1 : 0);
    }
}

TEST(SettingsStore, ARealReadOnlyFolderTakesWritesOnlyIntoAWritableFile)
{
    if (!PermissionsBindThisProcess())
        GTEST_SKIP() << "the superuser passes every permission, and on Windows Qt sets only "
                        "the read-only attribute, which does not stop writes into a folder";
    const QByteArray old = "[Main]\r\nk=1\r\n";
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"ro"_s);
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString present = folder + u"/present.ini"_s;
    const QString locked = folder + u"/locked.ini"_s;
    PutFile(present, old);
    PutFile(locked, old);
    QFile::setPermissions(locked, QFile::ReadOwner);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);

    EXPECT_EQ(WriteSetting(u"Main"_s, u"k"_s, u"22"_s, present), 1);
    EXPECT_EQ(FileBytes(present), "[Main]\r\nk=22\r\n");
    EXPECT_EQ(WriteSetting(u"Main"_s, u"k"_s, u"22"_s, locked), 0);
    EXPECT_EQ(FileBytes(locked), old);
    EXPECT_EQ(WriteSetting(u"Main"_s, u"k"_s, u"22"_s, folder + u"/new.ini"_s), 0);
    EXPECT_EQ(FolderEntries(folder).size(), 2);

    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(SettingsStore, ARewriteKeepsPermissionsAndSymbolicLinks)
{
    QTemporaryDir dir;
    if (!PermissionBits(dir.path()))
        GTEST_SKIP() << "Windows files have no permission bits, and Qt makes shortcuts, no links";
    const QString target = dir.filePath(u"real.ini"_s);
    const QString link = dir.filePath(u"Tessellon.ini"_s);
    PutFile(target, "[Main]\r\nk=1\r\n");
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(target, permissions));
    ASSERT_TRUE(QFile::link(target, link));

    EXPECT_EQ(WriteSetting(u"Main"_s, u"k"_s, u"2"_s, link), 1);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(FileBytes(target), "[Main]\r\nk=2\r\n");
    EXPECT_EQ(QFileInfo(target).permissions() & ~(QFile::ReadUser | QFile::WriteUser), permissions);
}

TEST(SettingsStore, SettingsFileIsNamedAfterTheExecutable)
{
    struct PathCase
    {
        QString executable;
        QString settings;
    };
    const PathCase cases[] = {
        {u"/opt/tessellon/bin/tessellon"_s, u"/opt/tessellon/bin/tessellon.ini"_s},
        {u"/tessellon"_s, u"/tessellon.ini"_s},
        {u"/opt/tools/Viewer.exe"_s, u"/opt/tools/Viewer.ini"_s},
        {u"/opt/tools/picker"_s, u"/opt/tools/picker.ini"_s},
        {u"/opt/tools.d/tessellon"_s, u"/opt/tools.d/tessellon.ini"_s},
        {u"/opt/tessellon.tar.gz"_s, u"/opt/tessellon.tar.ini"_s},
        {u"/opt/.tessellon"_s, u"/opt/.tessellon.ini"_s},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(SettingsPathForExecutable(c.executable), QDir::toNativeSeparators(c.settings))
            << c.executable.toStdString();

    const QString own = SettingsFilePath();
    EXPECT_EQ(own, SettingsPathForExecutable(QCoreApplication::applicationFilePath()));
    EXPECT_TRUE(own.endsWith(u"settings_test.ini"_s));
}

// Where the file beside the executable cannot be written, the settings go to the user's own
// copy, which starts as that file and is read from then on.
TEST(SettingsStore, AFileThatCannotBeWrittenIsReplacedByTheUsersCopy)
{
    const QByteArray beside = "; written by hand\r\n[Main]\r\nLast Path=/old\r\n";
    const QByteArray copy = "[Main]\r\nLast Path=/from the copy\r\n";
    const SettingsWriteFaults refused{.folderReadOnly = true, .fileReadOnly = true};
    struct Case
    {
        const char* what = nullptr;
        std::optional<QByteArray> beside;
        std::optional<QByteArray> copy;
        SettingsWriteFaults faults; // on the folder beside the executable
        int result = 0;
        std::optional<QByteArray> besideAfter;
        std::optional<QByteArray> copyAfter;
    };
    const Case cases[] = {
        {"a writable folder keeps the file beside the executable",
         beside,
         std::nullopt,
         {},
         1,
         "; written by hand\r\n[Main]\r\nLast Path=/new\r\n",
         std::nullopt},
        {"an unwritable one starts the copy from that file, comments and all", beside, std::nullopt,
         refused, 1, beside, "; written by hand\r\n[Main]\r\nLast Path=/new\r\n"},
        {"without a file to start from, the copy starts empty", std::nullopt, std::nullopt, refused,
         1, std::nullopt, "[Main]\r\nLast Path=/new\r\n"},
        {"a copy that exists takes every write",
         beside,
         copy,
         {},
         1,
         beside,
         "[Main]\r\nLast Path=/new\r\n"},
        {"a full disk is a failure, not a refusal",
         beside,
         std::nullopt,
         {.bytesUntilFull = 4},
         0,
         beside,
         std::nullopt},
        {"a failed sync is a failure too",
         beside,
         std::nullopt,
         {.syncFails = true},
         0,
         beside,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString programFolder = dir.filePath(u"Program Files/Tessellon"_s);
        ASSERT_TRUE(QDir().mkpath(programFolder));
        const SettingsLocation location{programFolder + u"/tessellon.ini"_s,
                                        dir.filePath(u"config/tessellon/tessellon.ini"_s)};
        if (c.beside)
            PutFile(location.beside, *c.beside);
        if (c.copy) {
            ASSERT_TRUE(QDir().mkpath(dir.filePath(u"config/tessellon"_s)));
            PutFile(location.userCopy, *c.copy);
        }
        SettingsWriteFaults faults = c.faults;
        faults.onlyIn = programFolder;
        const ScopedWriteFaults scoped(faults);

        EXPECT_EQ(WriteSettingAt(location, u"Main"_s, u"Last Path"_s, u"/new"_s), c.result);
        EXPECT_EQ(FileBytes(location.beside), c.besideAfter);
        EXPECT_EQ(FileBytes(location.userCopy), c.copyAfter);
        EXPECT_EQ(ReadSettingAt(location, u"Main"_s, u"Last Path"_s, u"/default"_s),
                  c.result ? u"/new"_s : u"/old"_s);
        EXPECT_EQ(FolderEntries(programFolder).size(), c.beside ? 1 : 0);
    }
}

TEST(SettingsStore, TheUsersCopyIsNamedAfterTheExecutable)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedLocal = qgetenv("LOCALAPPDATA");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    qputenv("LOCALAPPDATA", QFile::encodeName(QDir::toNativeSeparators(dir.path())));
    const SettingsLocation installed =
        SettingsLocationForExecutable(QDir::toNativeSeparators(u"/opt/Tessellon/tessellon.exe"_s));
    const SettingsLocation renamed =
        SettingsLocationForExecutable(QDir::toNativeSeparators(u"/opt/Tessellon/picker.exe"_s));
    qputenv("XDG_CONFIG_HOME", saved);
    qputenv("LOCALAPPDATA", savedLocal);

#ifdef Q_OS_WIN
    const QString expected = dir.path() + u"/VirtualStore/opt/Tessellon/"_s;
#else
    const QString expected = dir.path() + u"/tessellon/"_s;
#endif
    EXPECT_EQ(installed.userCopy, QDir::toNativeSeparators(expected + u"tessellon.ini"_s));
    EXPECT_EQ(renamed.userCopy, QDir::toNativeSeparators(expected + u"picker.ini"_s));
}

TEST(SettingsStore, TheVirtualStoreKeepsThePathWithoutItsDrive)
{
    const QString local = u"C:\\Users\\Ann\\AppData\\Local"_s;
    const QString store = u"C:\\Users\\Ann\\AppData\\Local\\VirtualStore"_s;
    const std::pair<QString, QString> cases[] = {
        {u"C:\\Program Files\\Tessellon\\tessellon.ini"_s,
         u"\\Program Files\\Tessellon\\tessellon.ini"_s},
        {u"d:\\tessellon.ini"_s, u"\\tessellon.ini"_s},
        {u"C:/Tools/tessellon.ini"_s, u"\\Tools\\tessellon.ini"_s},
        {u"\\\\server\\share\\tools\\tessellon.ini"_s, u"\\tools\\tessellon.ini"_s},
        {u"\\\\?\\C:\\Tools\\tessellon.ini"_s, u"\\Tools\\tessellon.ini"_s},
        {u"\\\\?\\UNC\\server\\share\\tessellon.ini"_s, u"\\tessellon.ini"_s},
    };
    for (const auto& [path, rest] : cases)
        EXPECT_EQ(VirtualStorePath(local, path), store + rest) << path.toStdString();
    EXPECT_EQ(VirtualStorePath(local + u"\\"_s, cases[0].first), store + cases[0].second);
}

} // namespace
