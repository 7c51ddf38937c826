#include "gallery/caption.h"
#include "main_window/progress_geometry.h"
#include "support/fixture_images.h"
#include "support/jpeg_fixtures.h"
#include "support/window_fixture.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

const QByteArray kNoFolder = "[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n";

// Runs `probe` at every yield of whatever the window does meanwhile.
class YieldProbe
{
public:
    explicit YieldProbe(std::function<void()> probe)
    {
        QObject::connect(&timer_, &QTimer::timeout, std::move(probe));
        timer_.start(0);
    }

private:
    QTimer timer_;
};

// The values in order, each run of equal ones kept once.
QList<int> Runs(QList<int> values)
{
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

QStringList Tags(const frmMosaq& window)
{
    QStringList tags;
    for (int i = 0; i < window.optThumb.Count(); ++i)
        tags.append(window.optThumb(i)->Tag());
    return tags;
}

} // namespace

class GalleryTest : public WindowFixture
{
protected:
    QString MakeFolder(const QString& name)
    {
        QString path = TempPath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    QString Native(const QString& path) const { return QDir::toNativeSeparators(path); }

    // The desktop's thumbnail cache in `folder` until the guard goes.
    static auto PointCacheAt(const QString& folder)
    {
        QByteArray saved = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder));
        return qScopeGuard([saved] { qputenv("XDG_CACHE_HOME", saved); });
    }

    void OpenInWindow(frmMosaq& window, const QString& folder)
    {
        ASSERT_EQ(window.filHidden->SetPath(folder), FileListBox::PathError::None);
        window.LoadThumbnails();
    }

    std::unique_ptr<frmMosaq> ShowEmptyWindow()
    {
        WriteSettingsText(kNoFolder);
        return ShowWindow();
    }

    QColor CellColorAt(const frmMosaq& window, int cell, QPoint at) const
    {
        const QImage picture = window.optThumb(cell)->GetPicture();
        const qreal ratio = picture.devicePixelRatio();
        return picture.pixelColor((QPointF(at) * ratio).toPoint());
    }
};

TEST_F(GalleryTest, AFolderWithoutPicturesLeavesNoCell)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("empty"));
    WriteBytes(folder + QStringLiteral("/notes.txt"), "not a picture");
    QStringList counts;
    {
        YieldProbe probe([&] { counts.append(window->lblCount->text()); });
        OpenInWindow(*window, folder);
    }
    EXPECT_FALSE(counts.isEmpty());
    for (const QString& count : counts)
        EXPECT_EQ(count, QStringLiteral("Images: 0"));
    EXPECT_EQ(window->lblCount->text(), QStringLiteral("Images: 0"));
    EXPECT_EQ(window->optThumb.Count(), 1);
    EXPECT_FALSE(window->optThumb(0)->OnScreen()) << "no stale cell";
    EXPECT_TRUE(window->optThumb(0)->Tag().isEmpty());
    EXPECT_FALSE(window->picProgress->isVisible());
    EXPECT_TRUE(window->picSlide->isVisible());
    EXPECT_EQ(window->sbrMain->PanelText(2), Native(folder) + QDir::separator());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GalleryTest, DamagedFilesAreSkippedAndCellsStayContiguous)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("mixed"));
    WriteSolidImage(folder + QStringLiteral("/a.bmp"), {30, 20}, Qt::red);
    WriteBytes(folder + QStringLiteral("/b.bmp"), "BM this is no bitmap at all");
    WriteSolidImage(folder + QStringLiteral("/c.jpg"), {20, 30}, Qt::blue);
    WriteBytes(folder + QStringLiteral("/d.gif"), QByteArray());
    WriteSolidImage(folder + QStringLiteral("/e.bmp"), {10, 10}, Qt::green);
    QStringList counts;
    {
        YieldProbe probe([&] {
            if (window->picProgress->isVisible())
                counts.append(window->lblCount->text());
        });
        OpenInWindow(*window, folder);
    }
    EXPECT_TRUE(counts.contains(QStringLiteral("Images: 5"))) << "the listed count while loading";
    EXPECT_EQ(window->lblCount->text(), QStringLiteral("Images: 3"));
    EXPECT_EQ(Tags(*window), (QStringList{QStringLiteral("a.bmp"), QStringLiteral("c.jpg"),
                                          QStringLiteral("e.bmp")}));
    const QColor blue = CellColorAt(*window, 1, {32, 32});
    EXPECT_TRUE(blue.blue() > 240 && blue.red() < 16 && blue.green() < 16)
        << blue.name().toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(window->optThumb(i)->OnScreen()) << i;
        EXPECT_EQ(window->optThumb(i)->Caption(), window->optThumb(i)->Tag());
    }
    EXPECT_EQ(window->optThumb(2)->Position(), QPoint(160, 0));
    EXPECT_TRUE(window->optThumb.IsSelected(0));
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_EQ(window->sbrMain->PanelText(2),
              Native(folder) + QDir::separator() + QStringLiteral("a.bmp"));
}

