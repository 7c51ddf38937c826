#pragma once

#include <QFile>
#include <QString>

#include <optional>

namespace files {

// A new version of the file at `path`, written under a name of its own beside it and then
// renamed over it in one step, so that readers find either the old file or the new one
// and a failed write leaves the old file as it was.
//
// QSaveFile does most of this, but its commit() renames even when the sync before it
// failed, and a network file system may report a failed write only at the sync or close.
class ReplacementFile
{
public:
    enum class Durability {
        Cached, // the rename may reach the disk before the text: for files worth no wait
        Synced, // the text is on the disk before the rename, and a failure to sync fails
    };

    enum class Links {
        Replace, // a symbolic link at `path` is replaced by the new file
        Follow,  // it stays a link, and the file it leads to is replaced (a regular file only)
    };

    ReplacementFile(const QString& path, Links links);
    ~ReplacementFile(); // removes the new file unless it was committed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file with `permissions`, or without them those of the file it
    // replaces (a new file gets the system's defaults). False when it cannot be created.
    bool Open(std::optional<QFileDevice::Permissions> permissions = std::nullopt);

    // The new file, open for writing once Open() has succeeded.
    QFile& File() { return file_; }

    // Closes the new file and puts it in the place of the old one. False, with the new file
    // removed, when a write, the sync, the close or the rename failed.
    bool Commit(Durability durability);

private:
    QString target_;
    QFile file_;
    bool committed_ = false;
};

// Waits until what was written to the open `file` has reached the disk.
bool SyncToDisk(QFile& file);

// Renames the file `from` to `to`, replacing a file of that name in one step.
bool RenameOver(const QString& from, const QString& to);

} // namespace files
