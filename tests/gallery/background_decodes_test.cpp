#include "gallery/background_decodes.h"
#include "gallery/thumbnail_geometry.h"
#include "support/fixture_images.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Takes every picture in order, serving events while waiting, as the gallery build does.
std::vector<pictures::PictureLoad> TakeAll(DecodesInOrder& pipeline, int count)
{
    std::vector<pictures::PictureLoad> loads;
    const QDeadlineTimer deadline(30000);
    for (int i = 0; i < count && !deadline.hasExpired();) {
        if (std::optional<thumbnails::ThumbnailLoad> load = pipeline.TryTake(i)) {
            loads.push_back(std::move(load->load));
            ++i;
        } else {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
    }
    return loads;
}

// A decoder that holds every decode until the test lets it go, and counts them.
class GatedDecoder
{
public:
    BackgroundDecodes::Decoder Decoder()
    {
        return [this](const ThumbnailJob& job) {
            ++started_;
            std::unique_lock lock(mutex_);
            opened_.wait(lock, [this] { return open_; });
            return thumbnails::ThumbnailLoad{pictures::PictureLoad{
                pictures::Picture{QImage(4, 4, QImage::Format_RGB32), QSize(4, 4)}, job.path}};
        };
    }
    void Open()
    {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    int Started() const { return started_; }

private:
    std::atomic<int> started_{0};
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

std::vector<ThumbnailJob> Jobs(int count)
{
    std::vector<ThumbnailJob> jobs;
    jobs.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        jobs.push_back({i, QStringLiteral("job%1").arg(i), pictures::PictureRequest(), {}});
    return jobs;
}

thumbnails::ThumbnailLoad Load(const ThumbnailJob& job)
{
    return {pictures::LoadPicture(job.path, job.request)};
}

} // namespace

TEST(DecodesInOrder, PicturesArriveInListOrderWithFailuresInPlace)
{
    QTemporaryDir folder;
    std::vector<ThumbnailJob> jobs;
    for (int i = 0; i < 40; ++i) {
        const QString path = folder.filePath(QStringLiteral("p%1.bmp").arg(i));
        if (i % 7 == 3)
            WriteBytes(path, "BM damaged");
        else
            WriteSolidImage(path, QSize(1 + i * 5, 1 + (40 - i) * 3),
                            QColor(i * 6, 0, 255 - i * 6));
        jobs.push_back({i, path, pictures::PictureRequest(), {}});
    }
    DecodesInOrder pipeline(jobs, 4, Load);
    const std::vector<pictures::PictureLoad> loads = TakeAll(pipeline, int(jobs.size()));
    ASSERT_EQ(loads.size(), jobs.size());
    for (int i = 0; i < 40; ++i) {
        const pictures::PictureLoad& load = loads[static_cast<size_t>(i)];
        if (i % 7 == 3) {
            EXPECT_FALSE(load) << i;
            continue;
        }
        ASSERT_TRUE(load) << i << ": " << load.error.toStdString();
        EXPECT_EQ(load.picture->size, QSize(1 + i * 5, 1 + (40 - i) * 3)) << "the full size";
        EXPECT_EQ(load.picture->image.pixelColor(0, 0), QColor(i * 6, 0, 255 - i * 6)) << i;
    }
}

// With a long lookahead the workers take several jobs at a time: the bound and the order
// hold all the same, also for the short task at the end.
TEST(DecodesInOrder, AtMostTheLookaheadIsDecodedAhead)
{
    for (const int lookahead : {3, 37}) {
        GatedDecoder gate;
        {
            DecodesInOrder pipeline(Jobs(150), lookahead, gate.Decoder());
            QThreadPool::globalInstance()->waitForDone(200);
            EXPECT_LE(gate.Started(), lookahead);
            EXPECT_FALSE(pipeline.TryTake(0));
            gate.Open();
            const std::vector<pictures::PictureLoad> loads = TakeAll(pipeline, 150);
            ASSERT_EQ(loads.size(), 150U);
            for (int i = 0; i < 150; ++i)
                EXPECT_EQ(loads[size_t(i)].error, QStringLiteral("job%1").arg(i)) << lookahead;
        }
        EXPECT_EQ(gate.Started(), 150) << lookahead;
    }
}

TEST(DecodesInOrder, ADroppedPipelineNeverWaitsAndStartsNothingMore)
{
    GatedDecoder gate;
    {
        DecodesInOrder pipeline(Jobs(100), 8, gate.Decoder());
        // The decodes under way are held at the gate: leaving must not wait for them.
    }
    const int started = gate.Started();
    gate.Open();
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    EXPECT_LE(gate.Started(), 8);
    EXPECT_LE(started, gate.Started());
}

// The pipeline hands over what the decoder made, pixel for pixel: resampling is the
// decoder's business (it delivers the drawn size) and DrawThumbnail's.
TEST(DecodesInOrder, PicturesArriveAsTheDecoderMadeThem)
{
    DecodesInOrder pipeline(Jobs(3), 2, [](const ThumbnailJob& job) {
        QImage pixels(500, 375, QImage::Format_RGB32);
        pixels.fill(QColor(job.path.size() * 20, 10, 10));
        return thumbnails::ThumbnailLoad{
            pictures::PictureLoad{pictures::Picture{pixels, QSize(4000, 3000)}, QString()}};
    });
    const std::vector<pictures::PictureLoad> loads = TakeAll(pipeline, 3);
    ASSERT_EQ(loads.size(), 3u);
    for (const pictures::PictureLoad& load : loads) {
        ASSERT_TRUE(load);
        EXPECT_EQ(load.picture->image.size(), QSize(500, 375));
        EXPECT_EQ(load.picture->size, QSize(4000, 3000));
    }
}

TEST(DecodesInOrder, TheLoaderDeliversTheDrawnSizeDirectly)
{
    QTemporaryDir folder;
    const QString jpeg = folder.filePath(QStringLiteral("photo.jpg"));
    const QString bitmap = folder.filePath(QStringLiteral("photo.bmp"));
    ASSERT_TRUE(WriteSolidImage(jpeg, {400, 300}, Qt::darkGreen));
    ASSERT_TRUE(WriteSolidImage(bitmap, {400, 300}, Qt::darkGreen));
    for (const qreal ratio : {1.0, 2.0}) {
        pictures::PictureRequest request;
        request.target = QSize(62, 62) * ratio;
        request.drawnSize = [ratio](QSize full) {
            return ThumbnailPixelSize(QSizeF(64, 64), QSizeF(full), ratio);
        };
        // 300 * 62 / 400 is 46.5, drawn 46 high: a fit that rounds up would give 47 and
        // need a second resampling.
        for (const QString& path : {jpeg, bitmap}) {
            const pictures::PictureLoad load = pictures::LoadPicture(path, request);
            ASSERT_TRUE(load) << load.error.toStdString();
            EXPECT_EQ(load.picture->size, QSize(400, 300));
            EXPECT_EQ(load.picture->image.size(), QSize(62, 46) * ratio) << path.toStdString();
        }
    }
}

// What reaches the owner's thread: only wanted jobs, nothing submitted before a cancel,
// and each result on that thread.
TEST(BackgroundDecodes, DeliversOnlyWantedJobsOfTheCurrentRoundOnItsOwnThread)
{
    struct Case
    {
        const char* name;
        std::optional<CellRange> wanted;
        bool cancelFirstJobs;
        std::vector<int> delivered;
    };
    const Case cases[] = {
        {"every job", std::nullopt, false, {0, 1, 2, 3, 4, 5, 99}},
        {"the wanted cells", CellRange{2, 5}, false, {2, 3, 4}},
        {"after a cancel", std::nullopt, true, {99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GatedDecoder gate;
        std::vector<int> delivered;
        bool onOwnThread = true;
        BackgroundDecodes decodes(
            [&](int index, const thumbnails::ThumbnailLoad& load) {
                EXPECT_TRUE(load);
                onOwnThread = onOwnThread && QThread::currentThread() == qApp->thread();
                delivered.push_back(index);
            },
            gate.Decoder());
        if (c.wanted)
            decodes.SetWanted(*c.wanted);
        for (ThumbnailJob& job : Jobs(6))
            decodes.Submit({std::move(job)});
        if (c.cancelFirstJobs)
            decodes.Cancel();
        decodes.Submit({{99, QStringLiteral("late"), pictures::PictureRequest(), {}}});
        gate.Open();
        ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::processEvents();
        std::sort(delivered.begin(), delivered.end());
        EXPECT_EQ(delivered, c.delivered);
        EXPECT_TRUE(onOwnThread);
    }
}
