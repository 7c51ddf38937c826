#include "settings/settings.h"

#include "files/replacement_file.h"
#include "settings/ini_profile.h"
#include "settings/user_copy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace settings {
namespace {

const SettingsWriteFaults kNoFaults;
const SettingsWriteFaults* activeWriteFaults = nullptr;

struct StoredProfile
{
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    QByteArray text;          // the file's text, at most kProfileFileLimit bytes of it
    bool beyondLimit = false; // the file goes on past `text`
};

StoredProfile LoadProfile(const QString& path)
{
    StoredProfile stored;
    const QFileInfo info(path);
    if (!info.exists())
        return stored;
    stored.state = StoredProfile::State::Unreadable;
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return stored;
    QByteArray head;
    while (head.size() <= kProfileFileLimit) {
        const QByteArray chunk = file.read(kProfileFileLimit + 1 - head.size());
        if (chunk.isEmpty())
            break;
        head.append(chunk);
    }
    if (file.error() != QFileDevice::NoError)
        return stored;
    stored.state = StoredProfile::State::Read;
    stored.beyondLimit = head.size() > kProfileFileLimit;
    if (stored.beyondLimit)
        head = CompleteProfileLines(QByteArrayView(head).first(kProfileFileLimit)).toByteArray();
    stored.text = head;
    return stored;
}

const SettingsWriteFaults& FaultsFor(const QString& path)
{
    if (!activeWriteFaults)
        return kNoFaults;
    const SettingsWriteFaults& faults = *activeWriteFaults;
    if (!faults.onlyIn.isEmpty() &&
        QFileInfo(path).absolutePath() != QFileInfo(faults.onlyIn).absoluteFilePath())
        return kNoFaults;
    return faults;
}

// Counts the bytes written during one replacement, to fail where SettingsWriteFaults says.
class WriteBudget
{
public:
    explicit WriteBudget(qint64 bytes)
        : left_(bytes)
    {}

    bool Write(QIODevice& device, QByteArrayView data)
    {
        const qint64 allowed = left_ < 0 ? data.size() : std::min<qint64>(data.size(), left_);
        const qint64 written = device.write(data.data(), allowed);
        if (written > 0 && left_ >= 0)
            left_ -= written;
        return written == data.size();
    }

private:
    qint64 left_;
};

// How a write of the file went. Refused: the file system would not let the file be
// created or opened for writing, so nothing was written.
enum class FileWrite { Written, Failed, Refused };

// Writes a temporary beside the file, syncs it and renames it over the file, so that the
// file is always either the old or the new text.
FileWrite ReplaceAtomically(const QString& path, QByteArrayView bytes,
                            const SettingsWriteFaults& faults, WriteBudget& budget)
{
    // A settings file that is a link stays one: the user put it there on purpose.
    files::ReplacementFile out(path, files::ReplacementFile::Links::Follow);
    if (faults.folderReadOnly || !out.Open())
        return FileWrite::Refused;
    if (!budget.Write(out.File(), bytes) || faults.syncFails || faults.renameFails)
        return FileWrite::Failed;
    return out.Commit(files::ReplacementFile::Durability::Synced) ? FileWrite::Written
                                                                  : FileWrite::Failed;
}

// Rewrites an existing file in place, for a folder that takes no new files. The file is
// grown first by writing what lies past its old end: a full disk stops the write there,
// while the old text is still whole, and the file is cut back to its old size.
FileWrite OverwriteInPlace(const QString& path, QByteArrayView bytes,
                           const SettingsWriteFaults& faults, WriteBudget& budget)
{
    QFile file(path);
    if (faults.fileReadOnly || !QFileInfo(path).isFile() ||
        !file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return FileWrite::Refused;
    const qint64 oldSize = file.size();
    if (bytes.size() > oldSize) {
        if (!file.seek(oldSize) || !budget.Write(file, bytes.sliced(oldSize))) {
            file.resize(oldSize);
            return FileWrite::Failed;
        }
    }
    const qint64 overlap = std::min<qint64>(oldSize, bytes.size());
    const bool written = file.seek(0) && budget.Write(file, bytes.first(overlap)) &&
                         file.resize(bytes.size()) && !faults.syncFails && files::SyncToDisk(file);
    file.close();
    return written && file.error() == QFileDevice::NoError ? FileWrite::Written : FileWrite::Failed;
}

FileWrite ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    const SettingsWriteFaults& faults = FaultsFor(path);
    WriteBudget budget(faults.bytesUntilFull);
    const FileWrite atomically = ReplaceAtomically(path, bytes, faults, budget);
    if (atomically != FileWrite::Refused)
        return atomically;
    return OverwriteInPlace(path, bytes, faults, budget);
}

// A profile write of `stored`, the text of the file at `path` or of the file the write
// starts from.
FileWrite WriteProfileFile(const QString& path, const StoredProfile& stored, const QString& section,
                           const QString& key, const QString& value)
{
    // A file that could not be read whole is left alone: rewriting it from the part that
    // was read would destroy the rest.
    if (stored.state == StoredProfile::State::Unreadable || stored.beyondLimit)
        return FileWrite::Failed;
    const std::optional<QByteArray> updated = WriteProfileString(stored.text, section, key, value);
    if (!updated)
        return FileWrite::Failed;
    if (*updated == stored.text)
        return FileWrite::Written;
    return ReplaceFileContents(path, *updated);
}

QString FileToRead(const SettingsLocation& location)
{
    return !location.userCopy.isEmpty() && QFileInfo::exists(location.userCopy) ? location.userCopy
                                                                                : location.beside;
}

// Drive letters, network shares and the long-path prefix, as Windows writes them.
qsizetype DriveLength(const QString& path)
{
    static const QRegularExpression drive(
        QStringLiteral("\\A(?://[?.]/)?(?:[A-Za-z]:|(?:UNC/|//)[^/]+/[^/]+)"));
    const QRegularExpressionMatch match = drive.match(path);
    return match.hasMatch() ? match.capturedLength() : 0;
}

} // namespace

