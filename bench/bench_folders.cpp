#include "bench/bench_folders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtConcurrent>

#include <cstdio>

namespace {

constexpr int kDistinctPhotos = 200;

// A picture with a photograph's mix of smooth areas, edges and fine texture, so that it
// decodes about as costly as one.
QImage Photo(int seed, QSize size)
{
    QRandomGenerator random(static_cast<quint32>(seed) * 7919U + 1U);
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor::fromHsv(random.bounded(360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(random.bounded(360), 200, 90));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 60; ++i) {
        const QColor color = QColor::fromHsv(random.bounded(360), random.bounded(256),
                                             random.bounded(256), 120 + random.bounded(136));
        painter.setBrush(color);
        painter.setPen(QPen(color.darker(), 1 + random.bounded(12)));
        const int w = 50 + random.bounded(size.width() / 3);
        const int h = 50 + random.bounded(size.height() / 3);
        painter.drawEllipse(random.bounded(size.width()) - w / 2,
                            random.bounded(size.height()) - h / 2, w, h);
    }
    painter.end();
    // Grain, as a camera sensor leaves it.
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = static_cast<int>(random.bounded(25)) - 12;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + noise, 255), qBound(0, qGreen(p) + noise, 255),
                           qBound(0, qBlue(p) + noise, 255));
        }
    }
    return image;
}

bool SaveJpeg(const QImage& image, const QString& path)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(88);
    return writer.write(image);
}

QString PreparedFolder(const QString& name, int count,
                       const std::function<void(const QString& folder, int index)>& make)
{
    QString folder = BenchCacheDirectory() + QLatin1Char('/') + name;
    const QString done = folder + QStringLiteral("/.complete");
    if (QFile::exists(done))
        return folder;
    std::fprintf(stderr, "generating %s (%d files, once)...\n", qPrintable(folder), count);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QList<int> indexes;
    for (int i = 0; i < count; ++i)
        indexes.append(i);
    QtConcurrent::blockingMap(indexes, [&](int i) { make(folder, i); });
    QFile(done).open(QIODevice::WriteOnly);
    return folder;
}

