// The window's own per-picture work, in isolation: what each thumbnail costs the thread
// that must stay responsive.

#include "gallery/caption.h"
#include "gallery/decode_pipeline.h"
#include "main_window/controls/file_list_box.h"
#include "main_window/frmMosaq.h"

#include <QApplication>
#include <QFontMetrics>

#include <benchmark/benchmark.h>

namespace {

void DrawThumbnailFromReducedPixels(benchmark::State& state)
{
    frmMosaq window;
    const Picture reduced{QImage(500, 375, QImage::Format_RGB32), QSize(4000, 3000)};
    window.picLoad->SetPicture(ResampledForThumbnail(reduced, {64, 64}, 1.0));
    for (auto _ : state) {
        window.DrawThumbnail(*window.picLoad, *window.picThumb);
        benchmark::DoNotOptimize(window.picThumb->Snapshot());
    }
}
BENCHMARK(DrawThumbnailFromReducedPixels);

void ResampleReducedPhoto(benchmark::State& state)
{
    QImage pixels(500, 375, QImage::Format_RGB32);
    pixels.fill(Qt::darkCyan);
    for (auto _ : state)
        benchmark::DoNotOptimize(ResampledForThumbnail({pixels, QSize(4000, 3000)}, {64, 64}, 1.0));
}
BENCHMARK(ResampleReducedPhoto);

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
        window.optThumb.Load(window.optThumb.Count())->show();
    for (auto _ : state)
        window.Form_Resize();
}
BENCHMARK(LayOutCells)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

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
