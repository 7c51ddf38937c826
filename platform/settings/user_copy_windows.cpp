#include "settings/settings.h"
#include "settings/user_copy.h"

#include <QStandardPaths>

namespace settings {

// The user's local application data, as the system names it for this user: the variable
// first, which is what Windows sets it from and what tests point elsewhere.
QString UserSettingsCopyPath(const QString& besidePath)
{
    QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (local.isEmpty())
        local = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return local.isEmpty() ? QString() : VirtualStorePath(local, besidePath);
}

} // namespace settings
