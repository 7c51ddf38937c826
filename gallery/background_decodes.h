#pragma once

#include "gallery/picture_budget.h"
#include "thumbnails/thumbnail_source.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A thumbnail to decode away from the window's thread: the cell or list entry it is for,
// its file, the pixels it is drawn at and where they may come from.
struct ThumbnailJob
{
    int index = 0;
    QString path;
    pictures::PictureRequest request;
    thumbnails::ThumbnailSources sources;
};

// The gallery's one way to decode in the background: jobs run on Qt's worker threads, and
// their results reach the thread that made this object from its event loop, in the order
// they were decoded. Every function is called on that thread; the decoder is called on
// the workers.
class BackgroundDecodes
{
public:
    using Decoder = std::function<thumbnails::ThumbnailLoad(const ThumbnailJob& job)>;
    using Delivery = std::function<void(int index, thumbnails::ThumbnailLoad load)>;

    static thumbnails::ThumbnailLoad DecodeThumbnail(const ThumbnailJob& job);

    explicit BackgroundDecodes(Delivery deliver, Decoder decoder = DecodeThumbnail);
    // Cancels; never waits for the decodes under way.
    ~BackgroundDecodes();
    BackgroundDecodes(const BackgroundDecodes&) = delete;
    BackgroundDecodes& operator=(const BackgroundDecodes&) = delete;

    // Decodes `jobs` one after the other in one task of the pool, so that a folder of small
    // pictures does not pay a task for each.
    void Submit(std::vector<ThumbnailJob> jobs);
    // Jobs not yet started whose index lies outside `wanted` are skipped: nothing of them
    // is delivered. Until this is called, every job is wanted.
    void SetWanted(CellRange wanted);
    // Skips every job not yet started; no result of a job submitted before is delivered.
    void Cancel();
    // Delivers the results ready now at once, rather than from the event loop: for an owner
    // that waits for one of them.
    void DeliverReady();

private:
    struct State;
    static void Deliver(State& state, bool posted);
    std::shared_ptr<State> state_;
};

// The decodes of a gallery build: `lookahead` jobs at most are decoded or waiting at a
// time beyond the one taken last, so that memory stays bounded whatever the number of
// files, and the build takes them strictly in list order. Dropping it cancels them.
class DecodesInOrder
{
public:
    DecodesInOrder(std::vector<ThumbnailJob> jobs, int lookahead,
                   BackgroundDecodes::Decoder decoder = BackgroundDecodes::DecodeThumbnail);

    // The thumbnail of job `index`, taken out, or nothing while it is on its way; it arrives
    // from the event loop. Jobs are taken in order, each once.
    std::optional<thumbnails::ThumbnailLoad> TryTake(int index);

private:
    void Refill(int taken);

    std::vector<ThumbnailJob> jobs_;
    std::vector<std::optional<thumbnails::ThumbnailLoad>> results_;
    int lookahead_;
    int jobsPerTask_;
    int submitted_ = 0;
    BackgroundDecodes decodes_; // last: its results must find results_ alive
};
