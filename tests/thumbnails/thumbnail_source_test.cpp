#include "files/file_names.h"
#include "support/file_rights.h"
#include "support/jpeg_fixtures.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_source.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <gtest/gtest.h>

#include <cstdio>

using namespace pictures;
using namespace thumbnails;
using namespace Qt::StringLiterals;

namespace {

const QRgb kRed = qRgb(220, 20, 20);
const QRgb kBlue = qRgb(20, 20, 220);
const QRgb kGreen = qRgb(20, 200, 20);

// What the gallery asks for: pixels for a 62 x 62 fit.
PictureRequest ThumbnailRequest(qreal ratio = 1)
{
    PictureRequest request;
    request.target = QSize(62, 62) * ratio;
    request.drawnSize = [ratio](QSize full) { return FitSizeInto(full, QSize(62, 62) * ratio); };
    return request;
}

bool Near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool IsBluish(QRgb p)
{
    return qBlue(p) > 100 && qBlue(p) > 2 * std::max(qRed(p), qGreen(p));
}

bool IsReddish(QRgb p)
{
    return qRed(p) > 100 && qRed(p) > 2 * std::max(qGreen(p), qBlue(p));
}

QRgb Centre(const Picture& picture)
{
    return picture.image.pixel(picture.image.width() / 2, picture.image.height() / 2);
}

// Pixels of the picture in the four quadrants: top left, top right, bottom left, bottom
// right, each sampled at its middle.
std::array<QRgb, 4> Quadrants(const QImage& image)
{
    const int w = image.width();
    const int h = image.height();
    return {image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4), image.pixel(w / 4, 3 * h / 4),
            image.pixel(3 * w / 4, 3 * h / 4)};
}

// Four colors in four quadrants, at a brightness, so that a turn shows and the photo
// (bright) and its preview (dim) tell apart.
std::function<QRgb(int, int)> QuadrantColors(int width, int height, int level)
{
    return [=](int x, int y) {
        const bool right = x >= width / 2;
        const bool bottom = y >= height / 2;
        if (!right && !bottom)
            return qRgb(level, 0, 0);
        if (right && !bottom)
            return qRgb(0, level, 0);
        if (!right)
            return qRgb(0, 0, level);
        return qRgb(level, level, 0);
    };
}

QByteArray PreviewJpeg(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

QImage Solid(QSize size, QRgb color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A picture of `content` size in the middle of a black `frame`, as cameras pad previews.
QImage Letterboxed(QSize frame, QSize content, QRgb color)
{
    QImage image = Solid(frame, qRgb(0, 0, 0));
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint((frame.width() - content.width()) / 2,
                                  (frame.height() - content.height()) / 2),
                           content),
                     color);
    return image;
}

QByteArray RedPhoto(int width, int height, const QByteArray& preview = {}, int orientation = 1)
{
    JpegFixture photo;
    photo.width = width;
    photo.height = height;
    photo.color = [](int, int) { return kRed; };
    photo.exif = ExifBlock(orientation, preview);
    return WriteJpeg(photo);
}

class ThumbnailSourceTest : public testing::Test
{
protected:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        QString path = folder_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QString CacheFolder() const { return folder_.filePath(QStringLiteral("cache/thumbnails")); }

    ThumbnailSources WithCache() const { return {false, CacheFolder(), true}; }

    QString EntryPath(const QString& picture, const char* flavor = "normal") const
    {
        return CacheFolder() + u'/' + QLatin1String(flavor) + u'/' +
               CacheEntryName(FileUri(picture));
    }

    Picture Load(const QString& path, const ThumbnailSources& sources,
                 const PictureRequest& request = ThumbnailRequest())
    {
        PictureLoad load = LoadThumbnailPicture(path, request, sources).load;
        EXPECT_TRUE(load) << load.error.toStdString();
        return load ? *load.picture : Picture{};
    }

    QTemporaryDir folder_;
};

} // namespace

// --- Embedded previews -------------------------------------------------------------