TEST_F(GalleryTest, IconsAndCursorsAnywhereInTheNameLoadAtTheLargeIconSize)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("icons"));
    // The first entry is small and red, the large one blue.
    const std::vector<IconEntry> entries = {{{16, 16}, Qt::red}, {{32, 32}, Qt::blue}};
    for (const char* name : {"PHOTO.ICO", "my.icons.bmp", "x.cursor.gif", "plain.bmp"})
        ASSERT_TRUE(WriteIcon(folder + QLatin1Char('/') + QLatin1String(name), entries));
    OpenInWindow(*window, folder);
    ASSERT_EQ(Tags(*window),
              (QStringList{QStringLiteral("my.icons.bmp"), QStringLiteral("PHOTO.ICO"),
                           QStringLiteral("plain.bmp"), QStringLiteral("x.cursor.gif")}));
    for (const int cell : {0, 1, 3})
        EXPECT_EQ(CellColorAt(*window, cell, {20, 20}), QColor(Qt::blue)) << cell;
    // Without the selector an icon gives its first entry: 16 pixels, red.
    EXPECT_EQ(CellColorAt(*window, 2, {31, 31}), QColor(Qt::red));
    EXPECT_NE(CellColorAt(*window, 2, {20, 20}), QColor(Qt::red));
}

TEST_F(GalleryTest, CaptionsKeepNamesThatFitAndCutOnePixelMore)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QFontMetrics metrics(window->optThumb.Font());
    const int budget = window->optThumb.CellSize().width() - 15;
    // Names of the form <a's><i's>.bmp, exactly `budget` and `budget + 1` pixels wide.
    auto nameOfWidth = [&](int width) {
        for (int a = 0; a < 40; ++a) {
            for (int i = 0; i < 40; ++i) {
                QString name = QString(a, QLatin1Char('a')) + QString(i, QLatin1Char('i')) +
                               QStringLiteral(".bmp");
                if (metrics.horizontalAdvance(name) == width)
                    return name;
            }
        }
        return QString();
    };
    const QString fits = nameOfWidth(budget);
    const QString wider = nameOfWidth(budget + 1);
    if (fits.isEmpty() || wider.isEmpty())
        GTEST_SKIP() << "this font has no such names";
    const QString folder = MakeFolder(QStringLiteral("captions"));
    WriteSolidImage(folder + QLatin1Char('/') + fits, {8, 8}, Qt::red, "BMP");
    WriteSolidImage(folder + QLatin1Char('/') + wider, {8, 8}, Qt::red, "BMP");
    OpenInWindow(*window, folder);
    for (int i = 0; i < window->optThumb.Count(); ++i) {
        const ThumbCell* cell = window->optThumb(i);
        if (cell->Tag() == fits)
            EXPECT_EQ(cell->Caption(), fits);
        else
            EXPECT_TRUE(cell->Caption().endsWith(QStringLiteral("...")))
                << cell->Caption().toStdString();
    }
}

