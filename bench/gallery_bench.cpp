// Builds galleries on the real window and prints what a user feels: images per second,
// wall time, peak memory and the longest time the window went unserved. Each run is a
// process of its own, so that peak memory is the run's own; figures are medians.
//
//   gallery_bench [--runs N]        every scenario, N runs each (default 5)
//   gallery_bench --sources [--runs N]
//                                   the thumbnail sources' scenarios only
//   gallery_bench --scale           the large folders' scenarios only
//   gallery_bench --progressive [--runs N]
//                                   the progressive JPEGs' scenarios only
//   gallery_bench --build FOLDER [--once] [--scroll] [--layout] [--full-decode]
//                                   one build in this process (used by the scenarios);
//                                   --full-decode decodes progressive JPEGs whole, as the
//                                   loader did before it read their first scans alone
//   gallery_bench --open FOLDER --since MS [--no-cache-writing]
//                                   one start that opens FOLDER, timed from MS on the
//                                   monotonic clock (used by the scenarios)
//
// Every process the benchmark starts has a desktop thumbnail cache of its own, in a
// temporary folder: the user's cache is never read or written.

#include "bench/bench_folders.h"
#include "main_window/frmMosaq.h"
#include "pictures/jpeg_first_scan.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

namespace {

using Figures = std::map<QString, double>;

// The process's own peak resident memory. Not getrusage(): its maximum survives exec and
// would report the launching process's peak.
double PeakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// One gallery build of `folder` in this process; prints its figures as key=value pairs.
// Drags the scroll bar from the top of the gallery to its bottom, a page a step, as a user
// skimming the folder would. Gives the longest a step held the window up, and the longest
// a cell in view then waited for its own picture.
std::pair<double, double> ScrollThrough(frmMosaq& window)
{
    QScrollBar& bar = *window.vsbSlide;
    const int step = std::max(1, bar.pageStep());
    double longestStep = 0;
    double longestWait = 0;
    for (int value = bar.minimum(); value <= bar.maximum(); value += step) {
        QElapsedTimer clock;
        clock.start();
        bar.setValue(value);
        window.picFrame->repaint();
        QCoreApplication::processEvents();
        longestStep = std::max(longestStep, static_cast<double>(clock.nsecsElapsed()) / 1e6);
        const int cellHeight = std::max(1, window.optThumb.CellSize().height());
        const int columns =
            std::max(1, window.picSlide->width() / window.optThumb.CellSize().width());
        const int first = value / cellHeight * columns;
        const int end = std::min(window.optThumb.Count(),
                                 ((value + window.picFrame->height()) / cellHeight + 1) * columns);
        const auto inViewHavePictures = [&] {
            for (int i = first; i < end; ++i) {
                if (window.optThumb(i)->GetPicture().isNull())
                    return false;
            }
            return true;
        };
        clock.restart();
        WaitUntil(inViewHavePictures, 5000);
        longestWait = std::max(longestWait, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    return {longestStep, longestWait};
}

int BuildOnce(const QString& folder, bool timeLayout, bool rebuild, bool scroll)
{
    QTemporaryDir settingsFolder;
    const QString settings = settingsFolder.filePath(QStringLiteral("bench.ini"));
    QFile file(settings);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("[Main]\r\nLast Path=/nonexistent-folder-of-the-benchmark\r\n");
    file.close();

    frmMosaq window(settings);
    window.show();
    window.activateWindow();
    if (!WaitUntil([&] { return window.HasActivated(); }, 10000))
        return 2;
    if (window.filHidden->SetPath(folder) != FileListBox::PathError::None)
        return 3;

    // A timer that wants to run every millisecond: the longest time between two of its
    // runs is the longest the window went without serving its events.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
    });
    // A build, then a moment of the window on its own, so that painting the new gallery
    // and deleting the old cells count too.
    auto timedBuild = [&] {
        clock.start();
        last = 0;
        probe.start();
        window.LoadThumbnails();
        const qint64 wall = clock.nsecsElapsed();
        WaitUntil([] { return false; }, 300);
        longestGap = std::max(longestGap, clock.nsecsElapsed() - last);
        probe.stop();
        return wall;
    };

    const qint64 wall = timedBuild();
    // A second build over the first one's cells, as Refresh does.
    const qint64 rebuildWall = rebuild ? timedBuild() : 0;

    Figures figures;
    figures[QStringLiteral("listed")] = window.filHidden->ListCount();
    figures[QStringLiteral("images")] = window.optThumb.Count();
    figures[QStringLiteral("wall_s")] = static_cast<double>(wall) / 1e9;
    figures[QStringLiteral("rebuild_s")] = static_cast<double>(rebuildWall) / 1e9;
    figures[QStringLiteral("gap_ms")] = static_cast<double>(longestGap) / 1e6;
    figures[QStringLiteral("rss_mb")] = PeakResidentMegabytes();
    if (scroll) {
        const auto [longestStep, longestWait] = ScrollThrough(window);
        figures[QStringLiteral("scroll_step_ms")] = longestStep;
        figures[QStringLiteral("picture_wait_ms")] = longestWait;
    }
    if (timeLayout) {
        std::vector<double> passes;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer pass;
            pass.start();
            window.Form_Resize();
            passes.push_back(static_cast<double>(pass.nsecsElapsed()) / 1e6);
        }
        figures[QStringLiteral("layout_ms")] = Median(passes);
    }
    for (const auto& [key, value] : figures)
        std::printf("%s=%.3f ", qPrintable(key), value);
    std::printf("\n");
    return 0;
}

