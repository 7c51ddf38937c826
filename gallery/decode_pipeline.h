#pragma once

#include "pictures/picture.h"

#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Decodes the pictures of a gallery build ahead of it on worker threads, a few at a
// time, and hands them over strictly in list order. Each picture arrives already
// resampled to the pixels its thumbnail shows, so that the window's own thread only
// draws and places it.
class DecodePipeline
{
public:
    struct Job
    {
        QString path;
        PictureRequest request;
    };
    // Turns a job into its picture; called on worker threads.
    using Decoder = std::function<PictureLoad(const Job& job)>;

    // `thumbnail` is the logical size of the thumbnails and `ratio` the device pixel
    // ratio they are drawn at. At most `lookahead` pictures are decoded or waiting at a
    // time, so that memory stays bounded whatever the number of files.
    DecodePipeline(std::vector<Job> jobs, QSize thumbnail, qreal ratio, int lookahead,
                   Decoder decoder = LoadJob);
    // Cancels the decodes not yet started; those under way finish on their own and are
    // dropped. Never waits for them.
    ~DecodePipeline();
    DecodePipeline(const DecodePipeline&) = delete;
    DecodePipeline& operator=(const DecodePipeline&) = delete;

    int Count() const { return count_; }
    // The picture of job `index`, taken out of the pipeline, or nothing while it is still
    // being decoded. Jobs are taken in order, each once.
    std::optional<PictureLoad> TryTake(int index);

    static PictureLoad LoadJob(const Job& job);

private:
    struct State;
    void Submit(int index);

    std::shared_ptr<State> state_;
    int count_;
    int lookahead_;
    int submitted_ = 0;
};

// The picture as its thumbnail will show it: pixels averaged down to the size it is drawn
// at in a `thumbnail` of the given ratio, its full size kept. Pictures already that small
// are left as they are.
Picture ResampledForThumbnail(Picture picture, QSize thumbnail, qreal ratio);
