#include "pictures/metafile_wmf.h"

#include "pictures/bmp_decoder.h"
#include "pictures/picture_internal.h"
#include "pictures/svg_raster.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QtEndian>

#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace pictures {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kHeaderSize = 18;
constexpr int kMaxRecords = 1 << 22;
// Bitmaps inside one metafile, in pixels all together.
constexpr qint64 kMaxEmbeddedPixels = qint64(64) << 20;
// libwmf's own allocations for one metafile.
constexpr qint64 kMaxLibraryBytes = qint64(256) << 20;
constexpr std::uint16_t kBsPattern = 3;

enum MapMode {
    kText = 1,
    kLoMetric,
    kHiMetric,
    kLoEnglish,
    kHiEnglish,
    kTwips,
    kIsotropic,
    kAnisotropic,
    kPlaceableDpi = 100
};

enum Function : std::uint16_t {
    kEof = 0x0000,
    kSetMapMode = 0x0103,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kSaveDc = 0x001E,
    kRestoreDc = 0x0127,
    kDibCreatePatternBrush = 0x0142,
    kCreatePatternBrush = 0x01F9,
    kBitBlt = 0x0922,
    kStretchBlt = 0x0B23,
    kDibBitBlt = 0x0940,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

// The mapping state that libwmf keeps, as far as it decides where the frame lies.
struct Mapping
{
    int mode = kText;
    QPointF windowOrigin;
    QSizeF windowExtent{0, 0}; // until a record sets it
    QPointF viewportOrigin;
    QSizeF viewportExtent{1024, 1024};
    int unitsPerInch = 1440;

    // Device units (libwmf's points) per logical unit, along one axis.
    double Scale(double window, double viewport) const
    {
        switch (mode) {
        case kLoMetric:
            return 72.0 / 254.0;
        case kHiMetric:
            return 72.0 / 2540.0;
        case kLoEnglish:
            return 0.72;
        case kHiEnglish:
            return 0.072;
        case kTwips:
            return 0.05;
        case kIsotropic:
        case kAnisotropic:
            return window == 0 ? 0 : viewport / window;
        case kPlaceableDpi:
            return 72.0 / unitsPerInch;
        default:
            return 1;
        }
    }

