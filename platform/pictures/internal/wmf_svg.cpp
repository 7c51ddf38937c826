#include "pictures/internal/wmf_svg.h"

#include <QString>

#include <array>

namespace pictures {
namespace {

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

} // namespace pictures