qint64 MonotonicMilliseconds()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

// One start of the program's window that opens `folder` as the stored folder, as every
// start does. Prints the time from `startedAt` (when the benchmark started this process)
// until the last cell can be picked.
int OpenOnce(const QString& folder, qint64 startedAt, bool writeCache)
{
    QTemporaryDir settingsFolder;
    const QString settings = settingsFolder.filePath(QStringLiteral("bench.ini"));
    QFile file(settings);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("[Main]\r\nLast Path=" + QFile::encodeName(folder) + "\r\n");
    file.close();

    frmMosaq window(settings);
    window.SetThumbnailCacheWriting(writeCache);
    window.show();
    window.activateWindow();
    // The first activation opens the folder and returns once its last cell is made.
    if (!WaitUntil([&] { return window.HasActivated() && !window.IsBuilding(); }, 15 * 60 * 1000))
        return 2;
    const qint64 pickable = MonotonicMilliseconds() - startedAt;
    std::printf("images=%d pickable_s=%.3f rss_mb=%.1f\n", window.optThumb.Count(),
                static_cast<double>(pickable) / 1e3, PeakResidentMegabytes());
    return 0;
}

// The environment of a benchmark process: offscreen, with `cache` as its thumbnail cache.
QProcessEnvironment ChildEnvironment(const QString& cache)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    return environment;
}

std::optional<Figures> RunChild(const QStringList& arguments, const QString& cache)
{
    QProcess child;
    child.setProcessEnvironment(ChildEnvironment(cache));
    child.start(QCoreApplication::applicationFilePath(), arguments);
    // What the child says on its error channel is shown only when it fails: offscreen Qt
    // warns about every window it shows.
    if (!child.waitForFinished(15 * 60 * 1000) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (%d): %s\n", qPrintable(arguments.join(u' ')),
                     child.exitCode(), child.readAllStandardError().constData());
        return std::nullopt;
    }
    Figures figures;
    for (const QString& pair : QString::fromUtf8(child.readAllStandardOutput())
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.trimmed().split(QLatin1Char('='));
        if (parts.size() == 2)
            figures[parts[0]] = parts[1].toDouble();
    }
    return figures;
}

std::optional<Figures> RunOpen(const QString& folder, const QString& cache, bool writeCache)
{
    QStringList arguments = {QStringLiteral("--open"), folder, QStringLiteral("--since"),
                             QString::number(MonotonicMilliseconds())};
    if (!writeCache)
        arguments.append(QStringLiteral("--no-cache-writing"));
    return RunChild(arguments, cache);
}

std::optional<Figures> RunBuild(const QString& folder, bool timeLayout,
                                const QStringList& options = {})
{
    QStringList arguments = QStringList{QStringLiteral("--build"), folder} + options;
    if (timeLayout)
        arguments.append(QStringLiteral("--layout"));
    // An empty cache: the first build decodes every picture, the second one reads them.
    const QTemporaryDir cache;
    return RunChild(arguments, cache.path());
}

Figures MedianBuild(const QString& folder, int runs, bool timeLayout = false,
                    const QStringList& options = {})
{
    std::map<QString, std::vector<double>> samples;
    for (int i = 0; i < runs; ++i) {
        if (const std::optional<Figures> figures = RunBuild(folder, timeLayout, options)) {
            for (const auto& [key, value] : *figures)
                samples[key].push_back(value);
        }
    }
    Figures medians;
    for (const auto& [key, values] : samples)
        medians[key] = Median(values);
    return medians;
}

