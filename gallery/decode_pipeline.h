#pragma once

#include "pictures/picture.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Decodes the pictures of a gallery build ahead of it on worker threads, a few at a
// time, and hands them over strictly in list order. The decoder delivers each at the
// pixels its thumbnail shows, so that the window's own thread only draws and places it.
class DecodePipeline
{
public:
    struct Job
    {
        QString path;
        pictures::PictureRequest request;
    };
    // Turns a job into its picture; called on worker threads.
    using Decoder = std::function<pictures::PictureLoad(const Job& job)>;

    // At most `lookahead` pictures are decoded or waiting at a time, so that memory stays
    // bounded whatever the number of files. With many ahead, the workers take them several
    // at a time, so that a folder of small pictures does not pay a task for each.
    DecodePipeline(std::vector<Job> jobs, int lookahead, Decoder decoder);
    // Cancels the decodes not yet started; those under way finish on their own and are
    // dropped. Never waits for them.
    ~DecodePipeline();
    DecodePipeline(const DecodePipeline&) = delete;
    DecodePipeline& operator=(const DecodePipeline&) = delete;

    // The picture of job `index`, taken out of the pipeline, or nothing while it is still
    // being decoded. Jobs are taken in order, each once.
    std::optional<pictures::PictureLoad> TryTake(int index);

private:
    struct State;
    void Refill(int taken);
    void Submit(int first, int count);

    std::shared_ptr<State> state_;
    int count_;
    int lookahead_;
    int jobsPerTask_;
    int submitted_ = 0;
};
