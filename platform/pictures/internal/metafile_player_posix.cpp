#include "pictures/internal/metafile_player.h"
#include "pictures/internal/picture_internal.h"
#include "pictures/internal/svg_raster.h"
#include "pictures/internal/wmf_svg.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QStandardPaths>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Metafiles played by libwmf and libemf2svg, which turn them into SVG, drawn by Qt Svg.

namespace pictures {
namespace {

// libwmf's own allocations for one metafile.
constexpr qint64 kMaxLibraryBytes = qint64(256) << 20;
// The most SVG the libraries write for a byte of records (measured over the metafiles of
// other projects' test suites).
constexpr qint64 kSvgBytesPerFileByte = 16;

// Both libraries keep writable global state; one metafile at a time goes through them.
QMutex& LibraryMutex()
{
    static QMutex mutex;
    return mutex;
}

// Makes printf-style formatting and parsing of numbers on the calling thread use the C
// locale while it lives: both libraries write SVG numbers through printf.
class CNumericLocale
{
public:
    CNumericLocale();
    ~CNumericLocale();
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t previous_ = nullptr;
    locale_t own_ = nullptr;
};

CNumericLocale::CNumericLocale()
{
    own_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (own_)
        previous_ = uselocale(own_);
}

CNumericLocale::~CNumericLocale()
{
    if (!own_)
        return;
    uselocale(previous_);
    freelocale(own_);
}

// libwmf measures text with FreeType, so it needs one font file; any will do, as the text
// itself is drawn by Qt Svg.
QString FindFontFile()
{
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::FontsLocation);
    const QStringList preferred = {QStringLiteral("DejaVuSans.ttf"),
                                   QStringLiteral("LiberationSans-Regular.ttf"),
                                   QStringLiteral("arial.ttf"), QStringLiteral("Arial.ttf")};
    QString fallback;
    int visited = 0;
    for (const QString& folder : folders) {
        QDirIterator it(folder, {QStringLiteral("*.ttf"), QStringLiteral("*.TTF")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext() && ++visited < 20000) {
            QString path = it.next();
            if (preferred.contains(it.fileName()))
                return path;
            if (fallback.isEmpty())
                fallback = path;
        }
    }
    return fallback;
}

// The font libwmf is given, as a folder and as 13 distinct names of the one file: libwmf
// caches faces by path, so each standard PostScript name needs a path of its own.
struct WmfFonts
{
    std::string folder;
    std::vector<std::string> mappings;
    std::vector<wmfMapping> table;
    std::array<char*, 2> folders{};