std::optional<double> MedianVipsSeconds(const QString& folder, int runs)
{
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (vips.isEmpty())
        return std::nullopt;
    QStringList files;
    for (const QString& name :
         QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        files.append(folder + QLatin1Char('/') + name);
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir out;
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(vips,
                      QStringList{QStringLiteral("-s"), QStringLiteral("62x62"),
                                  QStringLiteral("-o"), out.path() + QStringLiteral("/%s.jpg")} +
                          files);
        if (!process.waitForFinished(15 * 60 * 1000) || process.exitCode() != 0)
            return std::nullopt;
        seconds.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    return Median(seconds);
}

void PrintRow(const char* scenario, const Figures& f)
{
    const double wall = f.count(QStringLiteral("wall_s")) ? f.at(QStringLiteral("wall_s")) : 0;
    const double images = f.count(QStringLiteral("images")) ? f.at(QStringLiteral("images")) : 0;
    const double rebuild =
        f.count(QStringLiteral("rebuild_s")) ? f.at(QStringLiteral("rebuild_s")) : 0;
    std::printf("%-28s %7.0f %10.1f %9.3f %10.3f %11.1f %9.1f", scenario, images,
                wall > 0 ? images / wall : 0, wall, rebuild,
                f.count(QStringLiteral("gap_ms")) ? f.at(QStringLiteral("gap_ms")) : 0,
                f.count(QStringLiteral("rss_mb")) ? f.at(QStringLiteral("rss_mb")) : 0);
    if (f.count(QStringLiteral("layout_ms")))
        std::printf("   layout of %0.f cells: %.2f ms", images, f.at(QStringLiteral("layout_ms")));
    std::printf("\n");
    std::fflush(stdout);
}

struct OpenFigures
{
    double coldWriting = 0; // an empty cache, entries written
    double coldPlain = 0;   // an empty cache, nothing written
    double reopen = 0;      // the cache the cold start left
    double megabytes = 0;   // peak memory of the cold start that writes
};

double Value(const std::optional<Figures>& figures, const char* key)
{
    return figures && figures->count(QLatin1String(key)) ? figures->at(QLatin1String(key)) : 0;
}

// Starts that open `folder`: cold with cache writing then a reopen on the cache it left,
// and cold without writing; `runs` of each, medians.
OpenFigures MedianOpens(const QString& folder, int runs)
{
    std::vector<double> coldWriting, coldPlain, reopen, megabytes;
    for (int i = 0; i < runs; ++i) {
        const QTemporaryDir cache;
        const std::optional<Figures> cold = RunOpen(folder, cache.path(), true);
        coldWriting.push_back(Value(cold, "pickable_s"));
        megabytes.push_back(Value(cold, "rss_mb"));
        reopen.push_back(Value(RunOpen(folder, cache.path(), true), "pickable_s"));
        const QTemporaryDir empty;
        coldPlain.push_back(Value(RunOpen(folder, empty.path(), false), "pickable_s"));
    }
    return {Median(coldWriting), Median(coldPlain), Median(reopen), Median(megabytes)};
}

void PrintSourceRow(const char* scenario, double seconds, std::optional<double> vips,
                    double megabytes = 0)
{
    std::printf("%-40s %8.3f", scenario, seconds);
    if (vips && *vips > 0)
        std::printf(" %12.3f %9.2f", *vips, seconds / *vips);
    else
        std::printf(" %12s %9s", "-", "-");
    if (megabytes > 0)
        std::printf(" %9.1f", megabytes);
    std::printf("\n");
    std::fflush(stdout);
}

// The thumbnail sources, end to end: from the start of the process until the last cell
// can be picked, beside vipsthumbnail over the same files in the same run.
void RunSourceScenarios(int runs)
{
    std::printf("\nThumbnail sources, end to end: from the start of the program until the last "
                "cell can be picked\n");
    std::printf("%-40s %8s %12s %9s %9s\n", "scenario", "s", "vipsthumb s", "ratio", "peak MB");
    for (const int count : {24, 200}) {
        const QString photos = PhotoFolder(count);
        const std::optional<double> vips = MedianVipsSeconds(photos, runs);
        const OpenFigures opens = MedianOpens(photos, runs);
        const QString label = QStringLiteral("%1 photos").arg(count);
        PrintSourceRow(qPrintable(label + QStringLiteral(", cold, cache writing on")),
                       opens.coldWriting, vips, opens.megabytes);
        PrintSourceRow(qPrintable(label + QStringLiteral(", cold, cache writing off")),
                       opens.coldPlain, vips);
        PrintSourceRow(qPrintable(label + QStringLiteral(", reopen from the cache")), opens.reopen,
                       vips);
        if (opens.coldPlain > 0)
            std::printf("%-40s %8.3f\n", "  writing on / writing off",
                        opens.coldWriting / opens.coldPlain);

        const QString camera = CameraFolder(count);
        if (camera.isEmpty())
            continue;
        std::vector<double> previews;
        for (int i = 0; i < runs; ++i) {
            const QTemporaryDir cache;
            previews.push_back(Value(RunOpen(camera, cache.path(), true), "pickable_s"));
        }
        PrintSourceRow(qPrintable(label + QStringLiteral(" with camera previews, cold")),
                       Median(previews), MedianVipsSeconds(camera, runs));
    }
    const QString photos1000 = PhotoFolder(1000);
    std::vector<double> reopen1000;
    for (int i = 0; i < std::min(runs, 3); ++i) {
        const QTemporaryDir cache;
        RunOpen(photos1000, cache.path(), true);
        reopen1000.push_back(Value(RunOpen(photos1000, cache.path(), true), "pickable_s"));
    }
    PrintSourceRow("1000 photos, reopen from the cache", Median(reopen1000), std::nullopt);
}

double Figure(const Figures& figures, const char* key)
{
    const auto found = figures.find(QLatin1String(key));
    return found != figures.end() ? found->second : 0;
}

// Folders of a camera roll's size: one build each of 10,000 and 100,000 small pictures in
// the same run, then a scroll through the large gallery.
void RunScaleScenarios()
{
    std::printf("\nLarge folders: one build each, an empty cache\n");
    std::printf("%-24s %9s %11s %9s %10s %14s %15s\n", "scenario", "wall s", "us per file",
                "peak MB", "max gap ms", "scroll step ms", "picture wait ms");
    double wall10k = 0;
    for (const int count : {10000, 100000}) {
        const QTemporaryDir cache;
        const QStringList options = {QStringLiteral("--once"), QStringLiteral("--scroll")};
        const std::optional<Figures> f = RunChild(
            QStringList{QStringLiteral("--build"), SmallFolder(count)} + options, cache.path());
        if (!f)
            continue;
        const double wall = Figure(*f, "wall_s");
        const double files = Figure(*f, "listed");
        std::printf("%-24s %9.2f %11.1f %9.1f %10.1f %14.1f %15.1f\n",
                    qPrintable(QStringLiteral("%1 small").arg(count)), wall,
                    files > 0 ? wall * 1e6 / files : 0, Figure(*f, "rss_mb"), Figure(*f, "gap_ms"),
                    Figure(*f, "scroll_step_ms"), Figure(*f, "picture_wait_ms"));
        if (count == 10000)
            wall10k = wall;
        else if (wall10k > 0)
            std::printf("%-24s %9.2f\n", "  100,000 / 10,000", wall / wall10k);
        std::fflush(stdout);
    }
}

pictures::PictureRequest ThumbnailRequest()
{
    pictures::PictureRequest request;
    request.target = QSize(62, 62);
    request.drawnSize = [](QSize full) { return pictures::FitSizeInto(full, QSize(62, 62)); };
    return request;
}

QStringList JpegFiles(const QString& folder)
{
    QStringList files;
    for (const QString& name :
         QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        files.append(folder + QLatin1Char('/') + name);
    return files;
}

// How far the thumbnails from the first scans lie from those of the full decode, over every
// file of `folder`: the mean difference of a channel (the mean and the largest over the
// files) and the largest difference of a channel in any pixel.
struct Accuracy
{
    double meanOfMeans = 0;
    double largestMean = 0;
    int largest = 0;
    int served = 0;
    int files = 0;
};

Accuracy MeasureAccuracy(const QString& folder)
{
    const QStringList files = JpegFiles(folder);
    const auto load = [](const QString& path) {
        const pictures::PictureLoad load = pictures::LoadPicture(path, ThumbnailRequest());
        return load ? load.picture->image : QImage();
    };
    // The way is the loader's for every thread: one pass each.
    const auto thumbnails = [&](bool firstScans) {
        pictures::SetJpegFirstScansUsed(firstScans);
        std::vector<QImage> images = QtConcurrent::blockingMapped<std::vector<QImage>>(files, load);
        pictures::SetJpegFirstScansUsed(true);
        return images;
    };
    const std::vector<QImage> ours = thumbnails(true);
    const std::vector<QImage> full = thumbnails(false);
    Accuracy accuracy;
    accuracy.files = int(files.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        QFile file(files[qsizetype(i)]);
        if (file.open(QIODevice::ReadOnly) && pictures::JpegFirstScansHeldBytes(file.readAll()) > 0)
            ++accuracy.served;
        const QImage& a = ours[i];
        const QImage& b = full[i];
        if (a.isNull() || a.size() != b.size()) {
            accuracy.largest = 255;
            continue;
        }
        qint64 sum = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                for (const int d : {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))}) {
                    sum += d;
                    accuracy.largest = std::max(accuracy.largest, d);
                }
            }
        }
        const double mean = double(sum) / (3.0 * a.width() * a.height());
        accuracy.meanOfMeans += mean / double(files.size());
        accuracy.largestMean = std::max(accuracy.largestMean, mean);
    }
    return accuracy;
}