QString PhotoName(int i)
{
    return QStringLiteral("/photo%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
}

// A folder of `count` links to the files of `distinct`, taken in turn.
QString LinkedFolder(const QString& name, const QString& distinct, int count)
{
    return PreparedFolder(name, count, [&](const QString& folder, int i) {
        QFile::link(distinct + PhotoName(i % kDistinctPhotos),
                    folder + QStringLiteral("/photo%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
    });
}

// mozjpeg's default progressive order for YCbCr (its dc_scan_opt_mode 1): one DC scan per
// component, then the AC bands. Debian has no mozjpeg; jpegtran follows its script.
constexpr char kDcSeparateScans[] = "0: 0-0, 0, 0;\n1: 0-0, 0, 0;\n2: 0-0, 0, 0;\n"
                                    "0: 1-8, 0, 2;\n1: 1-8, 0, 0;\n2: 1-8, 0, 0;\n"
                                    "0: 9-63, 0, 2;\n0: 1-63, 2, 1;\n0: 1-63, 1, 0;\n"
                                    "1: 9-63, 0, 0;\n2: 9-63, 0, 0;\n";

// `source`'s files rewritten by jpegtran into `name`, progressive in `coding`.
QString Recoded(const QString& name, const QString& source, JpegCoding coding)
{
    if (coding == JpegCoding::Baseline)
        return source;
    const QString jpegtran = QStandardPaths::findExecutable(QStringLiteral("jpegtran"));
    if (jpegtran.isEmpty()) {
        std::fprintf(stderr, "jpegtran is not installed (libjpeg-turbo-progs)\n");
        return {};
    }
    const QString scans = BenchCacheDirectory() + QStringLiteral("/dc-separate.scans");
    if (coding == JpegCoding::ProgressiveDcSeparate) {
        QFile script(scans);
        if (!script.open(QIODevice::WriteOnly) || script.write(kDcSeparateScans) < 0)
            return {};
    }
    const QStringList form = coding == JpegCoding::Progressive
                                 ? QStringList{QStringLiteral("-progressive")}
                                 : QStringList{QStringLiteral("-scans"), scans};
    return PreparedFolder(name, kDistinctPhotos, [&](const QString& folder, int i) {
        QProcess::execute(jpegtran,
                          form + QStringList{QStringLiteral("-copy"), QStringLiteral("all"),
                                             QStringLiteral("-outfile"), folder + PhotoName(i),
                                             source + PhotoName(i)});
    });
}

const char* CodingSuffix(JpegCoding coding)
{
    switch (coding) {
    case JpegCoding::Progressive:
        return "-progressive";
    case JpegCoding::ProgressiveDcSeparate:
        return "-dc-separate";
    case JpegCoding::Baseline:
        break;
    }
    return "";
}

} // namespace

QString CodedPhotoFolder(JpegCoding coding)
{
    return Recoded(QStringLiteral("photos") + QLatin1String(CodingSuffix(coding)),
                   PhotoFolder(kDistinctPhotos), coding);
}

QString WebFolder(JpegCoding coding)
{
    const QString photos = PhotoFolder(kDistinctPhotos);
    const QString web =
        PreparedFolder(QStringLiteral("web"), kDistinctPhotos, [&](const QString& folder, int i) {
            SaveJpeg(QImage(photos + PhotoName(i))
                         .scaled(1600, 1067, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                     folder + PhotoName(i));
        });
    return Recoded(QStringLiteral("web") + QLatin1String(CodingSuffix(coding)), web, coding);
}

const char* JpegCodingName(JpegCoding coding)
{
    switch (coding) {
    case JpegCoding::Progressive:
        return "progressive (jpegtran)";
    case JpegCoding::ProgressiveDcSeparate:
        return "progressive, DC on its own";
    case JpegCoding::Baseline:
        break;
    }
    return "baseline";
}

QString BenchCacheDirectory()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/tessellon-bench");
}

QString PhotoFolder(int count)
{
    QString distinct =
        PreparedFolder(QStringLiteral("photos"), kDistinctPhotos, [](const QString& folder, int i) {
            SaveJpeg(Photo(i, QSize(4000, 3000)), folder + PhotoName(i));
        });
    if (count == kDistinctPhotos)
        return distinct;
    return LinkedFolder(QStringLiteral("photos%1").arg(count), distinct, count);
}

QString CameraFolder(int count)
{
    const QString photos = PhotoFolder(kDistinctPhotos);
    QString distinct = BenchCacheDirectory() + QStringLiteral("/camera");
    if (!QFile::exists(distinct + QStringLiteral("/.complete"))) {
        const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
        if (exiftool.isEmpty()) {
            std::fprintf(stderr, "exiftool is not installed (libimage-exiftool-perl)\n");
            return {};
        }
        std::fprintf(stderr, "generating %s (%d files, once)...\n", qPrintable(distinct),
                     kDistinctPhotos);
        const QString previews = BenchCacheDirectory() + QStringLiteral("/camera-previews");
        QDir(distinct).removeRecursively();
        QDir(previews).removeRecursively();
        QDir().mkpath(distinct);
        QDir().mkpath(previews);
        QList<int> indexes;
        for (int i = 0; i < kDistinctPhotos; ++i)
            indexes.append(i);
        QtConcurrent::blockingMap(indexes, [&](int i) {
            QFile::copy(photos + PhotoName(i), distinct + PhotoName(i));
            SaveJpeg(QImage(photos + PhotoName(i))
                         .scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                     previews + PhotoName(i));
        });
        // As cameras write them: a 160 x 120 JPEG preview in the EXIF block.
        if (QProcess::execute(
                exiftool,
                {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                 QStringLiteral("-ThumbnailImage<=") + previews + QStringLiteral("/%f.jpg"),
                 distinct}) != 0)
            return {};
        QDir(previews).removeRecursively();
        QFile(distinct + QStringLiteral("/.complete")).open(QIODevice::WriteOnly);
    }
    if (count == kDistinctPhotos)
        return distinct;
    return LinkedFolder(QStringLiteral("camera%1").arg(count), distinct, count);
}

QString SmallFolder(int count)
{
    return PreparedFolder(
        QStringLiteral("small%1").arg(count), count, [](const QString& folder, int i) {
            const QSize size(20 + (i * 37) % 80, 20 + (i * 53) % 80);
            SaveJpeg(Photo(i, size),
                     folder + QStringLiteral("/small%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
        });
}

QString MixedFolder(int count)
{
    QStringList fixtures;
    QDirIterator files(QStringLiteral(TESSELLON_PICTURE_FIXTURES), QDir::Files);
    while (files.hasNext())
        fixtures.append(files.next());
    fixtures.sort();
    return PreparedFolder(
        QStringLiteral("mixed%1").arg(count), count, [&](const QString& folder, int i) {
            if (fixtures.isEmpty())
                return;
            const QFileInfo source(fixtures.at(i % fixtures.size()));
            QFile::link(source.absoluteFilePath(), folder + QStringLiteral("/%1-%2")
                                                                .arg(i, 4, 10, QLatin1Char('0'))
                                                                .arg(source.fileName()));
        });
}
