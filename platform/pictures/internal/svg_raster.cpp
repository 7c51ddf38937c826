#include "pictures/internal/svg_raster.h"

#include "pictures/internal/picture_internal.h"

#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace pictures {
namespace {

// Metafiles convert to a few megabytes of SVG at most; more is a damaged or hostile file.
// Drawing this many canvas sizes away from the canvas is no longer part of the picture.
constexpr double kReachInCanvasSizes = 64;
constexpr double kSmallestLimit = 1e4;
// A drawing with more numbers out of reach than this is too damaged to be worth the time.
constexpr int kMostNumbersOutOfReach = 16;

bool IsNumberStart(const char* p, const char* end)
{
    if (std::isdigit(uchar(*p)))
        return true;
    if (*p == '.' || *p == '-' || *p == '+')
        return p + 1 < end && (std::isdigit(uchar(p[1])) ||
                               (p[1] == '.' && p + 2 < end && std::isdigit(uchar(p[2]))));
    return false;
}

void AppendClampedValue(QByteArrayView value, double limit, QByteArray& out, int& clamped)
{
    const char* p = value.data();
    const char* end = p + value.size();
    // Inside a name, a color (#123456) or a reference (#clip-12), digits are no number.
    bool inWord = false;
    while (p < end) {
        if (!inWord && IsNumberStart(p, end)) {
            const QByteArray token(p, std::min<qsizetype>(end - p, 64));
            char* stop = nullptr;
            const double number = std::strtod(token.constData(), &stop);
            const qsizetype length = stop - token.constData();
            if (length > 0) {
                if (std::isfinite(number) && std::abs(number) <= limit)
                    out.append(p, length);
                else {
                    out += QByteArray::number(std::copysign(limit, number), 'f', 0);
                    ++clamped;
                }
                p += length;
                continue;
            }
        }
        const auto c = uchar(*p);
        inWord = std::isalpha(c) || c == '#' || c == '_' ||
                 (inWord && (std::isdigit(c) || c == '-' || c == '.'));
        out += *p++;
    }
}

bool KeepsNumbers(QByteArrayView attribute)
{
    return attribute.endsWith("href") || attribute == "id" || attribute == "class";
}

// The larger side of the root element's canvas, from its width and height.
double CanvasSize(const QByteArray& svg)
{
    const qsizetype root = svg.indexOf("<svg");
    const qsizetype end = root < 0 ? -1 : svg.indexOf('>', root);
    if (end < 0)
        return 0;
    const QByteArray tag = svg.mid(root, end - root);
    double size = 0;
    for (const char* name : {" width=\"", " height=\""}) {
        const qsizetype at = tag.indexOf(name);
        if (at >= 0)
            size = std::max(size, std::atof(tag.constData() + at + qstrlen(name)));
    }
    return std::isfinite(size) ? size : 0;
}

} // namespace

QByteArray ClampSvgNumbers(const QByteArray& svg, double limit, int* clampedCount)
{
    int clamped = 0;
    QByteArray out;
    out.reserve(svg.size());
    const QByteArrayView in(svg);
    qsizetype pos = 0;
    while (pos < in.size()) {
        const qsizetype open = in.indexOf('<', pos);
        if (open < 0 || open + 1 >= in.size()) {
            out += in.sliced(pos);
            break;
        }
        out += in.sliced(pos, open - pos);
        pos = open;
        const qsizetype close = in.indexOf('>', open);
        if (!std::isalpha(uchar(in[open + 1])) || close < 0) {
            // Text, comments, declarations and end tags pass unchanged.
            const qsizetype next = close < 0 ? in.size() : close + 1;
            out += in.sliced(open, next - open);
            pos = next;
            continue;
        }
        // A start tag: attribute values may hold '>' inside quotes, so walk it.
        qsizetype at = open;
        qsizetype nameStart = -1;
        QByteArrayView name;
        while (at < in.size() && in[at] != '>') {
            const char c = in[at];
            if (c == '"' || c == '\'') {
                const qsizetype valueEnd = in.indexOf(c, at + 1);
                if (valueEnd < 0)
                    break;
                out += c;
                const QByteArrayView value = in.sliced(at + 1, valueEnd - at - 1);
                if (KeepsNumbers(name))
                    out += value;
                else
                    AppendClampedValue(value, limit, out, clamped);
                out += c;
                at = valueEnd + 1;
                continue;
            }
            if (std::isalnum(uchar(c)) || c == ':' || c == '-' || c == '_') {
                if (nameStart < 0)
                    nameStart = at;
            } else if (c == '=' && nameStart >= 0) {
                name = in.sliced(nameStart, at - nameStart);
                nameStart = -1;
            } else {
                nameStart = -1;
            }
            out += c;
            ++at;
        }
        pos = at;
    }
    if (clampedCount)
        *clampedCount = clamped;
    return out;
}

QImage RenderSvg(const QByteArray& svg, const QSize& pixels, QString& error)
{
    if (svg.size() > kMaxSvgBytes) {
        error = QStringLiteral("drawing is too complex");
        return {};
    }
    if (!WithinMostPictureBytes(pixels)) {
        error = QStringLiteral("drawing of %1 x %2 pixels is too large")
                    .arg(pixels.width())
                    .arg(pixels.height());
        return {};
    }
    const double limit = std::max(kSmallestLimit, kReachInCanvasSizes * CanvasSize(svg));
    int outOfReach = 0;
    const QByteArray tame = ClampSvgNumbers(svg, limit, &outOfReach);
    if (outOfReach > 0)
        qCDebug(lcPictures) << "drawing:" << outOfReach << "coordinates far off pulled in";
    if (outOfReach > kMostNumbersOutOfReach) {
        error = QStringLiteral("drawing is damaged: %1 coordinates far off").arg(outOfReach);
        return {};
    }
    QSvgRenderer renderer(tame);
    if (!renderer.isValid()) {
        error = QStringLiteral("drawing could not be converted");
        return {};
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for the drawing");
        return {};
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    return image;
}

} // namespace pictures