    QPointF ToDevice(QPointF logical) const
    {
        const bool fixed = mode != kIsotropic && mode != kAnisotropic;
        double sx = Scale(windowExtent.width(), viewportExtent.width());
        double sy = Scale(windowExtent.height(), viewportExtent.height());
        if (fixed && windowExtent.width() < 0)
            sx = -sx;
        if (fixed && windowExtent.height() < 0)
            sy = -sy;
        return {(logical.x() - windowOrigin.x()) * sx - viewportOrigin.x() * sx,
                (logical.y() - windowOrigin.y()) * sy - viewportOrigin.y() * sy};
    }
};

bool IsDrawingRecord(std::uint16_t function)
{
    static constexpr std::array<std::uint16_t, 26> kDrawing = {
        0x0213, 0x0228, 0x0324, 0x0325, 0x0418, 0x0419, 0x041B, 0x041F, 0x0429,
        0x0521, 0x0538, 0x0548, 0x061C, 0x061D, 0x0817, 0x081A, 0x0830, 0x0922,
        0x0940, 0x0A32, 0x0B23, 0x0B41, 0x0D33, 0x0F43, 0x012A, 0x012B};
    return std::find(kDrawing.begin(), kDrawing.end(), function) != kDrawing.end();
}

void TrackMapping(std::uint16_t function, QByteArrayView record, Mapping& mapping)
{
    const qsizetype params = record.size() - 6;
    const auto point = [&]() { return QPointF(LeS16(record, 8), LeS16(record, 6)); };
    switch (function) {
    case kSetMapMode:
        if (params >= 2) {
            const int mode = LeU16(record, 6);
            if (mode >= kText && mode <= kAnisotropic)
                mapping.mode = mode;
        }
        break;
    case kSetWindowOrg:
        if (params >= 4)
            mapping.windowOrigin = point();
        break;
    case kSetWindowExt:
        if (params >= 4)
            mapping.windowExtent = QSizeF(point().x(), point().y());
        break;
    case kSetViewportOrg:
        if (params >= 4)
            mapping.viewportOrigin = point();
        break;
    case kSetViewportExt:
        if (params >= 4 && point().x() != 0 && point().y() != 0)
            mapping.viewportExtent = QSizeF(point().x(), point().y());
        break;
    case kOffsetWindowOrg:
        if (params >= 4)
            mapping.windowOrigin += point();
        break;
    default:
        break;
    }
}

bool DibIsSound(QByteArrayView record, qsizetype at, qint64& pixels)
{
    if (at >= record.size())
        return false;
    const QByteArrayView dib = record.sliced(at);
    const auto info = ReadDibInfo(dib);
    if (!info)
        return false;
    const qint64 stride = DibStride(info->width, info->bitCount);
    if (!info->compressed && dib.size() - info->bitsOffset < stride * info->height)
        return false;
    pixels += qint64(info->width) * info->height;
    return pixels <= kMaxEmbeddedPixels;
}

// The old device-dependent bitmap: a 10-byte header, `gap` more bytes, then the bits.
bool Bitmap16IsSound(QByteArrayView record, qsizetype at, qsizetype gap, qint64& pixels)
{
    if (at + 10 + gap > record.size())
        return false;
    const int width = LeS16(record, at + 2);
    const int height = LeS16(record, at + 4);
    const int widthBytes = LeS16(record, at + 6);
    if (width <= 0 || height <= 0 || widthBytes <= 0 ||
        qint64(widthBytes) * height > record.size() - at - 10 - gap)
        return false;
    pixels += qint64(width) * height;
    return pixels <= kMaxEmbeddedPixels;
}

// Whether the bitmap a record carries is whole and within bounds; records without one pass.
bool BitmapIsSound(std::uint16_t function, QByteArrayView record, qint64& pixels)
{
    // Blit records without a bitmap have exactly as many parameter words as the high byte
    // of their function number says.
    const bool withBitmap = record.size() != 2 * qsizetype((function >> 8) + 3);
    switch (function) {
    case kDibBitBlt:
        return !withBitmap || DibIsSound(record, 6 + 16, pixels);
    case kDibStretchBlt:
        return !withBitmap || DibIsSound(record, 6 + 20, pixels);
    case kStretchDib:
        return DibIsSound(record, 6 + 22, pixels);
    case kSetDibToDev:
        return DibIsSound(record, 6 + 18, pixels);
    case kDibCreatePatternBrush:
        return record.size() >= 10 &&
               (LeU16(record, 6) == kBsPattern ? Bitmap16IsSound(record, 10, 0, pixels)
                                               : DibIsSound(record, 10, pixels));
    case kCreatePatternBrush:
        return Bitmap16IsSound(record, 6, 18, pixels);
    case kBitBlt:
        return !withBitmap || Bitmap16IsSound(record, 6 + 16, 0, pixels);
    case kStretchBlt:
        return !withBitmap || Bitmap16IsSound(record, 6 + 20, 0, pixels);
    default:
        return true;
    }
}

// Stands in for a brush whose bitmap is damaged, so that later records still find their
// objects at the same indices.
QByteArray NullBrushRecord()
{
    return QByteArray("\x07\x00\x00\x00\xFC\x02\x01\x00\x00\x00\x00\x00\x00\x00", 14);
}

// GDI ignores a RestoreDC without a matching SaveDC; libwmf gives up on the whole file.
// Tracks the saved states and tells which records to leave out.
class SavedStates
{
public:
    bool Keep(std::uint16_t function, QByteArrayView record)
    {
        if (function == kSaveDc) {
            ++depth_;
            return true;
        }
        if (function != kRestoreDc)
            return true;
        const int which = record.size() >= 8 ? LeS16(record, 6) : 0;
        if (which < 0 && -which <= depth_) {
            depth_ += which;
            return true;
        }
        if (which > 0 && which <= depth_) {
            depth_ = which - 1;
            return true;
        }
        return false;
    }

private:
    int depth_ = 0;
};

QByteArray EofRecord()
{
    return QByteArray("\x03\x00\x00\x00\x00\x00", 6);
}

int RoundedPixels(double value)
{
    return std::max(1, int(std::lround(std::min(std::abs(value), 1e6))));
}

QRectF DeviceFrame(const Mapping& mapping, QRectF logical)
{
    const QPointF a = mapping.ToDevice(logical.topLeft());
    const QPointF b = mapping.ToDevice(logical.bottomRight());
    const QRectF frame = QRectF(a, b).normalized();
    return frame.width() > 1e-3 && frame.height() > 1e-3 ? frame : QRectF();
}

// One logical unit per pixel: the window, or nothing when the file sets none.
QSize PlainSize(const Mapping& mapping)
{
    if (mapping.windowExtent.width() == 0 || mapping.windowExtent.height() == 0)
        return {};
    return {RoundedPixels(mapping.windowExtent.width()),
            RoundedPixels(mapping.windowExtent.height())};
}

// ---------------------------------------------------------------- SVG repair

constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QByteArray EscapedText(QByteArrayView raw)
{
    QString text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0)
            text.append(QChar(kCp1252High[byte - 0x80]));
        else if (byte < 0x20 && byte != '\t')
            text.append(QLatin1Char(' '));
        else
            text.append(QLatin1Char(char(byte)));
    }
    return text.toHtmlEscaped().toUtf8();
}

