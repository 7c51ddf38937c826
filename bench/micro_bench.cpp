// The window's own per-picture work, in isolation: what each thumbnail costs the thread
// that must stay responsive. Then what each source of a thumbnail's picture costs a
// worker: a decode by format and size, an entry of the shared cache, a camera's preview.

#include "gallery/background_decodes.h"
#include "gallery/caption.h"
#include "main_window/controls/file_list_box.h"
#include "main_window/frmMosaq.h"
#include "pictures/jpeg_first_scan.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_source.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void DrawThumbnailFromReducedPixels(benchmark::State& state)
{
    frmMosaq window;
    // As the loader delivers a photo of 4000 x 3000: at the drawn size.
    window.picLoad->SetPicture(
        pictures::Picture{QImage(62, 46, QImage::Format_RGB32), QSize(4000, 3000)});
    for (auto _ : state) {
        window.DrawThumbnail(*window.picLoad, *window.picThumb);
        benchmark::DoNotOptimize(window.picThumb->Snapshot());
    }
}
BENCHMARK(DrawThumbnailFromReducedPixels);

// A picture larger than it is drawn, which DrawThumbnail averages down itself.
void DrawThumbnailFromLargerPixels(benchmark::State& state)
{
    frmMosaq window;
    QImage pixels(500, 375, QImage::Format_RGB32);
    pixels.fill(Qt::darkCyan);
    window.picLoad->SetPicture(pictures::Picture{pixels, QSize(4000, 3000)});
    for (auto _ : state) {
        window.DrawThumbnail(*window.picLoad, *window.picThumb);
        benchmark::DoNotOptimize(window.picThumb->Snapshot());
    }
}
BENCHMARK(DrawThumbnailFromLargerPixels);

void ShortenLongCaption(benchmark::State& state)
{
    const QFontMetrics metrics(QApplication::font());
    const QString name =
        QStringLiteral("a rather long file name from a camera IMG_20261208_104512.jpg");
    for (auto _ : state)
        benchmark::DoNotOptimize(ShortenCaption(
            name, 80, [&](const QString& t) { return metrics.horizontalAdvance(t); }));
}
BENCHMARK(ShortenLongCaption);

void SortNamesNaturally(benchmark::State& state)
{
    QStringList names;
    for (int i = 0; i < state.range(0); ++i)
        names.append(QStringLiteral("IMG_%1_%2.jpg").arg(i * 7919 % 100000).arg(i % 13));
    for (auto _ : state) {
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(), NaturalLess);
        benchmark::DoNotOptimize(sorted);
    }
}
BENCHMARK(SortNamesNaturally)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void LayOutCells(benchmark::State& state)
{
    frmMosaq window;
    window.show();
    while (window.optThumb.Count() < state.range(0))
        window.optThumb.Load(window.optThumb.Count())->SetInGallery(true);
    for (auto _ : state)
        window.Form_Resize();
}
BENCHMARK(LayOutCells)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// --- Sources of a thumbnail's picture -------------------------------------------------

QTemporaryDir& Scratch()
{
    static QTemporaryDir folder;
    return folder;
}

QString CacheFolder()
{
    return Scratch().filePath(QStringLiteral("thumbnails"));
}

// A picture of `side` x 3/4 `side` with a photograph's gradients and edges, in `format`;
// a progressive JPEG when `format` is "progressive.jpg".
QString PictureFile(const char* format, int side)
{
    QString path =
        Scratch().filePath(QStringLiteral("picture%1.%2").arg(side).arg(QLatin1String(format)));
    if (QFile::exists(path))
        return path;
    QImage image(side, side * 3 / 4, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, image.width(), image.height());
    gradient.setColorAt(0, Qt::darkCyan);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::darkRed, 3));
    for (int i = 0; i < 40; ++i)
        painter.drawEllipse(i * side / 50, i * side / 70, side / 5, side / 6);
    painter.end();
    if (QByteArrayView(format) == "gif") {
        // Qt reads GIF but does not write it.
        const QString png = path + QStringLiteral(".png");
        image.save(png);
        QProcess::execute(QStringLiteral("convert"), {png, path});
        return path;
    }
    const bool progressive = QByteArrayView(format) == "progressive.jpg";
    QImageWriter writer(path, progressive ? "jpg" : format);
    writer.setQuality(88);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return path;
}

