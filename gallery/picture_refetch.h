#pragma once

#include "gallery/decode_pipeline.h"
#include "gallery/picture_budget.h"

#include <functional>
#include <memory>

// Gets cells' pictures back from their sources on worker threads, for cells that gave
// theirs up and have come near the view again. Each result is handed to `deliver` on the
// thread that made the fetcher, from its event loop; none after Reset() or destruction.
class PictureRefetch
{
public:
    using Delivery = std::function<void(int index, pictures::PictureLoad load)>;

    explicit PictureRefetch(Delivery deliver);
    // Never waits for fetches under way: their results are dropped.
    ~PictureRefetch();
    PictureRefetch(const PictureRefetch&) = delete;
    PictureRefetch& operator=(const PictureRefetch&) = delete;

    // Fetches cell `index`'s picture unless a fetch of it is under way already.
    void Request(int index, DecodePipeline::Job job, DecodePipeline::Decoder decoder);
    // Cells outside `wanted` are no longer worth fetching: their fetches not yet started
    // are skipped, and may be asked for again.
    void SetWanted(CellRange wanted);
    // Drops every fetch: the cells they were for are gone.
    void Reset();

private:
    struct State;
    std::shared_ptr<State> state_;
};
