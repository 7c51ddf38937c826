#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayView>
#include <QImageReader>

namespace pictures {

// Qt's image reader over bytes in memory, read where they are: no copy is made, so the
// bytes must outlive the reader.
class MemoryImageReader
{
public:
    MemoryImageReader(QByteArrayView bytes, const char* format);
    MemoryImageReader(const MemoryImageReader&) = delete;
    MemoryImageReader& operator=(const MemoryImageReader&) = delete;

    QImageReader& Reader() { return reader_; }
    // The bytes as a device, for readers of the leading segments before the image's own.
    QIODevice& Device() { return buffer_; }

private:
    QByteArray bytes_;
    QBuffer buffer_;
    QImageReader reader_;
};

} // namespace pictures
