#include "settings/settings.h"

#include "settings/file_sync.h"
#include "settings/ini_profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <optional>

namespace basMosaq {
namespace {

const SettingsWriteFaults kNoFaults;
const SettingsWriteFaults* activeWriteFaults = nullptr;

QString& CachedSettingsFilePath()
{
    static QString path;
    return path;
}

QString ChooseFile(const QString& file)
{
    return file.isEmpty() ? SettingsFilePath() : file;
}

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

enum class Replacement { Written, Failed, NoTemporary };

// Writes a temporary beside the file and renames it over the file, so that the file is
// always either the old or the new text.
Replacement ReplaceAtomically(const QString& path, QByteArrayView bytes,
                              const SettingsWriteFaults& faults, WriteBudget& budget)
{
    QSaveFile out(path);
    out.setDirectWriteFallback(false);
    if (faults.folderReadOnly || !out.open(QIODevice::WriteOnly))
        return Replacement::NoTemporary;
    // Leaving without commit() removes the temporary and keeps the old file. The text is
    // flushed and checked first: QSaveFile buffers it, and its commit() renames the
    // temporary over the file even when that last write failed (a full disk).
    if (!budget.Write(out, bytes) || !out.flush() || out.error() != QFileDevice::NoError ||
        faults.renameFails)
        return Replacement::Failed;
    return out.commit() ? Replacement::Written : Replacement::Failed;
}

// Rewrites an existing file in place, for a folder that takes no new files. The file is
// grown first by writing what lies past its old end: a full disk stops the write there,
// while the old text is still whole, and the file is cut back to its old size.
bool OverwriteInPlace(const QString& path, QByteArrayView bytes, const SettingsWriteFaults& faults,
                      WriteBudget& budget)
{
    QFile file(path);
    if (faults.fileReadOnly || !QFileInfo(path).isFile() ||
        !file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return false;
    const qint64 oldSize = file.size();
    if (bytes.size() > oldSize) {
        if (!file.seek(oldSize) || !budget.Write(file, bytes.sliced(oldSize))) {
            file.resize(oldSize);
            return false;
        }
    }
    const qint64 overlap = std::min<qint64>(oldSize, bytes.size());
    return file.seek(0) && budget.Write(file, bytes.first(overlap)) && file.resize(bytes.size()) &&
           SyncToDisk(file);
}

bool ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    const SettingsWriteFaults& faults = activeWriteFaults ? *activeWriteFaults : kNoFaults;
    WriteBudget budget(faults.bytesUntilFull);
    switch (ReplaceAtomically(path, bytes, faults, budget)) {
    case Replacement::Written:
        return true;
    case Replacement::Failed:
        return false;
    case Replacement::NoTemporary:
        break;
    }
    return OverwriteInPlace(path, bytes, faults, budget);
}

} // namespace

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue,
                    const QString& file)
{
    const QString path = ChooseFile(file);
    const StoredProfile stored = path.isEmpty() ? StoredProfile() : LoadProfile(path);
    return ReadProfileString(stored.text, section, key, defaultValue);
}

int WriteSetting(const QString& section, const QString& key, const QString& value,
                 const QString& file)
{
    const QString path = ChooseFile(file);
    if (path.isEmpty())
        return 0;
    // A file that could not be read whole is left alone: rewriting it from the part that
    // was read would destroy the rest.
    const StoredProfile stored = LoadProfile(path);
    if (stored.state == StoredProfile::State::Unreadable || stored.beyondLimit)
        return 0;
    const std::optional<QByteArray> updated = WriteProfileString(stored.text, section, key, value);
    if (!updated)
        return 0;
    if (*updated == stored.text)
        return 1;
    return ReplaceFileContents(path, *updated) ? 1 : 0;
}

QString SettingsFilePath()
{
    QString& path = CachedSettingsFilePath();
    if (path.isEmpty() && QCoreApplication::instance())
        path = SettingsPathForExecutable(QCoreApplication::applicationFilePath());
    return path;
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

void SetSettingsWriteFaults(const SettingsWriteFaults* faults)
{
    activeWriteFaults = faults;
}

} // namespace basMosaq