TEST_F(GalleryTest, RefreshSelectsTheFirstCellAgainAndSeesNewFiles)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("refresh"));
    for (int i = 1; i <= 7; ++i)
        WriteSolidImage(folder + QStringLiteral("/img%1.bmp").arg(i), {8, 8}, Qt::red);
    OpenInWindow(*window, folder);
    QTest::mouseClick(window->optThumb.Widget(5), Qt::LeftButton);
    ASSERT_EQ(window->SelectedIndex(), 5);
    WriteSolidImage(folder + QStringLiteral("/img10.bmp"), {8, 8}, Qt::red);
    window->tbrMain_ButtonClick(window->ToolbarButtonByKey(QStringLiteral("Refresh")));
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_TRUE(window->optThumb.IsSelected(0));
    EXPECT_FALSE(window->optThumb.IsSelected(5));
    EXPECT_EQ(window->optThumb.Count(), 8);
    EXPECT_EQ(window->optThumb(7)->Tag(), QStringLiteral("img10.bmp")) << "natural order";
    EXPECT_EQ(window->sbrMain->PanelText(2),
              Native(folder) + QDir::separator() + QStringLiteral("img1.bmp"));
}

TEST_F(GalleryTest, ProgressAdvancesFileByFileAndReachesTheEnd)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    for (const int files : {8, 100}) {
        const QString folder = MakeFolder(QStringLiteral("progress%1").arg(files));
        for (int i = 0; i < files; ++i)
            WriteSolidImage(folder + QStringLiteral("/p%1.bmp").arg(i), {4, 4}, Qt::red);
        QList<int> fills;
        int inner = 0;
        {
            YieldProbe probe([&] {
                // Once placed over the status bar.
                if (window->picProgress->isVisible() &&
                    window->picProgress->y() > window->sbrMain->y()) {
                    inner = window->picProgress->ScaleWidth();
                    fills.append(window->picProgressSlide->width());
                }
            });
            OpenInWindow(*window, folder);
        }
        fills = Runs(fills);
        ASSERT_FALSE(fills.isEmpty());
        QList<int> expected;
        for (int j = 0; j < files; ++j)
            expected.append(ProgressFillWidth(BuildProgressPercent(j, files), inner));
        expected = Runs(expected);
        if (fills.first() == 1 && expected.first() != 1)
            fills.removeFirst(); // the freshly placed indicator, before the first file
        EXPECT_EQ(fills, expected) << files << " files";
        EXPECT_FALSE(window->picProgress->isVisible());
    }
}

TEST_F(GalleryTest, CountsUseTheLocalesGrouping)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("many"));
    QFile source(folder + QStringLiteral("/0.bmp"));
    ASSERT_TRUE(WriteSolidImage(source.fileName(), {2, 2}, Qt::red));
    for (int i = 1; i < 1234; ++i)
        ASSERT_TRUE(QFile::copy(source.fileName(), folder + QStringLiteral("/%1.bmp").arg(i)));
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    OpenInWindow(*window, folder);
    QLocale::setDefault(previous);
    EXPECT_EQ(window->lblCount->text(), QStringLiteral("Images: 1.234"));
    EXPECT_EQ(window->optThumb.Count(), 1234);
    EXPECT_EQ(window->vsbSlide->maximum(),
              window->picSlide->height() - window->picFrame->ScaleHeight());
}

TEST_F(GalleryTest, PathChangeShowsTheFolderBeforeTheBuild)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("pathchange"));
    WriteSolidImage(folder + QStringLiteral("/x.bmp"), {4, 4}, Qt::red);
    OpenInWindow(*window, MakeFolder(QStringLiteral("before")));
    QString panel;
    QString count;
    QObject::connect(window->filHidden, &FileListBox::PathChange, window.get(), [&] {
        panel = window->sbrMain->PanelText(2);
        count = window->lblCount->text();
    });
    window->SetFolderPicker(
        [&](QWidget*, const QString&, const QString&) { return QString(folder); });
    window->OpenFolder(false);
    EXPECT_EQ(panel, Native(folder) + QDir::separator());
    EXPECT_EQ(count, QStringLiteral("Images: 0"));
    EXPECT_EQ(window->lblCount->text(), QStringLiteral("Images: 1"));
}