// Copies one <image .../> element without its transform attribute, stretched to its box.
void AppendImage(QByteArrayView element, QByteArray& out)
{
    constexpr QByteArrayView kTransform = " transform=\"";
    constexpr QByteArrayView kTag = "<image ";
    out += "<image preserveAspectRatio=\"none\" ";
    QByteArrayView rest = element.sliced(kTag.size());
    const qsizetype attribute = rest.indexOf(QByteArrayView("transform=\""));
    if (attribute < 0) {
        out += rest;
        return;
    }
    const qsizetype valueStart = attribute + kTransform.size() - 1;
    const qsizetype valueEnd = rest.sliced(valueStart).indexOf('"');
    if (valueEnd < 0) {
        out += rest;
        return;
    }
    out += rest.first(attribute);
    out += rest.sliced(valueStart + valueEnd + 1);
}

} // namespace

std::optional<WmfDocument> PrepareWmf(QByteArrayView file, QString& error)
{
    const bool placeable = file.size() >= kPlaceableSize && LeU32(file, 0) == kPlaceableKey;
    const qsizetype header = placeable ? kPlaceableSize : 0;
    if (file.size() < header + kHeaderSize || LeU16(file, header + 2) != 9) {
        error = QStringLiteral("metafile header is damaged");
        return std::nullopt;
    }

    Mapping mapping;
    WmfDocument document;
    QRectF logicalFrame;
    if (placeable) {
        mapping.mode = kPlaceableDpi;
        const int inch = LeU16(file, 14);
        mapping.unitsPerInch = inch > 0 ? inch : 1440;
        logicalFrame = QRectF(QPointF(LeS16(file, 6), LeS16(file, 8)),
                              QPointF(LeS16(file, 10), LeS16(file, 12)));
        document.size = QSize(RoundedPixels(logicalFrame.width() * 96 / mapping.unitsPerInch),
                              RoundedPixels(logicalFrame.height() * 96 / mapping.unitsPerInch));
    }

    QByteArray& out = document.bytes;
    out = file.first(header + kHeaderSize).toByteArray();
    qsizetype pos = header + kHeaderSize;
    std::uint32_t largest = 3;
    qint64 embeddedPixels = 0;
    int records = 0;
    bool drawing = false;
    Mapping atFirstDrawing = mapping;
    SavedStates states;
    while (pos + 6 <= file.size()) {
        const qint64 words = LeU32(file, pos);
        const std::uint16_t function = LeU16(file, pos + 4);
        if (words < 3 || words * 2 > file.size() - pos)
            break; // damaged or cut short: play what came before
        const QByteArrayView record = file.sliced(pos, words * 2);
        pos += record.size();
        if (function == kEof)
            break;
        if (!states.Keep(function, record))
            continue;
        QByteArray replacement;
        if (!BitmapIsSound(function, record, embeddedPixels)) {
            if (function != kDibCreatePatternBrush && function != kCreatePatternBrush)
                continue;
            replacement = NullBrushRecord();
        }
        if (!drawing) {
            TrackMapping(function, record, mapping);
            if (IsDrawingRecord(function)) {
                drawing = true;
                atFirstDrawing = mapping;
            }
        }
        if (++records > kMaxRecords) {
            error = QStringLiteral("metafile has too many records");
            return std::nullopt;
        }
        largest = std::max<std::uint32_t>(largest, std::uint32_t(words));
        out += replacement.isEmpty() ? record : QByteArrayView(replacement);
    }
    if (records == 0) {
        error = QStringLiteral("metafile has no records");
        return std::nullopt;
    }
    if (!drawing)
        atFirstDrawing = mapping;
    out += EofRecord();

    PutLeU32(out, header + 6, std::uint32_t((out.size() - header) / 2));
    PutLeU32(out, header + 12, largest);
    if (placeable) {
        PutLeU16(out, 14, std::uint16_t(mapping.unitsPerInch));
        std::uint16_t checksum = 0;
        for (qsizetype at = 0; at < 20; at += 2)
            checksum ^= LeU16(out, at);
        PutLeU16(out, 20, checksum);
    } else {
        document.size = PlainSize(atFirstDrawing);
        if (!document.size.isEmpty())
            logicalFrame = QRectF(atFirstDrawing.windowOrigin, atFirstDrawing.windowExtent);
    }
    if (!logicalFrame.isNull())
        document.frame = DeviceFrame(atFirstDrawing, logicalFrame);
    return document;
}

