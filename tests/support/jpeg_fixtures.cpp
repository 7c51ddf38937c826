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
    jpeg_set_quality(&info, 95, TRUE);
    if (fixture.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
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
            const QRgb c = fixture.colour(x, y);
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
    TiffWriter tiff(bigEndian);
    tiff.Data() = bigEndian ? QByteArray("MM", 2) : QByteArray("II", 2);
    tiff.U16(42);
    tiff.U32(8);
    // The first directory: the orientation, then the offset of the second.
    const quint16 firstCount = orientation > 0 ? 1 : 0;
    tiff.U16(firstCount);
    if (orientation > 0)
        tiff.Entry(0x0112, 3, quint32(orientation));
    const quint32 second = 8 + 2 + 12 * firstCount + 4;
    tiff.U32(preview.isEmpty() ? 0 : second);
    if (!preview.isEmpty()) {
        const quint32 previewAt = second + 2 + 3 * 12 + 4;
        tiff.U16(3);
        tiff.Entry(0x0103, 3, 6); // compression: JPEG
        tiff.Entry(0x0201, 4, previewAt);
        tiff.Entry(0x0202, 4, quint32(preview.size()));
        tiff.U32(0);
        tiff.Data().append(preview);
    }
    return QByteArray("Exif\0\0", 6) + tiff.Data();
}

QByteArray SolidJpeg(int width, int height, QRgb colour)
{
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.colour = [colour](int, int) { return colour; };
    return WriteJpeg(fixture);
}