TEST_F(ThumbnailSourceTest, PreviewsThatFitAreUsedOthersNot)
{
    struct Case
    {
        const char* name;
        QSize photo;
        QImage preview;
        bool used;
    };
    const Case cases[] = {
        {"4:3 preview of a 4:3 photo", {800, 600}, Solid({160, 120}, kBlue), true},
        {"one pixel off the aspect", {800, 600}, Solid({160, 119}, kBlue), true},
        {"smaller than the drawn pixels", {800, 600}, Solid({48, 36}, kBlue), false},
        {"of another aspect", {800, 600}, Solid({160, 160}, kBlue), false},
        {"3:2 photo letterboxed into 160 x 120",
         {600, 400},
         Letterboxed({160, 120}, {160, 107}, kBlue),
         true},
        {"16:9 photo letterboxed into 160 x 120",
         {1600, 900},
         Letterboxed({160, 120}, {160, 90}, kBlue),
         true},
        {"square photo pillarboxed into 160 x 120",
         {500, 500},
         Letterboxed({160, 120}, {120, 120}, kBlue),
         true},
        {"bars that leave another aspect",
         {600, 400},
         Letterboxed({160, 120}, {160, 80}, kBlue),
         false},
    };
    for (const Case& c : cases) {
        const QString path =
            Write(QStringLiteral("photo.jpg"),
                  RedPhoto(c.photo.width(), c.photo.height(), PreviewJpeg(c.preview)));
        const Picture picture = Load(path, {true, QString(), false});
        EXPECT_EQ(picture.size, c.photo) << c.name;
        EXPECT_EQ(picture.image.size(), FitSizeInto(c.photo, {62, 62})) << c.name;
        // A used preview shows blue to the edges: its bars are gone.
        const auto isExpected = [&](QRgb p) { return c.used ? IsBluish(p) : IsReddish(p); };
        EXPECT_TRUE(isExpected(Centre(picture))) << c.name;
        EXPECT_TRUE(isExpected(picture.image.pixel(1, 1))) << c.name;
        EXPECT_TRUE(
            isExpected(picture.image.pixel(picture.image.width() - 2, picture.image.height() - 2)))
            << c.name;
    }
}

TEST_F(ThumbnailSourceTest, PreviewMustCoverTheDrawnPixelsAtTheScreensRatio)
{
    const QString path = Write(QStringLiteral("photo.jpg"),
                               RedPhoto(800, 600, PreviewJpeg(Solid({160, 120}, kBlue))));
    EXPECT_TRUE(Near(Centre(Load(path, {true, QString(), false}, ThumbnailRequest(2))), kBlue));
    // 62 x 3 = 186 pixels are more than the preview has.
    EXPECT_TRUE(Near(Centre(Load(path, {true, QString(), false}, ThumbnailRequest(3))), kRed));
}

