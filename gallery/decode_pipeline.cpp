#include "gallery/decode_pipeline.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <mutex>

struct DecodePipeline::State
{
    std::vector<Job> jobs;
    Decoder decoder;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::vector<std::optional<PictureLoad>> results; // guarded by mutex
    QAbstractEventDispatcher* consumer = nullptr;    // woken when a result arrives
};

DecodePipeline::DecodePipeline(std::vector<Job> jobs, int lookahead, Decoder decoder)
    : state_(std::make_shared<State>())
    , count_(static_cast<int>(jobs.size()))
    , lookahead_(std::max(1, lookahead))
{
    state_->jobs = std::move(jobs);
    state_->decoder = std::move(decoder);
    state_->results.resize(state_->jobs.size());
    state_->consumer = QThread::currentThread()->eventDispatcher();
    while (submitted_ < count_ && submitted_ < lookahead_)
        Submit(submitted_);
}

DecodePipeline::~DecodePipeline()
{
    state_->cancelled = true;
}

std::optional<PictureLoad> DecodePipeline::TryTake(int index)
{
    std::optional<PictureLoad> result;
    {
        const std::lock_guard lock(state_->mutex);
        auto& slot = state_->results.at(static_cast<size_t>(index));
        if (!slot)
            return std::nullopt;
        result.swap(slot);
    }
    // Keeps `lookahead` jobs in flight beyond the one just taken.
    while (submitted_ < count_ && submitted_ <= index + lookahead_)
        Submit(submitted_);
    return result;
}

void DecodePipeline::Submit(int index)
{
    ++submitted_;
    std::shared_ptr<State> state = state_;
    QThreadPool::globalInstance()->start([state, index] {
        if (state->cancelled)
            return;
        const Job& job = state->jobs[static_cast<size_t>(index)];
        PictureLoad load = state->decoder(job);
        {
            const std::lock_guard lock(state->mutex);
            state->results[static_cast<size_t>(index)] = std::move(load);
        }
        if (!state->cancelled && state->consumer != nullptr)
            state->consumer->wakeUp();
    });
}
