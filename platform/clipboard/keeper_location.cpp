#include "clipboard/keeper_location.h"

#include <QDir>
#include <QFileInfo>

QString FindClipboardKeeper(const QString& programFolder)
{
    const QString name = QStringLiteral("tessellon-clipboard-keeper");
    const QDir folder(programFolder);
    // The installed helpers' folder, relative to the installed program's (set by the build).
    const QString installed = QStringLiteral(TESSELLON_KEEPER_FROM_PROGRAM) + u'/' + name;
    for (const QString& candidate : {folder.filePath(name), folder.filePath(installed)}) {
        const QFileInfo keeper(candidate);
        if (keeper.isFile() && keeper.isExecutable())
            return QDir::cleanPath(keeper.absoluteFilePath());
    }
    return {};
}