// A photo shows the same way up from every source: decoded, from its preview (turned by
// the photo's orientation, not its own) and from the cache entry a decode left. One rule
// decides the orientation: the first image's tag, SHORT or LONG, of the EXIF block
// wherever it stands; a tag in the preview's directory is the preview's own.
TEST_F(ThumbnailSourceTest, EverySourceTurnsAPhotoByTheSameRule)
{
    struct Case
    {
        std::string name;
        ExifLayout layout;
        bool afterXmp = false;
        int applied = 1; // the orientation that turns the photo
    };
    std::vector<Case> cases;
    for (int orientation = 1; orientation <= 8; ++orientation)
        cases.push_back({"orientation " + std::to_string(orientation),
                         {.orientation = orientation},
                         false,
                         orientation});
    cases.push_back({"stored as LONG", {.orientation = 6, .asLong = true}, false, 6});
    cases.push_back(
        {"in the preview's directory only", {.orientation = 6, .inSecond = true}, false, 1});
    cases.push_back({"after an XMP block", {.orientation = 6}, true, 6});

    for (Case& c : cases) {
        JpegFixture photo;
        photo.width = 640;
        photo.height = 480;
        photo.color = QuadrantColors(640, 480, 240);
        JpegFixture preview;
        preview.width = 160;
        preview.height = 120;
        preview.color = QuadrantColors(160, 120, 120);
        c.layout.preview = WriteJpeg(preview);
        photo.exif = ExifBlock(c.layout);
        if (c.afterXmp)
            photo.leadingApp1 = XmpBlock();
        const QString path = Write(QString::fromStdString(c.name) + u".jpg"_s, WriteJpeg(photo));

        const Picture decoded = Load(path, {false, QString(), false});
        const QSize upright(640, 480);
        EXPECT_EQ(decoded.size, c.applied >= 5 ? upright.transposed() : upright) << c.name;
        const Picture fromPreview = Load(path, {true, QString(), false});
        Load(path, WithCache());
        ASSERT_TRUE(QFile::exists(EntryPath(path))) << c.name;
        const Picture fromCache = Load(path, WithCache());
        for (const Picture* other : {&fromPreview, &fromCache}) {
            const char* source = other == &fromPreview ? "preview" : "cache";
            ASSERT_EQ(other->size, decoded.size) << c.name << ", " << source;
            ASSERT_EQ(other->image.size(), decoded.image.size()) << c.name << ", " << source;
            const std::array<QRgb, 4> expected = Quadrants(decoded.image);
            const std::array<QRgb, 4> found = Quadrants(other->image);
            const int divisor = other == &fromPreview ? 2 : 1;
            for (size_t q = 0; q < 4; ++q) {
                const QRgb scaled = qRgb(qRed(expected[q]) / divisor, qGreen(expected[q]) / divisor,
                                         qBlue(expected[q]) / divisor);
                EXPECT_TRUE(Near(found[q], scaled, 30))
                    << c.name << ", " << source << ", quadrant " << q;
            }
        }
        // The decoded photo itself: its top left quadrant, red, lands where the turn takes it.
        const std::array<QRgb, 4> quadrants = Quadrants(decoded.image);
        const size_t redAt[] = {0, 0, 1, 3, 2, 0, 1, 3, 2};
        EXPECT_TRUE(IsReddish(quadrants[redAt[c.applied]])) << c.name;
    }
}

TEST_F(ThumbnailSourceTest, DamagedPreviewsAndExifFallBackToThePhoto)
{
    const QByteArray preview = PreviewJpeg(Solid({160, 120}, kBlue));
    QByteArray garbledPreview = preview;
    garbledPreview.replace(20, garbledPreview.size() - 40,
                           QByteArray(garbledPreview.size() - 40, '\x55'));
    QByteArray truncatedExif = ExifBlock(1, preview);
    truncatedExif.chop(preview.size() / 2);
    const QByteArray cases[] = {
        ExifBlock(1, garbledPreview),
        ExifBlock(1, preview.first(preview.size() / 3)),
        truncatedExif,
        QByteArray("Exif\0\0MM\0*\xFF\xFF\xFF\xFF", 14),
    };
    for (const QByteArray& exif : cases) {
        JpegFixture photo;
        photo.width = 800;
        photo.height = 600;
        photo.color = [](int, int) { return kRed; };
        photo.exif = exif;
        const Picture picture =
            Load(Write(QStringLiteral("photo.jpg"), WriteJpeg(photo)), {true, QString(), false});
        EXPECT_EQ(picture.size, QSize(800, 600));
        EXPECT_TRUE(Near(Centre(picture), kRed));
    }
}

// --- The shared cache -----------------------------------------------------------------

