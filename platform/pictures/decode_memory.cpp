#include "pictures/decode_memory.h"

#include <algorithm>

namespace pictures {

DecodeMemory& DecodeMemory::Shared()
{
    // Four photographs of 4000 x 3000 at full size, or one of the largest pictures the
    // loader accepts; a gallery of small pictures never comes near it.
    static DecodeMemory memory(qint64(256) << 20);
    return memory;
}

DecodeMemory::Hold::Hold(DecodeMemory& memory, qint64 bytes)
    : memory_(memory)
    , bytes_(std::max<qint64>(bytes, 0))
{
    memory_.Acquire(bytes_);
}

DecodeMemory::Hold::~Hold()
{
    memory_.Release(bytes_);
}

qint64 DecodeMemory::Held() const
{
    const std::lock_guard lock(mutex_);
    return held_;
}

void DecodeMemory::Acquire(qint64 bytes)
{
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] { return held_ == 0 || held_ + bytes <= budget_; });
    held_ += bytes;
}

void DecodeMemory::Release(qint64 bytes)
{
    {
        const std::lock_guard lock(mutex_);
        held_ -= bytes;
    }
    released_.notify_all();
}

} // namespace pictures
