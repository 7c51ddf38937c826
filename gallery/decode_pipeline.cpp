#include "gallery/decode_pipeline.h"

#include "gallery/thumbnail_geometry.h"

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
    QSize thumbnail;
    qreal ratio = 1.0;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::vector<std::optional<PictureLoad>> results; // guarded by mutex
    QAbstractEventDispatcher* consumer = nullptr;    // woken when a result arrives
};

Picture ResampledForThumbnail(Picture picture, QSize thumbnail, qreal ratio)
{
    const QSize pixels = ThumbnailPixelSize(QSizeF(thumbnail), QSizeF(picture.size), ratio);
    const QSize have = picture.image.size();
    if (pixels.isEmpty() || have == pixels || have.width() < pixels.width() ||
        have.height() < pixels.height())
        return picture;
    picture.image = picture.image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

PictureLoad DecodePipeline::LoadJob(const Job& job)
{
    return LoadPicture(job.path, job.request);
}

DecodePipeline::DecodePipeline(std::vector<Job> jobs, QSize thumbnail, qreal ratio, int lookahead,
                               Decoder decoder)
    : state_(std::make_shared<State>())
    , count_(static_cast<int>(jobs.size()))
    , lookahead_(std::max(1, lookahead))
{
    state_->jobs = std::move(jobs);
    state_->decoder = std::move(decoder);
    state_->thumbnail = thumbnail;
    state_->ratio = ratio;
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
        if (load.picture)
            *load.picture =
                ResampledForThumbnail(std::move(*load.picture), state->thumbnail, state->ratio);
        {
            const std::lock_guard lock(state->mutex);
            state->results[static_cast<size_t>(index)] = std::move(load);
        }
        if (!state->cancelled && state->consumer != nullptr)
            state->consumer->wakeUp();
    });
}