// What one decode holds: the first scans' way, and the whole image's coefficients that a
// full decode of a progressive file allocates (16 bits for each of 64 per block).
void PrintHeldBytes(const QString& folder)
{
    const QStringList files = JpegFiles(folder);
    if (files.isEmpty())
        return;
    QFile file(files.first());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    const QImage picture = QImage::fromData(bytes);
    // 4:2:0: the luma's blocks and a quarter as many for each chroma component.
    const qint64 lumaBlocks =
        qint64((picture.width() + 15) / 16) * 2 * (qint64((picture.height() + 15) / 16) * 2);
    const qint64 coefficientBytes = lumaBlocks * 3 / 2 * 64 * 2;
    std::printf("  one decode holds %.2f MB through the first scans; a full decode's "
                "coefficients take %.1f MB; the file is %.2f MB\n",
                double(pictures::JpegFirstScansHeldBytes(bytes)) / 1e6,
                double(coefficientBytes) / 1e6, double(bytes.size()) / 1e6);
}

void PrintProgressiveRow(const QString& scenario, const Figures& f, double reference)
{
    const double wall = Figure(f, "wall_s");
    const double images = Figure(f, "images");
    std::printf("%-46s %7.0f %9.3f %10.1f %9.1f", qPrintable(scenario), images, wall,
                wall > 0 ? images / wall : 0, Figure(f, "rss_mb"));
    if (reference > 0 && wall > 0)
        std::printf(" %12.2f", reference / wall);
    std::printf("\n");
    std::fflush(stdout);
}

