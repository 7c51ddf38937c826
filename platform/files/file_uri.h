#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// The file's URI as GLib's g_filename_to_uri writes it: "file://" and the absolute path's
// bytes, all but the letters, digits and !$&'()*+,-./:=@_~ escaped as %XX.
QString FileUri(const QString& absolutePath);

// The path of a file URI for `absolutePath`, as GLib's g_filename_to_uri takes it: the
// file name's bytes on POSIX; on Windows, its UTF-8 with forward slashes after a slash
// ("/C:/Users/...").
QByteArray UriPath(const QString& absolutePath);

} // namespace files