    bool Available() const { return !folder.empty(); }
};

const WmfFonts& Fonts()
{
    static const WmfFonts fonts = [] {
        WmfFonts result;
        const QString file = FindFontFile();
        if (file.isEmpty()) {
            qCWarning(lcPictures) << "no font file found; metafiles with text will not load";
            return result;
        }
        const QFileInfo info(file);
        result.folder = QFile::encodeName(info.absolutePath()).toStdString();
        static constexpr std::array kNames = {
            "Times-Roman", "Times-Italic",      "Times-Bold",     "Times-BoldItalic",
            "Helvetica",   "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique",
            "Courier",     "Courier-Oblique",   "Courier-Bold",   "Courier-BoldOblique",
            "Symbol"};
        const std::string name = QFile::encodeName(info.fileName()).toStdString();
        for (size_t i = 0; i < kNames.size(); ++i) {
            std::string path;
            for (size_t k = 0; k < i; ++k)
                path += "./";
            result.mappings.push_back(path + name);
        }
        for (size_t i = 0; i < kNames.size(); ++i) {
            wmfMapping mapping{};
            mapping.name = const_cast<char*>(kNames[i]);
            mapping.mapping = const_cast<char*>(result.mappings[i].c_str());
            mapping.encoding = FT_ENCODING_NONE;
            result.table.push_back(mapping);
        }
        result.table.push_back(wmfMapping{});
        result.folders = {const_cast<char*>(result.folder.c_str()), nullptr};
        return result;
    }();
    return fonts;
}

// Allocations of libwmf, counted so that a hostile file cannot take all memory.
struct LibraryAllocations
{
    qint64 used = 0;
};

constexpr size_t kAllocationHeader = 16;

void* CountedMalloc(void* context, size_t size)
{
    auto* allocations = static_cast<LibraryAllocations*>(context);
    if (size > size_t(kMaxLibraryBytes) || allocations->used + qint64(size) > kMaxLibraryBytes)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(size + kAllocationHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    allocations->used += qint64(size);
    return block + kAllocationHeader;
}

void CountedFree(void* context, void* memory)
{
    if (!memory)
        return;
    auto* block = static_cast<char*>(memory) - kAllocationHeader;
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    static_cast<LibraryAllocations*>(context)->used -= qint64(size);
    std::free(block);
}

void* CountedRealloc(void* context, void* memory, size_t size)
{
    if (!memory)
        return CountedMalloc(context, size);
    auto* allocations = static_cast<LibraryAllocations*>(context);
    auto* block = static_cast<char*>(memory) - kAllocationHeader;
    size_t old = 0;
    std::memcpy(&old, block, sizeof old);
    if (size > size_t(kMaxLibraryBytes) ||
        allocations->used - qint64(old) + qint64(size) > kMaxLibraryBytes)
        return nullptr;
    auto* grown = static_cast<char*>(std::realloc(block, size + kAllocationHeader));
    if (!grown)
        return nullptr;
    std::memcpy(grown, &size, sizeof size);
    allocations->used += qint64(size) - qint64(old);
    return grown + kAllocationHeader;
}

// Collects what libwmf reports while the log wants it, and passes it on at the end.
class LibraryLog
{
public:
    LibraryLog()
        : stream_(lcPictures().isDebugEnabled() ? std::tmpfile() : nullptr)
    {}
    ~LibraryLog()
    {
        if (!stream_)
            return;
        QByteArray text;
        if (std::fseek(stream_, 0, SEEK_END) == 0) {
            text.resize(std::max(0L, std::min(std::ftell(stream_), 1L << 20)));
            std::rewind(stream_);
            text.resize(qsizetype(std::fread(text.data(), 1, size_t(text.size()), stream_)));
        }
        std::fclose(stream_);
        if (!text.trimmed().isEmpty())
            qCDebug(lcPictures).noquote() << "libwmf:" << text.trimmed();
    }
    LibraryLog(const LibraryLog&) = delete;
    LibraryLog& operator=(const LibraryLog&) = delete;

    FILE* Stream() const { return stream_; }

private:
    FILE* stream_;
};

QString WmfError(wmf_error_t code)
{
    return QStringLiteral("metafile could not be played (libwmf error %1)").arg(int(code));
}

struct WmfSvg
{
    QByteArray svg;
    QSize size;
};

std::optional<WmfSvg> ConvertWmfToSvg(const MetafileDocument& document, QString& error)
{
    const QMutexLocker lock(&LibraryMutex());
    const CNumericLocale numbers;
    const WmfFonts& fonts = Fonts();
    LibraryLog log;
    LibraryAllocations allocations;

    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    options.context = &allocations;
    options.malloc = CountedMalloc;
    options.realloc = CountedRealloc;
    options.free = CountedFree;
    unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_ALLOC;
    if (fonts.Available()) {
        flags |= WMF_OPT_FONTDIRS | WMF_OPT_FONTMAP;
        options.fontdirs = const_cast<char**>(fonts.folders.data());
        options.font.ps = const_cast<wmfMapping*>(fonts.table.data());
    }
    if (log.Stream()) {
        flags |= WMF_OPT_LOG_ERROR | WMF_OPT_LOG_DEBUG;
        options.error_out = log.Stream();
        options.debug_out = log.Stream();
    } else {
        flags |= WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    }

    wmfAPI* api = nullptr;
    wmf_error_t status = wmf_api_create(&api, flags, &options);
    if (status != wmf_E_None || !api) {
        error = WmfError(status);
        return std::nullopt;
    }
    const auto destroy = qScopeGuard([api] { wmf_api_destroy(api); });

    QByteArray bytes = document.bytes; // libwmf reads through a pointer to mutable bytes
    status = wmf_mem_open(api, reinterpret_cast<unsigned char*>(bytes.data()), long(bytes.size()));
    wmfD_Rect bounds{};
    if (status == wmf_E_None)
        status = wmf_scan(api, 0, &bounds);
    if (status != wmf_E_None) {
        error = WmfError(status);
        return std::nullopt;
    }
    const QRectF scanned(QPointF(bounds.TL.x, bounds.TL.y), QPointF(bounds.BR.x, bounds.BR.y));
    const QRectF frame = document.frame.isEmpty() ? scanned.normalized() : document.frame;
    if (frame.width() <= 0 || frame.height() <= 0) {
        error = QStringLiteral("metafile draws nothing");
        return std::nullopt;
    }
    const QSize size = document.size.isEmpty()
                           ? QSize(MetafilePixels(frame.width()), MetafilePixels(frame.height()))
                           : document.size;

    wmf_svg_t* device = WMF_SVG_GetData(api);
    device->out = wmf_stream_create(api, nullptr);
    device->Description = nullptr;
    device->bbox.TL.x = float(frame.left());
    device->bbox.TL.y = float(frame.top());
    device->bbox.BR.x = float(frame.right());
    device->bbox.BR.y = float(frame.bottom());
    device->width = unsigned(size.width());
    device->height = unsigned(size.height());
    device->flags |= WMF_SVG_INLINE_IMAGES;
    status = device->out ? wmf_play(api, 0, &bounds) : wmf_E_InsMem;

    char* text = nullptr;
    unsigned long length = 0;
    if (device->out)
        wmf_stream_destroy(api, device->out, &text, &length);
    if (status != wmf_E_None || !text) {
        error = WmfError(status);
        return std::nullopt;
    }
    return WmfSvg{RepairWmfSvg(QByteArray(text, qsizetype(length))), size};
}

// libemf2svg gives up on a whole file for one EMR_SMALLTEXTOUT, however sound: the
// records, which PrepareEmf has checked, without those.
QByteArray WithoutSmallText(const QByteArray& emf)
{
    constexpr std::uint32_t kEmrSmallTextOut = 108;
    QByteArray out = emf.first(LeU32(emf, 4));
    std::uint32_t records = 1;
    for (qsizetype pos = out.size(); pos + 8 <= emf.size();) {
        const qsizetype size = LeU32(emf, pos + 4);
        if (LeU32(emf, pos) != kEmrSmallTextOut) {
            out += emf.sliced(pos, size);
            ++records;
        }
        pos += size;
    }
    PutLeU32(out, 48, std::uint32_t(out.size()));
    PutLeU32(out, 52, records);
    return out;
}

std::optional<QByteArray> ConvertEmfToSvg(const MetafileDocument& document, QString& error)
{
    const QMutexLocker lock(&LibraryMutex());
    const CNumericLocale numbers;
    // libemf2svg reads through a pointer to mutable bytes
    QByteArray emf = WithoutSmallText(document.bytes);
    static char noNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = noNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* text = nullptr;
    size_t length = 0;
    const int converted = emf2svg(emf.data(), size_t(emf.size()), &text, &length, &options);
    QByteArray svg = text ? QByteArray(text, qsizetype(length)) : QByteArray();
    std::free(text);
    if (converted == 0 || svg.isEmpty()) {
        error = QStringLiteral("enhanced metafile could not be converted");
        return std::nullopt;
    }
    return svg;
}

} // namespace

std::optional<PlayedMetafile> PlayMetafile(MetafileKind kind, const MetafileDocument& document,
                                           const PictureRequest& request, QString& error)
{
    QByteArray svg;
    QSize size = document.size;
    if (kind == MetafileKind::Wmf) {
        std::optional<WmfSvg> converted = ConvertWmfToSvg(document, error);
        if (!converted)
            return std::nullopt;
        svg = std::move(converted->svg);
        size = converted->size;
    } else {
        std::optional<QByteArray> converted = ConvertEmfToSvg(document, error);
        if (!converted)
            return std::nullopt;
        svg = std::move(*converted);
    }
    QImage image = RenderSvg(svg, DeliveredSize(size, request), error);
    if (image.isNull())
        return std::nullopt;
    return PlayedMetafile{std::move(image), size};
}

// The document, the SVG it becomes and the copy of it with far-off numbers pulled in, and
// the raster. The SVG grows with the records, each drawing record a line of text; the
// libraries' own allocations serve one metafile at a time (LibraryMutex).
qint64 MetafilePlayBytes(qint64 fileBytes, qint64 rasterBytes)
{
    const qint64 svg =
        std::min<qint64>(kMaxSvgBytes, SaturatingProduct(fileBytes, kSvgBytesPerFileByte));
    return SaturatingSum(SaturatingSum(fileBytes, SaturatingProduct(svg, 2)), rasterBytes);
}

} // namespace pictures
