#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>

namespace pictures {

// Bounds the bytes of the decodes in flight, whatever the number of threads decoding: a
// decode reserves what it will hold (its file's bytes and its full-size pixels) and waits
// until that fits beside the reservations of the decodes under way. One larger than the
// whole bound runs alone, so that every picture the loader accepts can still be decoded.
class DecodeMemory
{
public:
    explicit DecodeMemory(qint64 mostBytesInFlight)
        : mostBytesInFlight_(mostBytesInFlight)
    {}
    DecodeMemory(const DecodeMemory&) = delete;
    DecodeMemory& operator=(const DecodeMemory&) = delete;

    // The one every load of the loader goes through.
    static DecodeMemory& Shared();

    // The bytes of one decode, reserved for as long as it lives: its constructor waits
    // until they fit.
    class Reservation
    {
    public:
        Reservation(DecodeMemory& memory, qint64 bytes);
        ~Reservation();
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;

    private:
        DecodeMemory& memory_;
        qint64 bytes_;
    };

    // The bytes reserved now, by all the decodes in flight together.
    qint64 BytesInFlight() const;

private:
    void Reserve(qint64 bytes);
    void Release(qint64 bytes);

    const qint64 mostBytesInFlight_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    qint64 bytesInFlight_ = 0; // guarded by mutex_
};

} // namespace pictures
