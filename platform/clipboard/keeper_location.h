#pragma once

#include <QString>

// The clipboard keeper's executable for a program in `programFolder`: the one beside it
// (the build folder, a folder copied as it is), else the one in the helpers' folder of the
// installed layout, such as /usr/libexec/tessellon for /usr/bin, whatever the prefix.
// Empty when neither place holds an executable keeper.
QString FindClipboardKeeper(const QString& programFolder);
