#include "settings/user_copy.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace settings {

// ${XDG_CONFIG_HOME:-~/.config}/tessellon/<executable name>.ini
QString UserSettingsCopyPath(const QString& besidePath)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return {};
    return config + QStringLiteral("/tessellon/") + QFileInfo(besidePath).fileName();
}

} // namespace settings
