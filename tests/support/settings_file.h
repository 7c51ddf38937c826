#pragma once

#include <QFile>
#include <QString>

#include <optional>

// The value of `key` in the section "Main" of the settings file at `path`, read plainly as
// the program left it; none when the file or the key is absent.
inline std::optional<QString> MainSettingIn(const QString& path, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<QString> value;
    bool inMain = false;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(u'[') && text.endsWith(u']'))
            inMain = text == u"[Main]";
        else if (inMain && text.section(u'=', 0, 0) == key)
            value = text.section(u'=', 1);
    }
    return value;
}