TEST_F(GalleryTest, ABuildStartedDuringABuildSupersedesIt)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString first = MakeFolder(QStringLiteral("first"));
    const QString second = MakeFolder(QStringLiteral("second"));
    for (int i = 0; i < 30; ++i)
        WriteSolidImage(first + QStringLiteral("/f%1.bmp").arg(i), {6, 6}, Qt::red);
    for (int i = 0; i < 4; ++i)
        WriteSolidImage(second + QStringLiteral("/s%1.bmp").arg(i), {6, 6}, Qt::blue);

    struct Case
    {
        const char* what;
        std::function<void(frmMosaq&)> interrupt;
        QString folder;
        int cells;
    };
    const Case cases[] = {
        {"Refresh",
         [](frmMosaq& w) {
             w.tbrMain_ButtonClick(w.ToolbarButtonByKey(QStringLiteral("Refresh")));
         },
         first, 30},
        {"Browse",
         [](frmMosaq& w) { w.tbrMain_ButtonClick(w.ToolbarButtonByKey(QStringLiteral("Browse"))); },
         second, 4},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(window->filHidden->SetPath(first), FileListBox::PathError::None);
        pickerAnswer_ = second;
        int yields = 0;
        bool interrupted = false;
        {
            YieldProbe probe([&] {
                if (++yields == 10 && window->IsBuilding()) {
                    interrupted = true;
                    c.interrupt(*window);
                }
            });
            window->LoadThumbnails();
        }
        EXPECT_TRUE(interrupted) << c.what;
        EXPECT_EQ(window->optThumb.Count(), c.cells) << c.what;
        EXPECT_EQ(window->lblCount->text(), QStringLiteral("Images: %1").arg(c.cells)) << c.what;
        EXPECT_EQ(window->filHidden->Path(), Native(c.folder));
        for (int i = 0; i < window->optThumb.Count(); ++i)
            EXPECT_EQ(window->optThumb(i)->Tag(), window->filHidden->List(i)) << c.what << i;
        EXPECT_FALSE(window->picProgress->isVisible());
        EXPECT_TRUE(window->picSlide->isVisible());
        EXPECT_FALSE(window->IsBuilding());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(GalleryTest, ExitDuringABuildEndsItAtTheNextYield)
{
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("exiting"));
    for (int i = 0; i < 40; ++i)
        WriteSolidImage(folder + QStringLiteral("/e%1.bmp").arg(i), {6, 6}, Qt::red);
    QSignalSpy ended(window.get(), &frmMosaq::ProgramEnded);
    int yields = 0;
    int cellsAtExit = 0;
    {
        YieldProbe probe([&] {
            if (++yields == 5) {
                window->tbrMain_ButtonClick(window->ToolbarButtonByKey(QStringLiteral("Exit")));
                cellsAtExit = window->optThumb.Count();
            }
        });
        OpenInWindow(*window, folder);
    }
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(window->IsUnloaded());
    EXPECT_EQ(cellsAtExit, 1) << "created cells are removed at unload";
    EXPECT_EQ(window->optThumb.Count(), 1) << "and the build added none afterwards";
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait pointer goes with the window";
    EXPECT_TRUE(SettingsText().contains("Maximized=False"));
}

using OpenFolderTest = GalleryTest;

// The folder remembered for the next start is the one the gallery came to show whole.
TEST_F(OpenFolderTest, AnOpeningOvertakenByAnotherRemembersNothing)
{
    const QString before = MakeFolder(QStringLiteral("before"));
    const QString first = MakeFolder(QStringLiteral("first"));
    const QString second = MakeFolder(QStringLiteral("second"));
    for (int i = 0; i < 30; ++i)
        WriteSolidImage(first + QStringLiteral("/f%1.bmp").arg(i), {6, 6}, Qt::red);
    WriteSolidImage(second + QStringLiteral("/s.bmp"), {6, 6}, Qt::blue);

    struct Case
    {
        const char* what;
        const char* interruption; // a toolbar key
        QString remembered;
    };
    const Case cases[] = {
        {"Browse to another folder", "Browse", second},
        {"Refresh of the same folder", "Refresh", first},
        {"Exit", "Exit", before},
    };
    for (const Case& c : cases) {
        WriteSettingsText("[Main]\r\nLast Path=" + QFile::encodeName(before) + "\r\n");
        const std::unique_ptr<frmMosaq> window = ShowWindow();
        ASSERT_EQ(window->filHidden->Path(), Native(before)) << c.what;
        int yields = 0;
        bool interrupted = false;
        {
            YieldProbe probe([&] {
                if (++yields == 10 && window->IsBuilding() && !interrupted) {
                    interrupted = true;
                    pickerAnswer_ = second;
                    window->tbrMain_ButtonClick(
                        window->ToolbarButtonByKey(QLatin1String(c.interruption)));
                }
            });
            pickerAnswer_ = first;
            window->OpenFolder(false);
        }
        EXPECT_TRUE(interrupted) << c.what;
        EXPECT_TRUE(
            SettingsText().contains("Last Path=" + QFile::encodeName(c.remembered) + "\r\n"))
            << c.what << ": " << SettingsText().toStdString();
    }
}

