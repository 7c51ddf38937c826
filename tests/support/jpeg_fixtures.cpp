#include "support/jpeg_fixtures.h"

#include <QtEndian>

#include <jpeglib.h>

#include <cstdlib>
#include <vector>

namespace {

// Appends TIFF numbers in the chosen byte order.
class TiffWriter
{
public:
    explicit TiffWriter(bool bigEndian)
        : bigEndian_(bigEndian)
    {}

    void U16(quint16 value) { Append(value); }
    void U32(quint32 value) { Append(value); }
    // A directory entry with one SHORT or LONG value.
    void Entry(quint16 tag, quint16 type, quint32 value)
    {
        U16(tag);
        U16(type);
        U32(1);
        if (type == 3) {
            U16(quint16(value));
            U16(0);
        } else {
            U32(value);
        }
    }
    QByteArray& Data() { return data_; }

private:
    template <typename Unsigned>
    void Append(Unsigned value)
    {
        char bytes[sizeof(Unsigned)];
        if (bigEndian_)
            qToBigEndian(value, bytes);
        else
            qToLittleEndian(value, bytes);
        data_.append(bytes, sizeof(Unsigned));
    }

    bool bigEndian_;
    QByteArray data_;
};

} // namespace

QByteArray WriteJpeg(const JpegFixture& fixture)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(fixture.width);
    info.image_height = JDIMENSION(fixture.height);
    info.input_components = fixture.grey ? 1 : fixture.cmyk ? 4 : 3;
    info.in_color_space = fixture.grey ? JCS_GRAYSCALE : fixture.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (fixture.rgbCoded)
        jpeg_set_colorspace(&info, JCS_RGB);
    else if (fixture.ycck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    jpeg_set_quality(&info, fixture.quality, TRUE);
    if (!fixture.grey && !fixture.rgbCoded && (!fixture.cmyk || fixture.ycck)) {
        info.comp_info[0].h_samp_factor = fixture.lumaH;
        info.comp_info[0].v_samp_factor = fixture.lumaV;
        if (fixture.ycck) {
            info.comp_info[3].h_samp_factor = fixture.lumaH;
            info.comp_info[3].v_samp_factor = fixture.lumaV;
        }
    }
    info.restart_interval = unsigned(fixture.restartInterval);
    info.arith_code = fixture.arithmetic ? TRUE : FALSE;
    std::vector<jpeg_scan_info> scans;
    for (const JpegScan& scan : fixture.scans) {
        jpeg_scan_info script{};
        script.comps_in_scan = int(scan.components.size());
        for (size_t i = 0; i < scan.components.size(); ++i)
            script.component_index[i] = scan.components[i];
        script.Ss = scan.ss;
        script.Se = scan.se;
        script.Ah = scan.ah;
        script.Al = scan.al;
        scans.push_back(script);
    }
    if (!scans.empty()) {
        info.scan_info = scans.data();
        info.num_scans = int(scans.size());
    } else if (fixture.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    if (!fixture.leadingApp1.isEmpty())
        jpeg_write_marker(&info, JPEG_APP0 + 1,
                          reinterpret_cast<const JOCTET*>(fixture.leadingApp1.data()),
                          unsigned(fixture.leadingApp1.size()));
    if (!fixture.exif.isEmpty())
        jpeg_write_marker(&info, JPEG_APP0 + 1,
                          reinterpret_cast<const JOCTET*>(fixture.exif.data()),
                          unsigned(fixture.exif.size()));
    std::vector<JSAMPLE> row(size_t(fixture.width) * size_t(info.input_components));
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < fixture.width; ++x) {
            JSAMPLE* p = row.data() + size_t(x) * size_t(info.input_components);
            if (fixture.grey) {
                p[0] = JSAMPLE((x / 64 + y / 64) % 2 ? 200 : 60);
                continue;
            }
            // CMYK is written inverted, as Adobe writes it: 255 is no ink.
            const QRgb c = fixture.color(x, y);
            p[0] = JSAMPLE(qRed(c));
            p[1] = JSAMPLE(qGreen(c));
            p[2] = JSAMPLE(qBlue(c));
            if (fixture.cmyk)
                p[3] = 255;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray data(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return data;
}

QByteArray ExifBlock(int orientation, const QByteArray& preview, bool bigEndian)
{
    ExifLayout layout;
    layout.orientation = orientation;
    layout.preview = preview;
    return ExifBlock(layout, bigEndian);
}

QByteArray ExifBlock(const ExifLayout& layout, bool bigEndian)
{
    const bool orientation = layout.orientation > 0;
    const quint16 orientationType = layout.asLong ? 4 : 3;
    TiffWriter tiff(bigEndian);
    tiff.Data() = bigEndian ? QByteArray("MM", 2) : QByteArray("II", 2);
    tiff.U16(42);
    tiff.U32(8);
    // The first directory: the orientation, then the offset of the second.
    const quint16 firstCount = orientation && !layout.inSecond ? 1 : 0;
    tiff.U16(firstCount);
    if (firstCount > 0)
        tiff.Entry(0x0112, orientationType, quint32(layout.orientation));
    const quint32 second = 8 + 2 + 12 * firstCount + 4;
    const bool hasSecond = !layout.preview.isEmpty() || (orientation && layout.inSecond);
    tiff.U32(hasSecond ? second : 0);
    if (!hasSecond)
        return QByteArray("Exif\0\0", 6) + tiff.Data();
    const quint16 secondCount = (layout.preview.isEmpty() ? 0 : 3) + (layout.inSecond ? 1 : 0);
    const quint32 previewAt = second + 2 + 12 * secondCount + 4;
    tiff.U16(secondCount);
    if (!layout.preview.isEmpty())
        tiff.Entry(0x0103, 3, 6); // compression: JPEG
    if (layout.inSecond)
        tiff.Entry(0x0112, orientationType, quint32(layout.orientation));
    if (!layout.preview.isEmpty()) {
        tiff.Entry(0x0201, 4, previewAt);
        tiff.Entry(0x0202, 4, quint32(layout.preview.size()));
    }
    tiff.U32(0);
    tiff.Data().append(layout.preview);
    return QByteArray("Exif\0\0", 6) + tiff.Data();
}

QByteArray XmpBlock()
{
    return QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) +
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf="
           "\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>";
}

QByteArray SolidJpeg(int width, int height, QRgb color)
{
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.color = [color](int, int) { return color; };
    return WriteJpeg(fixture);
}
