#include "support/fixture_images.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QtEndian>

bool WriteSolidImage(const QString& path, QSize size, QColor color, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path, format);
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

namespace {

void AppendLe16(QByteArray& out, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void AppendLe32(QByteArray& out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

QByteArray PngOf(const IconEntry& entry)
{
    QImage image(entry.size, QImage::Format_ARGB32);
    image.fill(entry.color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

bool WriteIcon(const QString& path, const std::vector<IconEntry>& entries)
{
    QByteArray header;
    AppendLe16(header, 0); // reserved
    AppendLe16(header, 1); // icon
    AppendLe16(header, static_cast<quint16>(entries.size()));
    std::vector<QByteArray> payloads;
    payloads.reserve(entries.size());
    for (const IconEntry& entry : entries)
        payloads.push_back(PngOf(entry));
    quint32 offset = 6 + 16 * static_cast<quint32>(entries.size());
    QByteArray directory;
    for (size_t i = 0; i < entries.size(); ++i) {
        const QSize size = entries[i].size;
        directory.append(static_cast<char>(size.width() >= 256 ? 0 : size.width()));
        directory.append(static_cast<char>(size.height() >= 256 ? 0 : size.height()));
        directory.append('\0'); // colors in a palette: none
        directory.append('\0');
        AppendLe16(directory, 1);  // planes
        AppendLe16(directory, 32); // bits per pixel
        AppendLe32(directory, static_cast<quint32>(payloads[i].size()));
        AppendLe32(directory, offset);
        offset += static_cast<quint32>(payloads[i].size());
    }
    QByteArray file = header + directory;
    for (const QByteArray& payload : payloads)
        file += payload;
    return WriteBytes(path, file);
}