TEST_F(OpenFolderTest, WithoutSettingsTheRootOpensAndIsRemembered)
{
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    EXPECT_EQ(window->filHidden->Path(), root);
    EXPECT_TRUE(SettingsText().contains("Last Path=" + root.toUtf8() + "\r\n"));
    EXPECT_TRUE(window->picSlide->isVisible());
    EXPECT_EQ(window->sbrMain->PanelText(2).left(root.size()), root);
}

TEST_F(OpenFolderTest, AFolderThatCannotBeOpenedChangesNothing)
{
    struct Case
    {
        const char* what;
        QByteArray settings;
    };
    const Case cases[] = {
        {"vanished", "[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n"},
        {"empty", "[Main]\r\nLast Path=\r\n"},
        {"a file",
         "[Main]\r\nLast Path=" + QFile::encodeName(TempPath(QStringLiteral("file.bmp"))) + "\r\n"},
    };
    WriteSolidImage(TempPath(QStringLiteral("file.bmp")), {4, 4}, Qt::red);
    for (const Case& c : cases) {
        WriteSettingsText(c.settings);
        const std::unique_ptr<frmMosaq> window = ShowWindow();
        EXPECT_TRUE(window->filHidden->Path().isEmpty()) << c.what;
        EXPECT_FALSE(window->picSlide->isVisible()) << c.what << ": the gallery stays hidden";
        EXPECT_EQ(window->lblCount->text(), QStringLiteral("lblCount")) << c.what;
        EXPECT_EQ(SettingsText(), c.settings) << c.what << ": nothing written";
    }
}

TEST_F(OpenFolderTest, BrowseStartsAtTheStoredFolderAndCancelChangesNothing)
{
    const QString first = MakeFolder(QStringLiteral("one"));
    WriteSolidImage(first + QStringLiteral("/a.bmp"), {4, 4}, Qt::red);
    const std::unique_ptr<frmMosaq> window = ShowWindowAt(first);
    ASSERT_EQ(window->optThumb(0)->Tag(), QStringLiteral("a.bmp"));
    const QByteArray settings = SettingsText();

    pickerAnswer_.clear();
    window->tbrMain_ButtonClick(window->ToolbarButtonByKey(QStringLiteral("Browse")));
    EXPECT_EQ(pickerCalls_, 1);
    EXPECT_EQ(pickerInitial_, first);
    EXPECT_EQ(SettingsText(), settings);
    EXPECT_EQ(window->optThumb(0)->Tag(), QStringLiteral("a.bmp"));
    EXPECT_EQ(window->filHidden->Path(), Native(first));

    const QString second = MakeFolder(QStringLiteral("two"));
    WriteSolidImage(second + QStringLiteral("/b.bmp"), {4, 4}, Qt::red);
    pickerAnswer_ = second;
    window->tbrMain_ButtonClick(window->ToolbarButtonByKey(QStringLiteral("Browse")));
    EXPECT_EQ(window->optThumb(0)->Tag(), QStringLiteral("b.bmp"));
    EXPECT_TRUE(SettingsText().contains("Last Path=" + QFile::encodeName(second) + "\r\n"));
}

TEST_F(OpenFolderTest, TheWholeCorpusBuildsWithoutACrash)
{
    const QString corpus = QStringLiteral(TESSELLON_CORPUS);
    if (!QDir(corpus).exists())
        GTEST_SKIP() << "no shared corpus here";
    const QTemporaryDir cache;
    const auto restore = PointCacheAt(cache.path());
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const QString folder = MakeFolder(QStringLiteral("corpus"));
    int listed = 0;
    QDirIterator files(corpus, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString link =
            QDir(corpus).relativeFilePath(file).replace(QLatin1Char('/'), QLatin1Char('_'));
        // Copies: a link on Windows is a shell shortcut, a file of its own.
        ASSERT_TRUE(QFile::copy(file, folder + QLatin1Char('/') + link));
        ++listed;
    }
    OpenInWindow(*window, folder);
    EXPECT_GT(window->filHidden->ListCount(), 100);
    EXPECT_GT(window->optThumb.Count(), 1);
    EXPECT_LE(window->optThumb.Count(), window->filHidden->ListCount());
    EXPECT_FALSE(window->IsBuilding());
    EXPECT_TRUE(window->picSlide->isVisible());
}

