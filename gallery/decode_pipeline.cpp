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
    std::vector<std::optional<pictures::PictureLoad>> results; // guarded by mutex
    int awaited = -1;                                          // guarded by mutex
    QAbstractEventDispatcher* consumer = nullptr; // woken when the awaited result arrives
};

namespace {

constexpr int kMostJobsPerTask = 8;

} // namespace

// Two tasks per worker thread fill the lookahead.
DecodePipeline::DecodePipeline(std::vector<Job> jobs, int lookahead, Decoder decoder)
    : state_(std::make_shared<State>())
    , count_(static_cast<int>(jobs.size()))
    , lookahead_(std::max(1, lookahead))
    , jobsPerTask_(std::clamp(
          lookahead_ / (2 * std::max(1, QThreadPool::globalInstance()->maxThreadCount())), 1,
          kMostJobsPerTask))
{
    state_->jobs = std::move(jobs);
    state_->decoder = std::move(decoder);
    state_->results.resize(state_->jobs.size());
    state_->consumer = QThread::currentThread()->eventDispatcher();
    Refill(-1);
}

DecodePipeline::~DecodePipeline()
{
    state_->cancelled = true;
}

std::optional<pictures::PictureLoad> DecodePipeline::TryTake(int index)
{
    std::optional<pictures::PictureLoad> result;
    {
        const std::lock_guard lock(state_->mutex);
        auto& slot = state_->results.at(static_cast<size_t>(index));
        if (!slot) {
            state_->awaited = index;
            return std::nullopt;
        }
        state_->awaited = -1;
        result.swap(slot);
    }
    Refill(index);
    return result;
}

// Keeps `lookahead` jobs in flight beyond the one taken last, in whole tasks but at the end.
void DecodePipeline::Refill(int taken)
{
    const int end = std::min(count_, taken + 1 + lookahead_);
    while (submitted_ < end) {
        const int size = std::min(jobsPerTask_, end - submitted_);
        if (size < jobsPerTask_ && end < count_)
            return;
        Submit(submitted_, size);
    }
}

void DecodePipeline::Submit(int first, int count)
{
    submitted_ += count;
    std::shared_ptr<State> state = state_;
    QThreadPool::globalInstance()->start([state, first, count] {
        for (int index = first; index < first + count; ++index) {
            if (state->cancelled)
                return;
            const Job& job = state->jobs[static_cast<size_t>(index)];
            pictures::PictureLoad load = state->decoder(job);
            bool awaited = false;
            {
                const std::lock_guard lock(state->mutex);
                state->results[static_cast<size_t>(index)] = std::move(load);
                awaited = state->awaited == index;
            }
            // Only the result the window waits for wakes it: the others it takes in passing.
            if (awaited && !state->cancelled && state->consumer != nullptr)
                state->consumer->wakeUp();
        }
    });
}