// Progressive JPEGs, 200 photos and 200 web-size pictures, each coding built cold with the
// first scans and with today's full decode in the same run, beside the same pictures in
// baseline form and vipsthumbnail on the same files.
void RunProgressiveScenarios(int runs)
{
    std::printf("\nProgressive JPEGs: a cold build of 200 (medians of %d runs); the last column "
                "is the full decode's wall time over this row's\n",
                runs);
    std::printf("%-46s %7s %9s %10s %9s %12s\n", "scenario", "images", "wall s", "images/s",
                "peak MB", "full / this");
    const QStringList once = {QStringLiteral("--once")};
    const QStringList full = {QStringLiteral("--once"), QStringLiteral("--full-decode")};
    struct Size
    {
        const char* name;
        QString (*folder)(JpegCoding);
    };
    for (const Size& size : {Size{"4000x3000", CodedPhotoFolder}, Size{"1600x1067", WebFolder}}) {
        const QString baseline = size.folder(JpegCoding::Baseline);
        const Figures base = MedianBuild(baseline, runs, false, once);
        const QString label = QStringLiteral("200 %1, ").arg(QLatin1String(size.name));
        PrintProgressiveRow(label + QStringLiteral("baseline"), base, 0);
        for (const JpegCoding coding :
             {JpegCoding::Progressive, JpegCoding::ProgressiveDcSeparate}) {
            const QString folder = size.folder(coding);
            if (folder.isEmpty())
                continue;
            const QString name = label + QLatin1String(JpegCodingName(coding));
            const Figures today = MedianBuild(folder, runs, false, full);
            const Figures first = MedianBuild(folder, runs, false, once);
            const double todayWall = Figure(today, "wall_s");
            PrintProgressiveRow(name + QStringLiteral(", full decode"), today, todayWall);
            PrintProgressiveRow(name + QStringLiteral(", first scans"), first, todayWall);
            const double firstWall = Figure(first, "wall_s");
            const double baseWall = Figure(base, "wall_s");
            if (firstWall > 0 && baseWall > 0)
                std::printf("  first scans / baseline: %.2f\n", firstWall / baseWall);
            if (const std::optional<double> vips = MedianVipsSeconds(folder, runs))
                std::printf("  vipsthumbnail -s 62x62, same files: %.3f s; first scans / "
                            "vipsthumbnail = %.2f\n",
                            *vips, firstWall / *vips);
            const Accuracy accuracy = MeasureAccuracy(folder);
            std::printf("  thumbnails against the full decode's: %d of %d from the first scans; "
                        "mean difference %.2f (at most %.2f in a file), largest %d\n",
                        accuracy.served, accuracy.files, accuracy.meanOfMeans, accuracy.largestMean,
                        accuracy.largest);
            PrintHeldBytes(folder);
            std::fflush(stdout);
        }
    }
}

