#include "files/replacement_file.h"

#include <QFileInfo>
#include <QRandomGenerator>

namespace files {
namespace {

// A link is followed to a regular file only: never to a device or a folder, which a rename
// would put a file in the place of.
QString ResolvedTarget(const QString& path, ReplacementFile::Links links)
{
    const QFileInfo info(path);
    if (links == ReplacementFile::Links::Replace || !info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty())
        return QFileInfo(target).isFile() ? target : QString();
    return info.symLinkTarget(); // a link to a file yet to be made
}

} // namespace

ReplacementFile::ReplacementFile(const QString& path, Links links)
    : target_(ResolvedTarget(path, links))
{}

ReplacementFile::~ReplacementFile()
{
    if (!committed_ && !file_.fileName().isEmpty()) {
        file_.close();
        file_.remove();
    }
}

bool ReplacementFile::Open(std::optional<QFileDevice::Permissions> permissions)
{
    if (target_.isEmpty())
        return false;
    const QFileInfo old(target_);
    if (!permissions && old.exists())
        permissions = old.permissions();
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QString name =
            target_ + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                QLatin1Char('0'));
        file_.setFileName(name);
        const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly;
        const bool opened = permissions ? file_.open(mode, *permissions) : file_.open(mode);
        if (opened) {
            // The process's umask narrows what open() gives a new file.
            return !permissions || file_.permissions() == *permissions ||
                   file_.setPermissions(*permissions);
        }
        if (!QFileInfo::exists(name))
            break; // not a name another writer took
    }
    file_.setFileName(QString());
    return false;
}

bool ReplacementFile::Commit(Durability durability)
{
    if (!file_.isOpen())
        return false;
    bool written = file_.flush() && file_.error() == QFileDevice::NoError;
    if (written && durability == Durability::Synced)
        written = SyncToDisk(file_);
    // Windows renames no open file; and close() reports what the system says only then.
    file_.close();
    written = written && file_.error() == QFileDevice::NoError;
    committed_ = written && RenameOver(file_.fileName(), target_);
    return committed_;
}

} // namespace files
