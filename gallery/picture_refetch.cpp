#include "gallery/picture_refetch.h"

#include <QObject>
#include <QThreadPool>

#include <mutex>
#include <set>

struct PictureRefetch::State
{
    Delivery deliver; // used on the owner's thread only
    std::mutex mutex;
    // Guarded by mutex: the object results are posted to, null once the fetcher is gone;
    // the fetches under way; the cells worth fetching; the round of requests.
    std::unique_ptr<QObject> receiver;
    std::set<int> pending;
    CellRange wanted;
    unsigned round = 0;
};

PictureRefetch::PictureRefetch(Delivery deliver)
    : state_(std::make_shared<State>())
{
    state_->deliver = std::move(deliver);
    state_->receiver = std::make_unique<QObject>();
}

PictureRefetch::~PictureRefetch()
{
    std::unique_ptr<QObject> receiver;
    {
        const std::lock_guard lock(state_->mutex);
        receiver.swap(state_->receiver);
        ++state_->round;
    }
    // Deleted outside the lock; its posted results go with it.
}

void PictureRefetch::Request(int index, DecodePipeline::Job job, DecodePipeline::Decoder decoder)
{
    unsigned round = 0;
    {
        const std::lock_guard lock(state_->mutex);
        if (!state_->pending.insert(index).second)
            return;
        round = state_->round;
    }
    std::shared_ptr<State> state = state_;
    QThreadPool::globalInstance()->start(
        [state, index, round, job = std::move(job), decoder = std::move(decoder)] {
            {
                const std::lock_guard lock(state->mutex);
                if (round != state->round)
                    return;
                if (!state->wanted.Contains(index)) {
                    state->pending.erase(index);
                    return;
                }
            }
            pictures::PictureLoad load = decoder(job);
            const std::lock_guard lock(state->mutex);
            if (round != state->round || !state->receiver)
                return;
            QMetaObject::invokeMethod(
                state->receiver.get(),
                [state, index, round, load = std::move(load)] {
                    {
                        const std::lock_guard lock(state->mutex);
                        if (round != state->round)
                            return;
                        state->pending.erase(index);
                    }
                    state->deliver(index, load);
                },
                Qt::QueuedConnection);
        });
}

void PictureRefetch::SetWanted(CellRange wanted)
{
    const std::lock_guard lock(state_->mutex);
    state_->wanted = wanted;
}

void PictureRefetch::Reset()
{
    const std::lock_guard lock(state_->mutex);
    state_->pending.clear();
    ++state_->round;
}