QByteArray RepairWmfSvg(const QByteArray& svg)
{
    QByteArray out;
    out.reserve(svg.size() + 256);
    const QByteArrayView in(svg);
    qsizetype pos = 0;

    const qsizetype root = in.indexOf(QByteArrayView("<svg "));
    if (root >= 0) {
        out += in.first(root + 5);
        const qsizetype rootEnd = in.sliced(root).indexOf('>');
        const QByteArrayView rootTag = in.sliced(root, rootEnd < 0 ? 0 : rootEnd);
        if (!rootTag.contains(QByteArrayView("xmlns=\"")))
            out += "xmlns=\"http://www.w3.org/2000/svg\" ";
        if (!rootTag.contains(QByteArrayView("xmlns:xlink=")))
            out += "xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";
        pos = root + 5;
    }

    while (pos < in.size()) {
        const qsizetype next = in.indexOf('<', pos);
        if (next < 0) {
            out += in.sliced(pos);
            break;
        }
        out += in.sliced(pos, next - pos);
        const QByteArrayView rest = in.sliced(next);
        if (rest.startsWith(QByteArrayView("<image "))) {
            const qsizetype end = rest.indexOf(QByteArrayView("/>"));
            if (end < 0) {
                out += rest;
                break;
            }
            AppendImage(rest.first(end + 2), out);
            pos = next + end + 2;
        } else if (rest.startsWith(QByteArrayView("<text "))) {
            // libwmf writes the text raw between the start tag, which ends in "\n\t>", and
            // "</text>\n".
            const qsizetype open = rest.indexOf(QByteArrayView("\n\t>"));
            const qsizetype close = open < 0 ? -1 : rest.indexOf(QByteArrayView("</text>\n"), open);
            if (close < 0) {
                out += rest.first(1);
                pos = next + 1;
                continue;
            }
            out += rest.first(open + 3);
            out += EscapedText(rest.sliced(open + 3, close - open - 3));
            out += "</text>\n";
            pos = next + close + 8;
        } else {
            out += '<';
            pos = next + 1;
        }
    }
    out.replace("fill-opacity:0.5;", "fill-opacity:1.0;");
    return out;
}

namespace {

// ---------------------------------------------------------------- libwmf

// libwmf keeps writable global state; one metafile at a time goes through it.
QMutex& LibraryMutex()
{
    static QMutex mutex;
    return mutex;
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
struct Budget
{
    qint64 used = 0;
};

constexpr size_t kAllocationHeader = 16;

void* BudgetMalloc(void* context, size_t size)
{
    auto* budget = static_cast<Budget*>(context);
    if (size > size_t(kMaxLibraryBytes) || budget->used + qint64(size) > kMaxLibraryBytes)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(size + kAllocationHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    budget->used += qint64(size);
    return block + kAllocationHeader;
}

void BudgetFree(void* context, void* memory)
{
    if (!memory)
        return;
    auto* block = static_cast<char*>(memory) - kAllocationHeader;
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    static_cast<Budget*>(context)->used -= qint64(size);
    std::free(block);
}

void* BudgetRealloc(void* context, void* memory, size_t size)
{
    if (!memory)
        return BudgetMalloc(context, size);
    auto* budget = static_cast<Budget*>(context);
    auto* block = static_cast<char*>(memory) - kAllocationHeader;
    size_t old = 0;
    std::memcpy(&old, block, sizeof old);
    if (size > size_t(kMaxLibraryBytes) ||
        budget->used - qint64(old) + qint64(size) > kMaxLibraryBytes)
        return nullptr;
    auto* grown = static_cast<char*>(std::realloc(block, size + kAllocationHeader));
    if (!grown)
        return nullptr;
    std::memcpy(grown, &size, sizeof size);
    budget->used += qint64(size) - qint64(old);
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

std::optional<WmfSvg> ConvertToSvg(WmfDocument& document, QString& error)
{
    const QMutexLocker lock(&LibraryMutex());
    const CNumericLocale numbers;
    const WmfFonts& fonts = Fonts();
    LibraryLog log;
    Budget budget;

    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    options.context = &budget;
    options.malloc = BudgetMalloc;
    options.realloc = BudgetRealloc;
    options.free = BudgetFree;
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

    status = wmf_mem_open(api, reinterpret_cast<unsigned char*>(document.bytes.data()),
                          long(document.bytes.size()));
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
                           ? QSize(RoundedPixels(frame.width()), RoundedPixels(frame.height()))
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

} // namespace

PictureLoad LoadWmfPicture(QByteArrayView file, const PictureRequest& request)
{
    QString error;
    auto document = PrepareWmf(file, error);
    if (!document)
        return PictureFailure(error);
    const auto converted = ConvertToSvg(*document, error);
    if (!converted)
        return PictureFailure(error);
    const QSize pixels = FittedPictureSize(converted->size, request);
    QImage image = RenderSvg(converted->svg, pixels, error);
    if (image.isNull())
        return PictureFailure(error);
    return PictureSuccess(std::move(image), converted->size);
}

} // namespace pictures
