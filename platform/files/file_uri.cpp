#include "files/file_uri.h"

#include <string_view>

namespace files {

namespace {

bool IsUnescapedInUri(char c)
{
    constexpr std::string_view kMarks = "!$&'()*+,-./:=@_~";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kMarks.find(c) != std::string_view::npos;
}

} // namespace

QString FileUri(const QString& absolutePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = UriPath(absolutePath);
    QString uri = QStringLiteral("file://");
    uri.reserve(uri.size() + bytes.size() * 3);
    for (const char c : bytes) {
        if (IsUnescapedInUri(c)) {
            uri += QLatin1Char(c);
        } else {
            uri += QLatin1Char('%');
            uri += QLatin1Char(kHex[uchar(c) >> 4]);
            uri += QLatin1Char(kHex[uchar(c) & 0x0F]);
        }
    }
    return uri;
}

} // namespace files
