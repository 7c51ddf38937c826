#include "gallery/background_decodes.h"

#include "main_window/tuning.h"

#include <QObject>
#include <QThreadPool>

#include <algorithm>
#include <mutex>
#include <utility>

struct BackgroundDecodes::State
{
    Decoder decoder;  // called on the workers; never changes
    Delivery deliver; // called on the owner's thread only
    std::mutex mutex;
    // Guarded by mutex: the object results are posted to, null once the owner is gone; the
    // round of submissions, which Cancel() ends; the cells worth decoding; the results not
    // yet delivered, and whether a delivery of them is posted already.
    std::unique_ptr<QObject> receiver;
    unsigned round = 0;
    std::optional<CellRange> wanted;
    std::vector<std::pair<int, thumbnails::ThumbnailLoad>> ready;
    bool deliveryPosted = false;
};

thumbnails::ThumbnailLoad BackgroundDecodes::DecodeThumbnail(const ThumbnailJob& job)
{
    return thumbnails::LoadThumbnailPicture(job.path, job.request, job.sources);
}

BackgroundDecodes::BackgroundDecodes(Delivery deliver, Decoder decoder)
    : state_(std::make_shared<State>())
{
    state_->decoder = std::move(decoder);
    state_->deliver = std::move(deliver);
    state_->receiver = std::make_unique<QObject>();
}

BackgroundDecodes::~BackgroundDecodes()
{
    std::unique_ptr<QObject> receiver;
    {
        const std::lock_guard lock(state_->mutex);
        receiver.swap(state_->receiver);
        ++state_->round;
        state_->ready.clear();
    }
    // Deleted outside the lock; a delivery posted to it goes with it.
}

// Hands the results ready now to the owner. A posted delivery also lets the workers post
// the next one.
void BackgroundDecodes::Deliver(State& state, bool posted)
{
    std::vector<std::pair<int, thumbnails::ThumbnailLoad>> ready;
    unsigned round = 0;
    {
        const std::lock_guard lock(state.mutex);
        ready.swap(state.ready);
        if (posted)
            state.deliveryPosted = false;
        round = state.round;
    }
    for (auto& [index, result] : ready) {
        {
            // A delivery may cancel the ones after it.
            const std::lock_guard lock(state.mutex);
            if (round != state.round)
                return;
        }
        state.deliver(index, std::move(result));
    }
}

void BackgroundDecodes::DeliverReady()
{
    Deliver(*state_, false);
}

void BackgroundDecodes::Submit(std::vector<ThumbnailJob> jobs)
{
    unsigned round = 0;
    {
        const std::lock_guard lock(state_->mutex);
        round = state_->round;
    }
    std::shared_ptr<State> state = state_;
    QThreadPool::globalInstance()->start([state, round, jobs = std::move(jobs)] {
        for (const ThumbnailJob& job : jobs) {
            {
                const std::lock_guard lock(state->mutex);
                if (round != state->round)
                    return;
                if (state->wanted && !state->wanted->Contains(job.index))
                    continue;
            }
            thumbnails::ThumbnailLoad load = state->decoder(job);
            const std::lock_guard lock(state->mutex);
            if (round != state->round || !state->receiver)
                return;
            state->ready.emplace_back(job.index, std::move(load));
            // One delivery takes every result that is ready by then: the owner's thread is
            // woken once for many small pictures, not once for each.
            if (std::exchange(state->deliveryPosted, true))
                continue;
            QMetaObject::invokeMethod(
                state->receiver.get(), [state] { Deliver(*state, true); }, Qt::QueuedConnection);
        }
    });
}

void BackgroundDecodes::SetWanted(CellRange wanted)
{
    const std::lock_guard lock(state_->mutex);
    state_->wanted = wanted;
}

void BackgroundDecodes::Cancel()
{
    const std::lock_guard lock(state_->mutex);
    ++state_->round;
    state_->ready.clear();
}

// Two tasks per worker thread fill the lookahead.
DecodesInOrder::DecodesInOrder(std::vector<ThumbnailJob> jobs, int lookahead,
                               BackgroundDecodes::Decoder decoder)
    : jobs_(std::move(jobs))
    , results_(jobs_.size())
    , lookahead_(std::max(1, lookahead))
    , jobsPerTask_(std::clamp(
          lookahead_ / (2 * std::max(1, QThreadPool::globalInstance()->maxThreadCount())), 1,
          kMostJobsPerTask))
    , decodes_(
          [this](int index, thumbnails::ThumbnailLoad load) {
              results_.at(static_cast<size_t>(index)) = std::move(load);
          },
          std::move(decoder))
{
    Refill(-1);
}

std::optional<thumbnails::ThumbnailLoad> DecodesInOrder::TryTake(int index)
{
    if (!results_.at(static_cast<size_t>(index)))
        decodes_.DeliverReady();
    std::optional<thumbnails::ThumbnailLoad> result;
    result.swap(results_.at(static_cast<size_t>(index)));
    if (result)
        Refill(index);
    return result;
}

// Keeps `lookahead` jobs in flight beyond the one taken last, in whole tasks but at the end.
void DecodesInOrder::Refill(int taken)
{
    const int count = static_cast<int>(jobs_.size());
    const int end = std::min(count, taken + 1 + lookahead_);
    while (submitted_ < end) {
        const int size = std::min(jobsPerTask_, end - submitted_);
        if (size < jobsPerTask_ && end < count)
            return;
        const auto first = jobs_.begin() + submitted_;
        decodes_.Submit({std::make_move_iterator(first), std::make_move_iterator(first + size)});
        submitted_ += size;
    }
}
