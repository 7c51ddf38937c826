#include "support/file_rights.h"
#include "thumbnails/thumbnail_cache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

using namespace thumbnails;
using namespace Qt::StringLiterals;

namespace {

QImage Solid(QSize size, QRgb color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// An entry as another program writes it: Qt's PNG writer, the two keys that matter and
// none of ours.
QByteArray ForeignEntry(const QImage& image, const QString& uri, const char* modified)
{
    QImage entry = image;
    entry.setText(QStringLiteral("Thumb::URI"), uri);
    entry.setText(QStringLiteral("Thumb::MTime"), QLatin1String(modified));
    entry.setText(QStringLiteral("Software"), QStringLiteral("GNOME::ThumbnailFactory"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(entry);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const CacheKey kKey{QStringLiteral("file:///pictures/photo.jpg"), 1700000000, 987654};

// The text chunks of PNG data, by type: each as its key and its raw data after the key.
std::map<QByteArray, std::vector<std::pair<QByteArray, QByteArray>>> TextChunks(QByteArrayView png)
{
    std::map<QByteArray, std::vector<std::pair<QByteArray, QByteArray>>> chunks;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.data() + at);
        const QByteArray type = png.sliced(at + 4, 4).toByteArray();
        const QByteArrayView data = png.sliced(at + 8, std::min(length, png.size() - at - 8));
        if (type == "tEXt" || type == "zTXt" || type == "iTXt") {
            const qsizetype end = data.indexOf('\0');
            chunks[type].emplace_back(data.first(end).toByteArray(),
                                      data.sliced(end + 1).toByteArray());
        }
        at += 12 + length;
    }
    return chunks;
}

} // namespace

// Checked against GLib's g_filename_to_uri, byte for byte.
TEST(ThumbnailCacheTest, UrisAreEscapedAsGlibEscapesThem)
{
    struct Case
    {
        const char* path;
        const char* uri;
    };
#ifdef Q_OS_WIN
    // GLib on Windows: the drive after a slash, forward slashes, the name's UTF-8.
    const Case cases[] = {
        {"C:\\Users\\jens\\me.png", "file:///C:/Users/jens/me.png"},
        {"Z:/tmp/a b/c#d%f.jpg", "file:///Z:/tmp/a%20b/c%23d%25f.jpg"},
        {"C:/x/~!$&'()+,=@-_.", "file:///C:/x/~!$&'()+,=@-_."},
        {"C:/x/[1];{2}^`", "file:///C:/x/%5B1%5D%3B%7B2%7D%5E%60"},
        {"C:/tmp/\xC3\xBCn\xC3\xAF/\xE6\x97\xA5\xE6\x9C\xAC.jpg",
         "file:///C:/tmp/%C3%BCn%C3%AF/%E6%97%A5%E6%9C%AC.jpg"},
    };
#else
    const Case cases[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
        {"/tmp/a b/c#d?e%f.jpg", "file:///tmp/a%20b/c%23d%3Fe%25f.jpg"},
        {"/x/~!$&'()*+,=:@-_.", "file:///x/~!$&'()*+,=:@-_."},
        {"/x/[1];{2}|^`\"<>\\", "file:///x/%5B1%5D%3B%7B2%7D%7C%5E%60%22%3C%3E%5C"},
        {"/tmp/\xC3\xBCn\xC3\xAF/\xE6\x97\xA5\xE6\x9C\xAC.jpg",
         "file:///tmp/%C3%BCn%C3%AF/%E6%97%A5%E6%9C%AC.jpg"},
        {"/tab\there/new\nline", "file:///tab%09here/new%0Aline"},
    };
#endif
    for (const Case& c : cases)
        EXPECT_EQ(FileUri(QString::fromUtf8(c.path)), QLatin1String(c.uri)) << c.path;
}

TEST(ThumbnailCacheTest, EntryNamesAreTheMd5OfTheUri)
{
    // The standard's own example.
    EXPECT_EQ(CacheEntryName(QStringLiteral("file:///home/jens/photos/me.png")),
              QStringLiteral("c6ee772d9e49320e97ec29a7eb5b1697.png"));
}

TEST(ThumbnailCacheTest, FolderFollowsXdgCacheHome)
{
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", "/somewhere/cache");
    EXPECT_EQ(DefaultThumbnailCacheFolder(), QStringLiteral("/somewhere/cache/thumbnails"));
    // Without it, the home's cache; on Windows, whose own thumbnails no program shares, none.
#ifdef Q_OS_WIN
    const QString fallback;
#else
    const QString fallback = QDir::homePath() + u"/.cache/thumbnails"_s;
#endif
    for (const char* unusable : {"", "relative/cache"}) {
        qputenv("XDG_CACHE_HOME", unusable);
        EXPECT_EQ(DefaultThumbnailCacheFolder(), fallback) << unusable;
    }
    qputenv("XDG_CACHE_HOME", saved);
}

TEST(ThumbnailCacheTest, OnlyAnEntryForTheSamePictureAndTimeIsRead)
{
    const QImage image = Solid({128, 96}, qRgb(10, 200, 30));
    const QByteArray good = EncodeCacheEntry(image, kKey, {u"image/jpeg"_s, {4000, 3000}});
    CacheKey resized = kKey;
    resized.size = kKey.size - 1;
    QByteArray brokenChecksum = good;
    brokenChecksum[40] = char(brokenChecksum[40] ^ 0x55);
    struct Case
    {
        const char* name;
        QByteArray png;
        bool valid;
    };
    const Case cases[] = {
        {"ours", good, true},
        {"ours, of a file of another size", EncodeCacheEntry(image, resized, {}), false},
        {"another program's, without a size", ForeignEntry(image, kKey.uri, "1700000000"), true},
        {"stale", ForeignEntry(image, kKey.uri, "1699999999"), false},
        {"time that is no number", ForeignEntry(image, kKey.uri, "yesterday"), false},
        {"another picture's", ForeignEntry(image, u"file:///pictures/other.jpg"_s, "1700000000"),
         false},
        {"without keys", ForeignEntry(image, QString(), ""), false},
        {"cut short", good.first(good.size() / 2), false},
        {"damaged", brokenChecksum, false},
        {"not a PNG", QByteArray("GIF89a and so on"), false},
        {"too large for an entry", ForeignEntry(Solid({1025, 8}, 0), kKey.uri, "1700000000"),
         false},
    };
    for (const Case& c : cases) {
        const std::optional<QImage> read = ReadCacheEntry(c.png, kKey);
        EXPECT_EQ(read.has_value(), c.valid) << c.name;
        if (read) {
            EXPECT_EQ(read->size(), image.size()) << c.name;
            EXPECT_EQ(read->format(), QImage::Format_RGB32) << c.name;
            EXPECT_EQ(read->pixel(5, 5), image.pixel(5, 5)) << c.name;
        }
    }
}

// GLib reads tEXt chunks only: a long URI that Qt would compress must stay plain.
TEST(ThumbnailCacheTest, EntriesRecordWhatTheStandardAsksInPlainText)
{
    CacheKey key = kKey;
    key.uri = u"file:///home/someone/Pictures/holidays%202024/%C3%A9t%C3%A9%20%232.jpg"_s;
    const QByteArray png =
        EncodeCacheEntry(Solid({128, 85}, 0), key, {u"image/jpeg"_s, {4000, 2667}});
    const auto chunks = TextChunks(png);
    EXPECT_EQ(chunks.count("zTXt"), 0u);
    EXPECT_EQ(chunks.count("iTXt"), 0u);
    const std::vector<std::pair<QByteArray, QByteArray>> expected = {
        {"Thumb::URI", key.uri.toLatin1()}, {"Thumb::MTime", "1700000000"},
        {"Thumb::Size", "987654"},          {"Thumb::Mimetype", "image/jpeg"},
        {"Thumb::Image::Width", "4000"},    {"Thumb::Image::Height", "2667"},
        {"Software", "Tessellon"}};
    ASSERT_EQ(chunks.count("tEXt"), 1u);
    EXPECT_EQ(chunks.at("tEXt"), expected);
    EXPECT_TRUE(ReadCacheEntry(png, key));
}

TEST(ThumbnailCacheTest, StoresAtomicallyWithPrivateModes)
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("cache/thumbnails"));
    const ThumbnailCache cache(folder);
    ASSERT_TRUE(cache.Store(kCacheFlavors[0], Solid({128, 96}, qRgb(1, 2, 3)), kKey, {}));