pictures::PictureRequest ThumbnailRequest()
{
    pictures::PictureRequest request;
    request.target = QSize(62, 62);
    request.drawnSize = [](QSize full) { return pictures::FitSizeInto(full, QSize(62, 62)); };
    return request;
}

// A plain decode for a thumbnail, as the gallery does without the cache: the cost a cache
// entry must beat to be worth reading.
void DecodeForThumbnail(benchmark::State& state, const char* format)
{
    const QString path = PictureFile(format, int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(pictures::LoadPicture(path, ThumbnailRequest()));
}
// Sides of 4:3 pictures around the sizes where a decode costs what an entry read does.
void PictureSides(benchmark::internal::Benchmark* benchmark)
{
    for (const int side : {256, 384, 512, 768, 1024})
        benchmark->Arg(side);
    benchmark->Unit(benchmark::kMicrosecond);
}
BENCHMARK_CAPTURE(DecodeForThumbnail, jpeg, "jpg")->Apply(PictureSides)->Arg(1600)->Arg(4000);
BENCHMARK_CAPTURE(DecodeForThumbnail, bmp, "bmp")->Apply(PictureSides);
BENCHMARK_CAPTURE(DecodeForThumbnail, gif, "gif")->Apply(PictureSides);

// A progressive JPEG for a thumbnail from its first scans, and whole as before: beside the
// baseline form of the same picture above.
void DecodeProgressiveForThumbnail(benchmark::State& state)
{
    const QString path = PictureFile("progressive.jpg", int(state.range(0)));
    pictures::SetJpegFirstScansUsed(state.range(1) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(pictures::LoadPicture(path, ThumbnailRequest()));
    pictures::SetJpegFirstScansUsed(true);
}
BENCHMARK(DecodeProgressiveForThumbnail)
    ->ArgNames({"side", "first_scans"})
    ->Args({1600, 1})
    ->Args({1600, 0})
    ->Args({4000, 1})
    ->Args({4000, 0})
    ->Unit(benchmark::kMillisecond);

// The whole way through the cache for a picture that has a normal entry: open the file,
// read its head, read and check the entry.
void ReadFromCache(benchmark::State& state)
{
    const QString path = PictureFile("jpg", 1024);
    const thumbnails::ThumbnailSources sources{false, CacheFolder(), true};
    thumbnails::LoadThumbnailPicture(path, ThumbnailRequest(), sources); // leaves the entry
    for (auto _ : state)
        benchmark::DoNotOptimize(
            thumbnails::LoadThumbnailPicture(path, ThumbnailRequest(), sources));
}
BENCHMARK(ReadFromCache)->Unit(benchmark::kMicrosecond);

// A photograph's decode with and without writing its cache entry.
void DecodeLargePhoto(benchmark::State& state)
{
    const QString path = PictureFile("jpg", 4000);
    const thumbnails::ThumbnailSources sources{false, CacheFolder(), state.range(0) != 0};
    for (auto _ : state) {
        state.PauseTiming();
        QDir(CacheFolder()).removeRecursively();
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            thumbnails::LoadThumbnailPicture(path, ThumbnailRequest(), sources));
    }
}
BENCHMARK(DecodeLargePhoto)->ArgName("write")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A photograph with a 160 x 120 preview, as cameras write it.
void ReadCameraPreview(benchmark::State& state)
{
    const QString photo = PictureFile("jpg", 4000);
    const QString camera = Scratch().filePath(QStringLiteral("camera.jpg"));
    const QString preview = Scratch().filePath(QStringLiteral("preview.jpg"));
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty()) {
        state.SkipWithError("exiftool is not installed");
        return;
    }
    QImage(photo).scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(preview);
    QFile::remove(camera);
    QFile::copy(photo, camera);
    QProcess::execute(exiftool, {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                 QStringLiteral("-ThumbnailImage<=") + preview, camera});
    const thumbnails::ThumbnailSources sources{true, QString(), false};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            thumbnails::LoadThumbnailPicture(camera, ThumbnailRequest(), sources));
}
BENCHMARK(ReadCameraPreview)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
