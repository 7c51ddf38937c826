#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>

namespace pictures {

// Bounds the bytes that decodes hold at once, whatever the number of threads decoding:
// a decode states what it will hold (its file's bytes and its full-size pixels) and waits
// until that fits beside the decodes under way. One larger than the whole budget runs
// alone, so that every picture the loader accepts can still be decoded.
class DecodeMemory
{
public:
    explicit DecodeMemory(qint64 budget)
        : budget_(budget)
    {}
    DecodeMemory(const DecodeMemory&) = delete;
    DecodeMemory& operator=(const DecodeMemory&) = delete;

    // The one every load of the loader goes through.
    static DecodeMemory& Shared();

    class Hold
    {
    public:
        Hold(DecodeMemory& memory, qint64 bytes);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        DecodeMemory& memory_;
        qint64 bytes_;
    };

    qint64 Held() const;

private:
    void Acquire(qint64 bytes);
    void Release(qint64 bytes);

    const qint64 budget_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    qint64 held_ = 0; // guarded by mutex_
};

} // namespace pictures
