#include "thumbnails/embedded_preview.h"

#include "pictures/image_reader.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace thumbnails {

using pictures::JpegHead;

namespace {

// Embedded previews are small; anything larger is no preview.
constexpr int kMaxPreviewSide = 1024;
// Letterbox bars are black, give or take what JPEG compression adds.
constexpr int kBarLevel = 40;
// How many lines the bars found may differ from the bars expected, all together.
constexpr int kBarSlack = 4;

int LongestSide(QSize size)
{
    return std::max(size.width(), size.height());
}

bool IsDark(QRgb pixel)
{
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) <= kBarLevel;
}

bool RowIsDark(const QImage& image, int y)
{
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    return std::all_of(row, row + image.width(), IsDark);
}

bool ColumnIsDark(const QImage& image, int x)
{
    for (int y = 0; y < image.height(); ++y) {
        if (!IsDark(image.pixel(x, y)))
            return false;
    }
    return true;
}

// How many of the lines from the first on are dark, up to `limit`.
int DarkLines(int first, int step, int limit, const std::function<bool(int)>& isDark)
{
    int count = 0;
    while (count < limit && isDark(first + count * step))
        ++count;
    return count;
}

// Whether `content` shows a picture of `stored` size: its shorter side is within one pixel
// of what the aspect gives it.
bool AspectMatches(QSize content, QSize stored)
{
    if (content.isEmpty() || stored.isEmpty())
        return false;
    const qint64 across = qint64(content.width()) * stored.height();
    const qint64 down = qint64(content.height()) * stored.width();
    const qint64 onePixel = content.width() >= content.height() ? stored.width() : stored.height();
    return std::abs(across - down) <= onePixel;
}

// Where a picture `extent` lines long lies across `lines` lines of a preview, between dark
// bars; nothing when no bars account for the rest. JPEG blurs a line or two into the bars,
// and a dark picture adds lines to them: the bars found must come within kBarSlack lines
// of the bars expected, and the picture is placed between them.
std::optional<int> ContentStart(int lines, int extent, const std::function<bool(int)>& isDark)
{
    const int bars = lines - extent;
    if (extent <= 0 || bars < 2)
        return std::nullopt;
    const int limit = std::min(lines, bars + kBarSlack);
    const int leading = DarkLines(0, 1, limit, isDark);
    const int trailing = DarkLines(lines - 1, -1, limit, isDark);
    if (std::abs(leading + trailing - bars) > kBarSlack)
        return std::nullopt;
    return std::clamp((leading + bars - trailing) / 2, 0, bars);
}

// `length` scaled by `numerator` / `denominator`, to the nearest whole number.
int Scaled(int length, int numerator, int denominator)
{
    return int((qint64(length) * numerator + denominator / 2) / denominator);
}

// Whether JPEG data end with their end marker, as a preview cut short does not; the decoder
// would fill the missing part with grey instead of failing.
bool EndsWholly(QByteArrayView jpeg)
{
    while (!jpeg.isEmpty() && jpeg.back() == '\0')
        jpeg.chop(1);
    return jpeg.endsWith("\xFF\xD9");
}

} // namespace

std::optional<pictures::Picture> PictureOfPreview(const JpegHead& jpeg, QSize drawn)
{
    if (jpeg.preview.isEmpty() || jpeg.storedSize.isEmpty() || !EndsWholly(jpeg.preview))
        return std::nullopt;
    pictures::MemoryImageReader memory(jpeg.preview, "jpeg");
    QImageReader& reader = memory.Reader();
    reader.setAutoTransform(false); // the photo's orientation turns it, not its own
    const QSize size = reader.size();
    if (size.isEmpty() || LongestSide(size) > kMaxPreviewSide ||
        LongestSide(size) < LongestSide(drawn))
        return std::nullopt;
    QImage preview = reader.read();
    if (preview.isNull())
        return std::nullopt;
    preview.convertTo(QImage::Format_RGB32);
    const std::optional<QRect> content = PreviewContent(preview, jpeg.storedSize);
    if (!content || LongestSide(content->size()) < LongestSide(drawn))
        return std::nullopt;
    return pictures::Picture{pictures::Oriented(preview.copy(*content), jpeg.orientation),
                             jpeg.OrientedSize()};
}

std::optional<QRect> PreviewContent(const QImage& preview, QSize stored)
{
    if (AspectMatches(preview.size(), stored))
        return preview.rect();
    if (preview.isNull() || stored.isEmpty())
        return std::nullopt;
    const QImage pixels = preview.convertToFormat(QImage::Format_RGB32);
    const int width = pixels.width();
    const int height = pixels.height();
    if (qint64(stored.width()) * height > qint64(stored.height()) * width) {
        // Wider than the preview: bars above and below.
        const int extent = Scaled(width, stored.height(), stored.width());
        const std::optional<int> top =
            ContentStart(height, extent, [&](int y) { return RowIsDark(pixels, y); });
        return top ? std::optional<QRect>(QRect(0, *top, width, extent)) : std::nullopt;
    }
    // Narrower: bars left and right.
    const int extent = Scaled(height, stored.width(), stored.height());
    const std::optional<int> left =
        ContentStart(width, extent, [&](int x) { return ColumnIsDark(pixels, x); });
    return left ? std::optional<QRect>(QRect(*left, 0, extent, height)) : std::nullopt;
}

} // namespace thumbnails