TEST_F(ThumbnailSourceTest, ADecodeLeavesAnEntryThatTheNextLoadUses)
{
    const QString path = Write(QStringLiteral("photo.jpg"), RedPhoto(800, 600));
    const Picture first = Load(path, WithCache());
    EXPECT_TRUE(Near(Centre(first), kRed));
    EXPECT_EQ(first.image.size(), QSize(62, 47));

    QImage entry;
    ASSERT_TRUE(entry.load(EntryPath(path)));
    EXPECT_EQ(entry.size(), QSize(128, 96));
    EXPECT_EQ(entry.text(u"Thumb::URI"_s), FileUri(path));
    EXPECT_EQ(entry.text(u"Thumb::MTime"_s).toLongLong(),
              QFileInfo(path).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(entry.text(u"Thumb::Size"_s).toLongLong(), QFileInfo(path).size());
    EXPECT_EQ(entry.text(u"Thumb::Mimetype"_s), QStringLiteral("image/jpeg"));

    // Another program's entry for the same file and time is taken as it is.
    const ThumbnailCache cache(CacheFolder());
    ASSERT_TRUE(cache.Store(kCacheFlavors[0], Solid({128, 96}, kGreen),
                            {FileUri(path), QFileInfo(path).lastModified().toSecsSinceEpoch()},
                            {}));
    const Picture second = Load(path, WithCache());
    EXPECT_EQ(second.size, QSize(800, 600));
    EXPECT_EQ(second.image.size(), first.image.size());
    EXPECT_TRUE(Near(Centre(second), kGreen));
}

// GLib's own reader of the cache, asked through gio: the GTK file chooser and every other
// GIO user take what it calls valid and write again what it does not.
TEST_F(ThumbnailSourceTest, GlibTakesTheEntriesItFinds)
{
    const QString gio = QStandardPaths::findExecutable(u"gio"_s);
    if (gio.isEmpty())
        GTEST_SKIP() << "gio is not installed (Debian's libglib2.0-bin)";
    const QString names[] = {u"photo [1].jpg"_s, u"\u00e9t\u00e9 #2.jpg"_s,
                             u"a rather long name for a photograph of the harbour at dawn.jpg"_s,
                             u"short.jpg"_s};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CACHE_HOME"_s, folder_.filePath(u"cache"_s));
    for (const QString& name : names) {
        const QString path = Write(name, RedPhoto(800, 600));
        Load(path, WithCache());
        ASSERT_TRUE(QFile::exists(EntryPath(path))) << name.toStdString();
        QProcess info;
        info.setProcessEnvironment(environment);
        info.start(gio, {u"info"_s, u"-a"_s, u"thumbnail::is-valid"_s, path});
        ASSERT_TRUE(info.waitForFinished(30000));
        EXPECT_TRUE(info.readAllStandardOutput().contains("thumbnail::is-valid: TRUE"))
            << name.toStdString();
    }
}

#ifndef _WIN32
// A Latin-1 name from an old archive: loaded by its bytes, and its entry stored under the
// URI that GLib gives the file, where gio finds it valid.
TEST_F(ThumbnailSourceTest, ANameThatIsNotUtf8IsLoadedAndCachedUnderGlibsUri)
{
    const QByteArray bytes = QFile::encodeName(folder_.path()) + "/caf\xe9.jpg";
    const QByteArray photo = RedPhoto(800, 600);
    std::FILE* file = std::fopen(bytes.constData(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(photo.constData(), 1, size_t(photo.size()), file), size_t(photo.size()));
    std::fclose(file);

    const QString path = files::NameFromBytes(bytes);
    EXPECT_EQ(Load(path, WithCache()).size, QSize(800, 600));
    const QString uri = FileUri(path);
    EXPECT_TRUE(uri.endsWith(u"/caf%E9.jpg"_s)) << uri.toStdString();
    QImage entry;
    ASSERT_TRUE(entry.load(CacheFolder() + u"/normal/"_s + CacheEntryName(uri)));
    EXPECT_EQ(entry.text(u"Thumb::URI"_s), uri);

    const QString gio = QStandardPaths::findExecutable(u"gio"_s);
    if (gio.isEmpty())
        GTEST_SKIP() << "gio is not installed (Debian's libglib2.0-bin)";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CACHE_HOME"_s, folder_.filePath(u"cache"_s));
    QProcess info;
    info.setProcessEnvironment(environment);
    info.start(gio, {u"info"_s, u"-a"_s, u"thumbnail::is-valid"_s, uri});
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(info.readAllStandardOutput().contains("thumbnail::is-valid: TRUE"));
}
#endif

TEST_F(ThumbnailSourceTest, AChangedFileIsDecodedAgainAndItsEntryRenewed)
{
    const QString path = Write(QStringLiteral("photo.jpg"), RedPhoto(800, 600));
    const qint64 modified = QFileInfo(path).lastModified().toSecsSinceEpoch();
    const ThumbnailCache cache(CacheFolder());
    ASSERT_TRUE(cache.Store(kCacheFlavors[0], Solid({128, 96}, kGreen),
                            {FileUri(path), modified - 60}, {}));
    EXPECT_TRUE(Near(Centre(Load(path, WithCache())), kRed));
    QImage entry;
    ASSERT_TRUE(entry.load(EntryPath(path)));
    EXPECT_EQ(entry.text(u"Thumb::MTime"_s).toLongLong(), modified);
    EXPECT_TRUE(Near(entry.pixel(64, 48), kRed));
}

// Replaced by a file of another size with the time kept (cp --preserve=timestamps, or a
// download cut short): the entry, which records the old size, no longer stands for it.
TEST_F(ThumbnailSourceTest, AFileOfAnotherSizeAtTheSameTimeIsDecodedAgain)
{
    const QString path = Write(QStringLiteral("photo.jpg"), RedPhoto(800, 600));
    const QDateTime modified = QFileInfo(path).lastModified();
    const ThumbnailCache cache(CacheFolder());
    ASSERT_TRUE(cache.Store(kCacheFlavors[0], Solid({128, 96}, kGreen),
                            {FileUri(path), modified.toSecsSinceEpoch(), QFileInfo(path).size()},
                            {}));
    EXPECT_TRUE(Near(Centre(Load(path, WithCache())), kGreen));

    Write(QStringLiteral("photo.jpg"), RedPhoto(800, 500));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    const Picture replaced = Load(path, WithCache());
    EXPECT_EQ(replaced.size, QSize(800, 500));
    EXPECT_TRUE(Near(Centre(replaced), kRed));
}

// Files that are not files, planted where entries or pictures belong: a FIFO that nobody
// writes would block the reading thread in open(), a link to /dev/zero would be read
// without end. They cost neither a hang nor unbounded memory.
TEST_F(ThumbnailSourceTest, FifosAndDevicesAreNeitherEntriesNorPictures)
{
    const QString photo = Write(QStringLiteral("photo.jpg"), RedPhoto(800, 600));
    for (const char* flavor : {"normal", "large"})
        ASSERT_TRUE(QDir().mkpath(CacheFolder() + u'/' + QLatin1String(flavor)));
    if (!MakeFifo(EntryPath(photo, "normal")))
        GTEST_SKIP() << "Windows has no FIFOs in its folders, nor /dev/zero";
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, EntryPath(photo, "large")));
    const QString fifo = folder_.filePath(u"fifo.jpg"_s);
    ASSERT_TRUE(MakeFifo(fifo));
    const QString linkedFifo = folder_.filePath(u"linked fifo.jpg"_s);
    ASSERT_TRUE(QFile::link(fifo, linkedFifo));
    const QString zero = folder_.filePath(u"zero.gif"_s);
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, zero));

    // On a thread of its own, so that a hang shows as a failure, not as a stuck test.
    const auto within = [](const std::function<PictureLoad()>& load) {
        QFuture<PictureLoad> future = QtConcurrent::run(load);
        const bool done = QTest::qWaitFor([&] { return future.isFinished(); }, 20000);
        return done ? std::optional<PictureLoad>(future.result()) : std::nullopt;
    };
    const ThumbnailSources sources = WithCache();
    // At a ratio of 1 the normal entry is looked up first, at 2.5 the large one.
    for (const qreal ratio : {1.0, 2.5}) {
        const std::optional<PictureLoad> decoded = within(
            [&] { return LoadThumbnailPicture(photo, ThumbnailRequest(ratio), sources).load; });
        ASSERT_TRUE(decoded) << "the load never ended at a ratio of " << ratio;
        ASSERT_TRUE(*decoded);
        EXPECT_TRUE(Near(Centre(*decoded->picture), kRed));
    }
    for (const QString& path : {fifo, linkedFifo, zero}) {
        const std::optional<PictureLoad> source =
            within([&] { return LoadThumbnailPicture(path, ThumbnailRequest(), sources).load; });
        ASSERT_TRUE(source) << path.toStdString() << ": the load never ended";
        EXPECT_FALSE(*source) << path.toStdString();
        const std::optional<PictureLoad> plain = within([&] { return LoadPicture(path); });
        ASSERT_TRUE(plain) << path.toStdString() << ": the load never ended";
        EXPECT_FALSE(*plain) << path.toStdString();
    }
}