// A photo's thumbnail comes from its embedded preview, from the shared cache or from the
// photo itself; each is drawn the same, and the gallery counts, captions and skips alike.
TEST_F(GalleryTest, ThumbnailsFromPreviewsAndTheCacheAreDrawnAsDecodedOnes)
{
    const QTemporaryDir cache;
    const auto restore = PointCacheAt(cache.path());

    const QString folder = MakeFolder(QStringLiteral("sources"));
    JpegFixture photo;
    photo.width = 800;
    photo.height = 600;
    photo.color = [](int x, int) { return x < 400 ? qRgb(230, 30, 30) : qRgb(30, 30, 230); };
    ASSERT_TRUE(WriteBytes(folder + QStringLiteral("/a photo.jpg"), WriteJpeg(photo)));
    photo.exif = ExifBlock(1, SolidJpeg(160, 120, qRgb(20, 210, 20)));
    ASSERT_TRUE(WriteBytes(folder + QStringLiteral("/b camera.jpg"), WriteJpeg(photo)));
    ASSERT_TRUE(WriteBytes(folder + QStringLiteral("/c broken.jpg"), "\xFF\xD8\xFF garbage"));

    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    OpenInWindow(*window, folder);
    ASSERT_EQ(Tags(*window),
              (QStringList{QStringLiteral("a photo.jpg"), QStringLiteral("b camera.jpg")}));
    const QImage decoded = window->optThumb(0)->GetPicture();
    // The camera's preview, green, stands for the photo.
    EXPECT_TRUE(CellColorAt(*window, 1, {32, 32}).green() > 150);
    EXPECT_TRUE(CellColorAt(*window, 1, {32, 32}).red() < 80);

    // The decode left an entry for the plain photo, none for the one with a preview.
    const QString entries = cache.filePath(QStringLiteral("thumbnails/normal"));
    ASSERT_EQ(QDir(entries).entryList(QDir::Files).size(), 1);

    // Refresh reads the entry: the same cell, pixel for pixel but for rounding. The photo is
    // now yellow, but its time and size are the same (padded after its end, which decoders
    // ignore): the entry stands for it, as the cache's rules say.
    const QString plain = folder + QStringLiteral("/a photo.jpg");
    const QDateTime modified = QFileInfo(plain).lastModified();
    const qint64 size = QFileInfo(plain).size();
    photo.exif.clear();
    photo.color = [](int, int) { return qRgb(230, 230, 20); };
    QByteArray yellow = WriteJpeg(photo);
    ASSERT_LE(yellow.size(), size);
    yellow.append(QByteArray(size - yellow.size(), '\0'));
    ASSERT_TRUE(WriteBytes(plain, yellow));
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    window->LoadThumbnails();
    ASSERT_EQ(window->lblCount->text(), QStringLiteral("Images: 2"));
    const QImage fromCache = window->optThumb(0)->GetPicture();
    ASSERT_EQ(fromCache.size(), decoded.size());
    int differing = 0;
    for (int y = 0; y < decoded.height(); ++y) {
        for (int x = 0; x < decoded.width(); ++x) {
            const QRgb a = decoded.pixel(x, y);
            const QRgb b = fromCache.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                    std::abs(qBlue(a) - qBlue(b)) >
                24)
                ++differing;
        }
    }
    // The frame lies exactly where it did; only the seam between the halves may blur.
    EXPECT_LE(differing, decoded.height());
}