    const QString entry = folder + u"/normal/"_s + CacheEntryName(kKey.uri);
    // Where files have permission bits: the owner's alone.
    if (PermissionBits(entry)) {
        EXPECT_EQ(PermissionBits(entry), 0600u);
        EXPECT_EQ(PermissionBits(folder + u"/normal"_s), 0700u);
        EXPECT_EQ(PermissionBits(folder), 0700u);
    }
    // Nothing but the entry: the temporary became it.
    EXPECT_EQ(QDir(folder + u"/normal"_s).entryList(QDir::Files | QDir::Hidden),
              QStringList{CacheEntryName(kKey.uri)});

    // A second store replaces the entry whole.
    ASSERT_TRUE(cache.Store(kCacheFlavors[0], Solid({128, 96}, qRgb(200, 2, 3)), kKey, {}));
    const std::optional<QImage> found = cache.Find(kKey, 62);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pixel(0, 0), qRgb(200, 2, 3));
}

TEST(ThumbnailCacheTest, FindsTheSmallestEntryThatCoversTheDrawnPixels)
{
    QTemporaryDir temp;
    const ThumbnailCache cache(temp.path());
    ASSERT_TRUE(cache.Store(kCacheFlavors[0], Solid({128, 96}, qRgb(255, 0, 0)), kKey, {}));
    ASSERT_TRUE(cache.Store(kCacheFlavors[1], Solid({256, 192}, qRgb(0, 255, 0)), kKey, {}));

    EXPECT_EQ(cache.Find(kKey, 62)->width(), 128);
    EXPECT_EQ(cache.Find(kKey, 124)->width(), 128);
    EXPECT_EQ(cache.Find(kKey, 186)->width(), 256); // a pixel ratio of 3 needs the large one
    EXPECT_FALSE(cache.Find(kKey, 600));

    // A stale normal entry gives way to a valid large one.
    ASSERT_TRUE(WriteFile(temp.filePath(u"normal/"_s + CacheEntryName(kKey.uri)),
                          ForeignEntry(Solid({128, 96}, 0), kKey.uri, "1")));
    EXPECT_EQ(cache.Find(kKey, 62)->width(), 256);
}

