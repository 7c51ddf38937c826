#include "pictures/decode_memory.h"

#include "pictures/tuning.h"

#include <algorithm>

namespace pictures {

DecodeMemory& DecodeMemory::Shared()
{
    static DecodeMemory memory(kMostDecodeBytesInFlight);
    return memory;
}

DecodeMemory::Reservation::Reservation(DecodeMemory& memory, qint64 bytes)
    : memory_(memory)
    , bytes_(std::max<qint64>(bytes, 0))
{
    memory_.Reserve(bytes_);
}

DecodeMemory::Reservation::~Reservation()
{
    memory_.Release(bytes_);
}

qint64 DecodeMemory::BytesInFlight() const
{
    const std::lock_guard lock(mutex_);
    return bytesInFlight_;
}

void DecodeMemory::Reserve(qint64 bytes)
{
    std::unique_lock lock(mutex_);
    released_.wait(
        lock, [&] { return bytesInFlight_ == 0 || bytesInFlight_ + bytes <= mostBytesInFlight_; });
    bytesInFlight_ += bytes;
}

void DecodeMemory::Release(qint64 bytes)
{
    {
        const std::lock_guard lock(mutex_);
        bytesInFlight_ -= bytes;
    }
    released_.notify_all();
}

} // namespace pictures