int RunScenarios(int runs)
{
    std::printf("Tessellon gallery benchmark: %d runs per scenario, medians; %d cores\n\n", runs,
                QThread::idealThreadCount());
    const QString photos = PhotoFolder(200);
    const QString mixed = MixedFolder(200);
    const QString photos1000 = PhotoFolder(1000);
    const QString small100 = SmallFolder(100);
    const QString small1000 = SmallFolder(1000);
    const QString small10000 = SmallFolder(10000);

    std::printf("%-28s %7s %10s %9s %10s %11s %9s\n", "scenario", "images", "images/s", "wall s",
                "rebuild s", "max gap ms", "peak MB");
    const Figures photoFigures = MedianBuild(photos, runs);
    PrintRow("200 photos 4000x3000", photoFigures);
    PrintRow("200 mixed formats", MedianBuild(mixed, runs));
    PrintRow("1000 photos 4000x3000", MedianBuild(photos1000, std::min(runs, 3)));
    PrintRow("100 small", MedianBuild(small100, runs));
    PrintRow("1000 small", MedianBuild(small1000, runs));
    PrintRow("10000 small", MedianBuild(small10000, runs, true));

    std::printf("\n");
    if (const std::optional<double> vips = MedianVipsSeconds(photos, runs)) {
        const double ours = photoFigures.count(QStringLiteral("wall_s"))
                                ? photoFigures.at(QStringLiteral("wall_s"))
                                : 0;
        std::printf(
            "vipsthumbnail -s 62x62, same 200 photos: %.3f s; Tessellon / vipsthumbnail = %.2f\n",
            *vips, ours / *vips);
    } else {
        std::printf("vipsthumbnail is not installed: no comparison\n");
    }
    RunSourceScenarios(runs);
    RunScaleScenarios();
    RunProgressiveScenarios(runs);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();
    if (arguments.value(0) == QLatin1String("--build")) {
        QApplication app(argc, argv);
        if (arguments.contains(QStringLiteral("--full-decode")))
            pictures::SetJpegFirstScansUsed(false);
        return BuildOnce(arguments.value(1), arguments.contains(QStringLiteral("--layout")),
                         !arguments.contains(QStringLiteral("--once")),
                         arguments.contains(QStringLiteral("--scroll")));
    }
    if (arguments.value(0) == QLatin1String("--open")) {
        QApplication app(argc, argv);
        const qint64 since =
            arguments.value(arguments.indexOf(QStringLiteral("--since")) + 1).toLongLong();
        return OpenOnce(arguments.value(1), since,
                        !arguments.contains(QStringLiteral("--no-cache-writing")));
    }
    QApplication app(argc, argv);
    int runs = 5;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--runs")); at >= 0)
        runs = std::max(1, arguments.value(at + 1).toInt());
    if (arguments.contains(QStringLiteral("--sources"))) {
        RunSourceScenarios(runs);
        return 0;
    }
    if (arguments.contains(QStringLiteral("--scale"))) {
        RunScaleScenarios();
        return 0;
    }
    if (arguments.contains(QStringLiteral("--progressive"))) {
        RunProgressiveScenarios(runs);
        return 0;
    }
    return RunScenarios(runs);
}
