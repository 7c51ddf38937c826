#include "pictures/image_reader.h"

namespace pictures {

MemoryImageReader::MemoryImageReader(QByteArrayView bytes, const char* format)
    : bytes_(QByteArray::fromRawData(bytes.data(), bytes.size()))
    , buffer_(&bytes_)
    , reader_(&buffer_, format)
{
    buffer_.open(QIODevice::ReadOnly);
}

} // namespace pictures
