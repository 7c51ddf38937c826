#pragma once

#include <QString>

// A folder as the start of its files' paths: with the platform's separator appended
// unless it already ends in one (a root such as "/" or "C:\"). Empty stays empty.
QString FolderWithSeparator(const QString& folder);