QString ReadSettingAt(const SettingsLocation& location, const QString& section, const QString& key,
                      const QString& defaultValue)
{
    const QString path = FileToRead(location);
    const StoredProfile stored = path.isEmpty() ? StoredProfile() : LoadProfile(path);
    return ReadProfileString(stored.text, section, key, defaultValue);
}

int WriteSettingAt(const SettingsLocation& location, const QString& section, const QString& key,
                   const QString& value)
{
    const QString path = FileToRead(location);
    if (path.isEmpty())
        return 0;
    const StoredProfile stored = LoadProfile(path);
    const FileWrite write = WriteProfileFile(path, stored, section, key, value);
    if (write != FileWrite::Refused || path == location.userCopy || location.userCopy.isEmpty())
        return write == FileWrite::Written ? 1 : 0;
    // The copy starts as the file beside the executable, as Windows' redirection does.
    if (!QDir().mkpath(QFileInfo(location.userCopy).absolutePath()))
        return 0;
    return WriteProfileFile(location.userCopy, stored, section, key, value) == FileWrite::Written
               ? 1
               : 0;
}

SettingsLocation ProgramSettings()
{
    static SettingsLocation location;
    if (location.beside.isEmpty() && QCoreApplication::instance())
        location = SettingsLocationForExecutable(QCoreApplication::applicationFilePath());
    return location;
}

QString SettingsFilePath()
{
    return ProgramSettings().beside;
}

QString SettingsPathForExecutable(const QString& executablePath)
{
    if (executablePath.isEmpty())
        return QString();
    const QFileInfo executable(QDir::fromNativeSeparators(executablePath));
    QString folder = executable.path();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const QString name = executable.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString baseName = dot > 0 ? name.first(dot) : name;
    return QDir::toNativeSeparators(folder + baseName + QStringLiteral(".ini"));
}

SettingsLocation SettingsLocationForExecutable(const QString& executablePath)
{
    const QString beside = SettingsPathForExecutable(executablePath);
    return {beside, beside.isEmpty() ? QString() : UserSettingsCopyPath(beside)};
}

QString VirtualStorePath(const QString& localAppData, const QString& path)
{
    // Windows paths, whatever the system that asks: either slash separates.
    const QString slashed = QString(path).replace(u'\\', u'/');
    QString rest = slashed.mid(DriveLength(slashed));
    if (!rest.startsWith(u'/'))
        rest.prepend(u'/');
    QString store = QString(localAppData).replace(u'\\', u'/');
    if (store.endsWith(u'/'))
        store.chop(1);
    QString copy = store + QStringLiteral("/VirtualStore") + rest;
    return copy.replace(u'/', u'\\');
}

void SetSettingsWriteFaults(const SettingsWriteFaults* faults)
{
    activeWriteFaults = faults;
}

} // namespace settings

namespace basMosaq {

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue,
                    const QString& file)
{
    using namespace settings;
    if (file.isEmpty())
        return ReadSettingAt(ProgramSettings(), section, key, defaultValue);
    return ReadProfileString(LoadProfile(file).text, section, key, defaultValue);
}

int WriteSetting(const QString& section, const QString& key, const QString& value,
                 const QString& file)
{
    using namespace settings;
    if (file.isEmpty())
        return WriteSettingAt(ProgramSettings(), section, key, value);
    return WriteProfileFile(file, LoadProfile(file), section, key, value) == FileWrite::Written ? 1
                                                                                                : 0;
}

} // namespace basMosaq