// Cells far from the view give their pictures up to stay within the budget, and get them
// back when they come near it again: from the source the build took, pixel for pixel as
// built, whether that was a decode, a camera's preview or the thumbnail cache. Meanwhile a
// cell shows its frame and caption only, and stays the cell it was.
TEST_F(GalleryTest, PicturesGivenUpAreFetchedBackAsBuilt)
{
    const QTemporaryDir cache;
    const auto restore = PointCacheAt(cache.path());

    const QString folder = MakeFolder(QStringLiteral("many"));
    JpegFixture photo;
    photo.width = 800;
    photo.height = 600;
    photo.color = [](int x, int y) { return qRgb(x % 256, y % 256, (x + y) % 256); };
    ASSERT_TRUE(WriteBytes(folder + QStringLiteral("/a photo.jpg"), WriteJpeg(photo)));
    photo.exif = ExifBlock(1, SolidJpeg(160, 120, qRgb(20, 210, 20)));
    ASSERT_TRUE(WriteBytes(folder + QStringLiteral("/b camera.jpg"), WriteJpeg(photo)));
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(WriteSolidImage(folder + QStringLiteral("/c%1.bmp").arg(i, 3, 10, QChar(u'0')),
                                    {10 + i % 40, 12 + i % 30}, QColor::fromHsv(i * 2, 200, 200)));
    }

    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    const auto allPictures = [&] {
        std::vector<QImage> pictures;
        pictures.reserve(static_cast<size_t>(window->optThumb.Count()));
        for (int i = 0; i < window->optThumb.Count(); ++i)
            pictures.push_back(window->optThumb(i)->GetPicture());
        return pictures;
    };
    const auto expectGivenBackAsBuilt = [&](const char* build) {
        SCOPED_TRACE(build);
        const std::vector<QImage> built = allPictures();
        const QStringList tags = Tags(*window);
        ASSERT_EQ(built.size(), 152U);
        ASSERT_GT(window->vsbSlide->maximum(), 0) << "the gallery must not fit its view";
        window->vsbSlide->setValue(window->vsbSlide->maximum());
        window->SetPictureBudget(1);
        for (const int i : {0, 1, 2}) {
            EXPECT_TRUE(window->optThumb(i)->GetPicture().isNull()) << i;
            EXPECT_EQ(window->optThumb(i)->Tag(), tags.at(i));
            EXPECT_FALSE(window->optThumb(i)->Caption().isEmpty());
        }
        EXPECT_FALSE(window->optThumb(151)->GetPicture().isNull()) << "in view";

        window->vsbSlide->setValue(0);
        window->optThumb.Widget(0)->repaint(); // a frame and a caption, no picture yet
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return !window->optThumb(0)->GetPicture().isNull() &&
                   !window->optThumb(1)->GetPicture().isNull() &&
                   !window->optThumb(2)->GetPicture().isNull();
        }));
        for (const int i : {0, 1, 2})
            EXPECT_EQ(window->optThumb(i)->GetPicture(), built[static_cast<size_t>(i)]) << i;
        EXPECT_TRUE(window->optThumb(151)->GetPicture().isNull()) << "far from the view";
        window->SetPictureBudget(qint64(64) << 20);
    };

    OpenInWindow(*window, folder);
    expectGivenBackAsBuilt("decoded, the cache entry written meanwhile");
    window->LoadThumbnails();
    expectGivenBackAsBuilt("drawn from the cache entry");
}

// A budget smaller than the folder's pictures holds during the build too: the cells at
// the top, which the finished gallery shows, keep theirs, and the others let theirs go.
TEST_F(GalleryTest, ABuildKeepsThePicturesOfTheTopWithinTheBudget)
{
    const QString folder = MakeFolder(QStringLiteral("many"));
    for (int i = 0; i < 120; ++i)
        ASSERT_TRUE(WriteSolidImage(folder + QStringLiteral("/%1.bmp").arg(i, 3, 10, QChar(u'0')),
                                    {20, 20}, Qt::darkCyan));
    const std::unique_ptr<frmMosaq> window = ShowEmptyWindow();
    window->SetPictureBudget(1);
    OpenInWindow(*window, folder);
    ASSERT_EQ(window->optThumb.Count(), 120);
    int kept = 0;
    while (kept < 120 && !window->optThumb(kept)->GetPicture().isNull())
        ++kept;
    EXPECT_GT(kept, 0) << "the view shows its pictures";
    EXPECT_LT(kept, 60);
    qint64 held = 0;
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(window->optThumb(i)->GetPicture().isNull(), i >= kept) << i;
        held += window->optThumb(i)->GetPicture().sizeInBytes();
    }
    EXPECT_EQ(held, window->Pictures().HeldBytes());
}
