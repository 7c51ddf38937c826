#pragma once

#include <QString>

#include <optional>

// What the file system's rights and kinds of files let the tests do, system by system.

// Whether taking the write permission from a folder or file keeps this process out: not
// for the superuser, and not on Windows, whose rights are ACLs that Qt's permissions leave
// alone (it sets a file's read-only attribute only).
bool PermissionsBindThisProcess();

// Makes a FIFO at `path`; false where the system has none in its folders (Windows).
bool MakeFifo(const QString& path);

// The permission bits of `path` (0600 and so on); none where files have none (Windows).
std::optional<unsigned> PermissionBits(const QString& path);

// Hides the file at `path` by the attribute Windows hides it by; false where files have no
// such attributes and a leading dot hides a name instead.
enum class HidingAttribute { Hidden, System };
bool SetHidingAttribute(const QString& path, HidingAttribute attribute);