TEST_F(ThumbnailSourceTest, AFileThatCannotBeReadFailsWhateverTheCacheHolds)
{
    const QString path = Write(QStringLiteral("photo.jpg"), RedPhoto(800, 600));
    Load(path, WithCache());
    ASSERT_TRUE(QFile::exists(EntryPath(path)));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(LoadThumbnailPicture(path, ThumbnailRequest(), WithCache()));
    if (PermissionsBindThisProcess()) {
        const QString locked = Write(QStringLiteral("locked.jpg"), RedPhoto(800, 600));
        Load(locked, WithCache());
        ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        EXPECT_FALSE(LoadThumbnailPicture(locked, ThumbnailRequest(), WithCache()));
    }
}

TEST_F(ThumbnailSourceTest, OnlyLargePicturesOutsideTheCacheGetEntries)
{
    QFile wmf(QStringLiteral(TESSELLON_TEST_DATA "/pictures/placeable.wmf"));
    ASSERT_TRUE(wmf.open(QIODevice::ReadOnly));
    QByteArray bigBmp;
    {
        QBuffer buffer(&bigBmp);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "bmp").write(Solid({640, 480}, kRed));
    }
    struct Case
    {
        const char* name;
        QString path;
        bool stored;
    };
    QDir().mkpath(CacheFolder() + u"/normal"_s);
    const Case cases[] = {
        {"large photo", Write(QStringLiteral("large.jpg"), RedPhoto(800, 600)), true},
        {"large bitmap", Write(QStringLiteral("large.bmp"), bigBmp), true},
        {"small photo", Write(QStringLiteral("small.jpg"), RedPhoto(300, 200)), false},
        {"metafile", Write(QStringLiteral("drawing.wmf"), wmf.readAll()), false},
        {"photo inside the cache",
         Write(QStringLiteral("cache/thumbnails/normal/inside.jpg"), RedPhoto(800, 600)), false},
    };
    for (const Case& c : cases) {
        Load(c.path, WithCache());
        EXPECT_EQ(QFile::exists(EntryPath(c.path)), c.stored) << c.name;
    }
    // With writing off, a decode leaves nothing.
    const QString unwritten = Write(QStringLiteral("unwritten.jpg"), RedPhoto(800, 600));
    Load(unwritten, {false, CacheFolder(), false});
    EXPECT_FALSE(QFile::exists(EntryPath(unwritten)));
}

TEST_F(ThumbnailSourceTest, HighRatiosGetLargeEntries)
{
    const QString path = Write(QStringLiteral("photo.jpg"), RedPhoto(1600, 1200));
    const Picture picture = Load(path, WithCache(), ThumbnailRequest(2.5));
    EXPECT_EQ(picture.image.size(), QSize(155, 117));
    EXPECT_FALSE(QFile::exists(EntryPath(path, "normal")));
    QImage entry;
    ASSERT_TRUE(entry.load(EntryPath(path, "large")));
    EXPECT_EQ(entry.size(), QSize(256, 192));
}

TEST_F(ThumbnailSourceTest, APreviewComesBeforeTheCache)
{
    const QString path = Write(QStringLiteral("photo.jpg"),
                               RedPhoto(800, 600, PreviewJpeg(Solid({160, 120}, kBlue))));
    const Picture picture = Load(path, {true, CacheFolder(), true});
    EXPECT_TRUE(Near(Centre(picture), kBlue));
    EXPECT_FALSE(QFile::exists(EntryPath(path)));
}