// Root writes into folders without write permission; an immutable folder refuses it too.
TEST(ThumbnailCacheTest, AReadOnlyCacheChangesNothing)
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(u"thumbnails"_s);
    const QString normal = folder + u"/normal"_s;
    ASSERT_TRUE(QDir().mkpath(normal));
    if (!PermissionBits(normal))
        GTEST_SKIP() << "Windows folders have no write permission to take away, only ACLs";
    const bool root = !PermissionsBindThisProcess();
    const auto chattr = [&](const char* flag) {
        return QProcess::execute(u"chattr"_s, {QLatin1String(flag), normal}) == 0;
    };
    if (root && !chattr("+i"))
        GTEST_SKIP() << "root cannot make a folder read-only here (chattr +i)";
    if (!root) {
        ASSERT_TRUE(QFile::setPermissions(normal, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const auto restore = qScopeGuard([&] {
        if (root)
            chattr("-i");
        QFile::setPermissions(normal, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    });

    const ThumbnailCache cache(folder);
    EXPECT_FALSE(cache.Store(kCacheFlavors[0], Solid({128, 96}, 0), kKey, {}));
    EXPECT_TRUE(
        QDir(normal).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST(ThumbnailCacheTest, ACacheThatCannotBeMadeChangesNothing)
{
    QTemporaryDir temp;
    // A file where the cache's folder would be: no user, root included, can make it.
    ASSERT_TRUE(WriteFile(temp.filePath(u"thumbnails"_s), "not a folder"));
    const ThumbnailCache cache(temp.filePath(u"thumbnails"_s));
    EXPECT_FALSE(cache.Store(kCacheFlavors[0], Solid({128, 96}, 0), kKey, {}));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"thumbnails"_s});
}

TEST(ThumbnailCacheTest, KnowsItsOwnFiles)
{
    QTemporaryDir temp;
    ASSERT_TRUE(QDir().mkpath(temp.filePath(u"thumbnails/normal"_s)));
    const ThumbnailCache cache(temp.filePath(u"thumbnails"_s));
    EXPECT_TRUE(cache.Contains(temp.filePath(u"thumbnails/normal/x.png"_s)));
    // Windows makes a shortcut, no link, of it.
    if (PermissionBits(temp.path())) {
        ASSERT_TRUE(QFile::link(temp.filePath(u"thumbnails"_s), temp.filePath(u"link"_s)));
        EXPECT_TRUE(cache.Contains(temp.filePath(u"link/normal"_s)));
    }
    EXPECT_FALSE(cache.Contains(temp.filePath(u"thumbnails-and-more/x.png"_s)));
    EXPECT_FALSE(cache.Contains(temp.filePath(u"photo.jpg"_s)));
}
