#include "pictures/internal/jpeg_dc_decoder.h"

#include "pictures/tuning.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace pictures {
namespace {

constexpr qint64 kBufferBytes = qint64(64) * 1024;
constexpr int kMaxComponents = 4;
constexpr int kMaxSamplingFactor = 4;
// libjpeg's limit of blocks in one MCU of an interleaved scan.
constexpr int kMaxBlocksInMcu = 10;
// A DC value of 8-bit samples lies within +-1024 (+-2047 is what its 11-bit category can
// code); beyond that the data are damaged.
constexpr int kMaxDcMagnitude = 2047;
constexpr int kMaxDcCategory = 11;
// The successive approximation's largest point transform.
constexpr int kMaxShift = 13;
// The most a DC value's unrefined low bits may span, in steps of 1/8 level: the picture
// then lies within 4 levels of the refined one.
constexpr int kMaxRefinedSteps = 64;
constexpr int kFastBits = 9;
// An AC value of 8-bit samples has at most 10 bits; a longer one means damage.
constexpr int kMaxAcCategory = 10;
// The most low bits a first pass over AC values may leave to later scans: each unknown bit
// of a chroma coefficient moves its pixels by up to a few levels, and beyond two the full
// decode does better.
constexpr int kMaxAcShift = 2;
constexpr int kLastCoefficient = 63;

// The rows and columns of a block whose coefficients the 2 x 2 inverse transform takes;
// the even ones but the first cancel out in its two samples.
constexpr std::array<int, 5> kReducedLines = {0, 1, 3, 5, 7};
constexpr int kReducedCoefficients = int(kReducedLines.size() * kReducedLines.size());
// The AC values among them: slots 1 onwards.
constexpr std::size_t kKeptAc = kReducedCoefficients - 1;

// Coefficients in the order the data code them, as positions in the 8 x 8 block.
constexpr std::array<std::uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Where a position of the block is kept among the reduced coefficients; -1: not kept.
constexpr std::array<int, 64> ReducedSlots()
{
    std::array<int, 64> slots{};
    slots.fill(-1);
    for (std::size_t row = 0; row < kReducedLines.size(); ++row) {
        for (std::size_t column = 0; column < kReducedLines.size(); ++column)
            slots[std::size_t(kReducedLines[row]) * 8 + std::size_t(kReducedLines[column])] =
                int(row * kReducedLines.size() + column);
    }
    return slots;
}
constexpr std::array<int, 64> kReducedSlot = ReducedSlots();

enum Marker : int {
    kSof2 = 0xC2,
    kDht = 0xC4,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDri = 0xDD,
    kApp0 = 0xE0,
    kApp14 = 0xEE,
    kApp15 = 0xEF,
    kCom = 0xFE,
    kTem = 0x01,
};

// The colours the components code, as libjpeg decides them from the markers and the
// component identifiers.
enum class ColorCoding { Grey, YCbCr, Rgb, Cmyk, Ycck };

// Reads the device through a buffer; skips by seeking where the device can.
class ByteReader
{
public:
    explicit ByteReader(QIODevice& device)
        : device_(device)
        , buffer_(std::size_t(kBufferBytes))
    {}

    // The next byte, or -1 at the end of the data or on a read error.
    int Next()
    {
        if (at_ == end_ && !Refill())
            return -1;
        return buffer_[std::size_t(at_++)];
    }

    // Reads over entropy-coded data, its stuffed bytes and restart markers, to the marker
    // that ends it: that marker's code, or -1 at the end of the data.
    int SkipToMarker()
    {
        while (true) {
            if (at_ == end_ && !Refill())
                return -1;
            const std::uint8_t* from = buffer_.data() + at_;
            const void* found = std::memchr(from, 0xFF, std::size_t(end_ - at_));
            if (found == nullptr) {
                at_ = end_;
                continue;
            }
            at_ += static_cast<const std::uint8_t*>(found) - from + 1;
            int code = 0xFF;
            while (code == 0xFF)
                code = Next();
            if (code < 0)
                return -1;
            if (code != 0 && (code < kRst0 || code > kRst7))
                return code;
        }
    }

    bool Skip(qint64 count)
    {
        const qint64 buffered = std::min(count, end_ - at_);
        at_ += buffered;
        count -= buffered;
        return count == 0 || device_.skip(count) == count;
    }

private:
    bool Refill()
    {
        const qint64 read = device_.read(reinterpret_cast<char*>(buffer_.data()), kBufferBytes);
        if (read <= 0)
            return false;
        at_ = 0;
        end_ = read;
        return true;
    }

    QIODevice& device_;
    std::vector<std::uint8_t> buffer_;
    qint64 at_ = 0;
    qint64 end_ = 0;
};

// A Huffman table as a canonical code: a lookup of the first kFastBits bits for the
// short codes, and the largest code of each length for the others.
struct HuffmanTable
{
    bool defined = false;
    std::array<std::uint8_t, 256> symbols{};
    std::array<std::int32_t, 17> maxCode{};           // by length; -1 when none has it
    std::array<std::int32_t, 17> symbolOffset{};      // the symbol's index minus its code
    std::array<std::uint16_t, 1 << kFastBits> fast{}; // length << 8 | symbol; 0: slow path

    // Builds the code from its counts per length and its symbols; false when the counts
    // overflow the code space.
    bool Build(const std::array<std::uint8_t, 16>& counts, int symbolCount)
    {
        fast.fill(0);
        std::int32_t code = 0;
        int index = 0;
        for (int length = 1; length <= 16; ++length) {
            const int count = counts[std::size_t(length - 1)];
            // As libjpeg, which also refuses a code of all ones.
            if (code + count >= (1 << length))
                return false;
            symbolOffset[std::size_t(length)] = index - code;
            for (int i = 0; i < count; ++i, ++index, ++code) {
                if (length <= kFastBits) {
                    const int shift = kFastBits - length;
                    for (int fill = 0; fill < (1 << shift); ++fill)
                        fast[std::size_t((code << shift) | fill)] =
                            std::uint16_t(length << 8 | symbols[std::size_t(index)]);
                }
            }
            maxCode[std::size_t(length)] = count > 0 ? code - 1 : -1;
            code <<= 1;
        }
        defined = index == symbolCount;
        return defined;
    }
};

struct Component
{
    int id = 0;
    int h = 1; // sampling factors
    int v = 1;
    int quantTable = 0;
    // Blocks across and down in the grid of MCUs, and those the picture's samples reach.
    int gridWide = 0;
    int gridHigh = 0;
    int blocksWide = 0;
    int blocksHigh = 0;
    std::vector<std::int16_t> dc; // the DC values shifted right by `shift`, by block
    int shift = 0;                // the successive approximation's point transform
    int quant = 0;                // the DC quantizer when its scan began
    bool decoded = false;
    // The size of the inverse transform a decode at 1/8 scale gives this component's
    // blocks: 1, or 2 where it is subsampled both ways (2 x 2 samples a block).
    int reducedSize = 1;
    // For those, the AC coefficients the 2 x 2 transform takes, kept from the first passes
    // over them: kKeptAc values a block (slots 1 onwards, block by block), empty until the
    // first such pass; each slot's point transform, -1 until a pass gives that position,
    // and its quantizer.
    std::vector<std::int16_t> ac;
    std::array<int, kReducedCoefficients> acShift = UnknownShifts();
    std::array<int, kReducedCoefficients> acQuant{};

    static std::array<int, kReducedCoefficients> UnknownShifts()
    {
        std::array<int, kReducedCoefficients> shifts{};
        shifts.fill(-1);
        return shifts;
    }

    // Whether a first pass over the band `first` to `last` gives a position still missing.
    bool BandNeeded(int first, int last) const
    {
        if (reducedSize != 2)
            return false;
        for (int k = std::max(first, 1); k <= last; ++k) {
            const int slot = kReducedSlot[kZigzag[std::size_t(k)]];
            if (slot > 0 && acShift[std::size_t(slot)] < 0)
                return true;
        }
        return false;
    }

    bool NeedsAc() const { return BandNeeded(1, kLastCoefficient); }
};

enum class ScanKind { DcFirst, AcFirst, Skipped };

struct ScanPart
{
    Component* component = nullptr;
    const HuffmanTable* table = nullptr;
    int predictor = 0;
};

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

// libjpeg's YCbCr to RGB tables: 16-bit fixed point, rounded as it rounds them.
struct YccTables
{
    std::array<int, 256> crToR{};
    std::array<int, 256> cbToB{};
    std::array<std::int32_t, 256> crToG{};
    std::array<std::int32_t, 256> cbToG{};

    YccTables()
    {
        constexpr int kScaleBits = 16;
        constexpr std::int32_t kHalf = std::int32_t(1) << (kScaleBits - 1);
        const auto fix = [](double x) { return std::int32_t(std::lround(x * (1 << kScaleBits))); };
        for (int i = 0; i < 256; ++i) {
            const std::int32_t x = i - 128;
            crToR[std::size_t(i)] = int((fix(1.40200) * x + kHalf) >> kScaleBits);
            cbToB[std::size_t(i)] = int((fix(1.77200) * x + kHalf) >> kScaleBits);
            crToG[std::size_t(i)] = -fix(0.71414) * x;
            cbToG[std::size_t(i)] = -fix(0.34414) * x + kHalf;
        }
    }

    int Green(int cb, int cr) const
    {
        return int((cbToG[std::size_t(cb)] + crToG[std::size_t(cr)]) >> 16);
    }
};

const YccTables& Ycc()
{
    static const YccTables tables;
    return tables;
}

int Clamp(int value)
{
    return std::clamp(value, 0, 255);
}

} // namespace

struct JpegDcDecoder::State
{
    explicit State(QIODevice& device)
        : bytes(device)
    {}

    ByteReader bytes;
    std::array<HuffmanTable, 4> tables{};
    std::array<HuffmanTable, 4> acTables{};
    std::array<std::array<int, 64>, 4> quantizers{}; // by position in the block
    std::array<bool, 4> quantDefined{};
    std::vector<Component> components;
    QSize size;
    int maxH = 1;
    int maxV = 1;
    int mcusWide = 0;
    int mcusHigh = 0;
    int restartInterval = 0;
    bool sawJfif = false;
    bool sawAdobe = false;
    int adobeTransform = 0;
    int segments = 0;

    // The scan under way.
    std::vector<ScanPart> scan;
    ScanKind scanKind = ScanKind::Skipped;
    int spectralStart = 0;
    int spectralEnd = 0;
    int eobRun = 0;
    // Where in a block's kept values a first pass over AC values puts each coefficient of
    // its band, by its place in the data's order; -1 for those not kept.
    std::array<int, 64> acTargets{};

    // Entropy-coded data, most significant bit first. Past a marker or the end of the
    // data the bits read as zeros, counted in `padding`: a decode that uses them is
    // damaged.
    std::uint64_t bits = 0;
    int count = 0;
    int padding = 0;
    int marker = -1; // the marker that ended the data; -1: none yet, or the data's end
    bool ended = false;

    // ---- segments

    int ReadU16()
    {
        const int high = bytes.Next();
        const int low = bytes.Next();
        return high < 0 || low < 0 ? -1 : (high << 8 | low);
    }

    // The next marker, after any fill bytes; -1 when there is none.
    int ReadMarker()
    {
        if (bytes.Next() != 0xFF)
            return -1;
        int code = 0xFF;
        while (code == 0xFF)
            code = bytes.Next();
        return code;
    }

    // The payload length of the segment whose marker was just read; -1 when it is shorter
    // than its own length field.
    int PayloadLength()
    {
        const int length = ReadU16();
        return length < 2 ? -1 : length - 2;
    }

    bool ReadPayload(int length, std::vector<std::uint8_t>& payload)
    {
        payload.resize(std::size_t(length));
        for (std::uint8_t& byte : payload) {
            const int value = bytes.Next();
            if (value < 0)
                return false;
            byte = std::uint8_t(value);
        }
        return true;
    }

    bool ReadQuantTables(int length)
    {
        std::vector<std::uint8_t> payload;
        if (!ReadPayload(length, payload))
            return false;
        std::size_t at = 0;
        while (at < payload.size()) {
            const int precision = payload[at] >> 4;
            const int slot = payload[at] & 15;
            const std::size_t entries = precision == 0 ? 64 : 128;
            if (precision > 1 || slot > 3 || at + 1 + entries > payload.size())
                return false;
            for (std::size_t i = 0; i < 64; ++i) {
                const std::size_t entry = at + 1 + (precision == 0 ? i : 2 * i);
                quantizers[std::size_t(slot)][kZigzag[i]] =
                    precision == 0 ? payload[entry] : (payload[entry] << 8 | payload[entry + 1]);
            }
            quantDefined[std::size_t(slot)] = true;
            at += 1 + entries;
        }
        return true;
    }

    bool ReadHuffmanTables(int length)
    {
        std::vector<std::uint8_t> payload;
        if (!ReadPayload(length, payload))
            return false;
        std::size_t at = 0;
        while (at < payload.size()) {
            if (at + 17 > payload.size())
                return false;
            const int tableClass = payload[at] >> 4;
            const int slot = payload[at] & 15;
            std::array<std::uint8_t, 16> counts{};
            int symbolCount = 0;
            for (std::size_t i = 0; i < 16; ++i) {
                counts[i] = payload[at + 1 + i];
                symbolCount += counts[i];
            }
            at += 17;
            if (tableClass > 1 || slot > 3 || symbolCount > 256 ||
                at + std::size_t(symbolCount) > payload.size())
                return false;
            if (tableClass <= 1) {
                HuffmanTable& table = (tableClass == 0 ? tables : acTables)[std::size_t(slot)];
                std::copy_n(payload.begin() + qsizetype(at), symbolCount, table.symbols.begin());
                if (!table.Build(counts, symbolCount))
                    return false;
            }
            at += std::size_t(symbolCount);
        }
        return true;
    }

    bool ReadRestartInterval(int length)
    {
        restartInterval = length == 2 ? ReadU16() : -1;
        return restartInterval >= 0;
    }

    // APP0 and APP14 tell JFIF's YCbCr and Adobe's transform, as libjpeg reads them.
    bool ReadApplication(int code, int length)
    {
        const int wanted = code == kApp0 ? 14 : code == kApp14 ? 12 : 0;
        if (length < wanted || wanted == 0)
            return bytes.Skip(length);
        std::vector<std::uint8_t> payload;
        if (!ReadPayload(wanted, payload))
            return false;
        const auto startsWith = [&](const char* name, std::size_t size) {
            return std::equal(name, name + size, payload.begin());
        };
        if (code == kApp0 && startsWith("JFIF", 5)) {
            sawJfif = true;
        } else if (code == kApp14 && startsWith("Adobe", 5)) {
            sawAdobe = true;
            adobeTransform = payload[11];
        }
        return bytes.Skip(length - wanted);
    }

    bool ReadFrame(int length)
    {
        std::vector<std::uint8_t> payload;
        if (!components.empty() || length < 6 || !ReadPayload(length, payload))
            return false;
        const int precision = payload[0];
        const int height = payload[1] << 8 | payload[2];
        const int width = payload[3] << 8 | payload[4];
        const int count = payload[5];
        if (precision != 8 || width == 0 || height == 0 || length != 6 + 3 * count ||
            (count != 1 && count != 3 && count != kMaxComponents))
            return false;
        size = QSize(width, height);
        components.resize(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            Component& c = components[std::size_t(i)];
            const std::size_t at = 6 + 3 * std::size_t(i);
            c.id = payload[at];
            c.h = payload[at + 1] >> 4;
            c.v = payload[at + 1] & 15;
            c.quantTable = payload[at + 2];
            if (c.h < 1 || c.h > kMaxSamplingFactor || c.v < 1 || c.v > kMaxSamplingFactor ||
                c.quantTable > 3)
                return false;
            for (int j = 0; j < i; ++j) {
                if (components[std::size_t(j)].id == c.id)
                    return false;
            }
            maxH = std::max(maxH, c.h);
            maxV = std::max(maxV, c.v);
        }
        mcusWide = CeilDiv(width, 8 * maxH);
        mcusHigh = CeilDiv(height, 8 * maxV);
        for (Component& c : components) {
            // At 1/8 scale libjpeg repeats a component's samples to the full grid only by
            // whole factors; it refuses the rest, and so do we.
            if (maxH % c.h != 0 || maxV % c.v != 0)
                return false;
            c.gridWide = mcusWide * c.h;
            c.gridHigh = mcusHigh * c.v;
            c.blocksWide = CeilDiv(CeilDiv(width * c.h, maxH), 8);
            c.blocksHigh = CeilDiv(CeilDiv(height * c.v, maxV), 8);
            c.reducedSize = ReducedSize(c);
            // Larger reduced transforms are rare enough to leave to the full decode.
            if (c.reducedSize > 2)
                return false;
        }
        return true;
    }

    // As libjpeg scales a component at 1/8: its blocks give twice the samples for as long
    // as the component stays at most as fine as the picture at that scale both ways.
    int ReducedSize(const Component& c) const
    {
        int reduced = 1;
        while (reduced < 8 && maxH % (c.h * reduced * 2) == 0 && maxV % (c.v * reduced * 2) == 0)
            reduced *= 2;
        return reduced;
    }

    // The header of a scan, and which kind it is: a first pass over DC values of
    // components that have none yet, or over AC values of a component whose 2 x 2 samples
    // need them, are decoded; the others are skipped. False for a scan that does not fit
    // the frame, one that calls for a table not defined, and one of AC values or a
    // refinement before every component has its DC values.
    bool ReadScanHeader(int length)
    {
        std::vector<std::uint8_t> payload;
        if (components.empty() || length < 1 || !ReadPayload(length, payload))
            return false;
        const int count = payload[0];
        if (count < 1 || count > kMaxComponents || length != 4 + 2 * count)
            return false;
        const std::size_t end = 1 + 2 * std::size_t(count);
        spectralStart = payload[end];
        spectralEnd = payload[end + 1];
        const int high = payload[end + 2] >> 4;
        const int low = payload[end + 2] & 15;
        if (low > kMaxShift || spectralEnd > kLastCoefficient || spectralStart > spectralEnd ||
            (spectralStart == 0 && spectralEnd != 0) || (spectralStart > 0 && count != 1))
            return false;
        scan.clear();
        int blocksInMcu = 0;
        for (int i = 0; i < count; ++i) {
            const int id = payload[1 + 2 * std::size_t(i)];
            const auto found = std::find_if(components.begin(), components.end(),
                                            [&](const Component& c) { return c.id == id; });
            if (found == components.end())
                return false;
            for (const ScanPart& part : scan) {
                if (part.component == &*found)
                    return false;
            }
            blocksInMcu += found->h * found->v;
            scan.push_back({&*found, nullptr, 0});
        }
        if (count > 1 && blocksInMcu > kMaxBlocksInMcu)
            return false;
        if (spectralStart == 0 && high == 0)
            return StartDcScan(payload);
        if (!AllDecoded())
            return false;
        Component& c = *scan[0].component;
        scanKind = spectralStart > 0 && high == 0 && c.BandNeeded(spectralStart, spectralEnd)
                       ? ScanKind::AcFirst
                       : ScanKind::Skipped;
        if (scanKind == ScanKind::Skipped)
            return true;
        const int slot = payload[2] & 15;
        if (slot > 3 || !acTables[std::size_t(slot)].defined || low > kMaxAcShift)
            return false;
        scan[0].table = &acTables[std::size_t(slot)];
        StartAcScan(c, low);
        return true;
    }

    bool StartDcScan(const std::vector<std::uint8_t>& payload)
    {
        scanKind = ScanKind::DcFirst;
        const int low = payload[payload.size() - 1] & 15;
        for (std::size_t i = 0; i < scan.size(); ++i) {
            Component& c = *scan[i].component;
            const int slot = payload[2 + 2 * i] >> 4;
            if (c.decoded || slot > 3 || !tables[std::size_t(slot)].defined ||
                !quantDefined[std::size_t(c.quantTable)])
                return false;
            scan[i].table = &tables[std::size_t(slot)];
            c.shift = low;
            // libjpeg takes a component's quantizers when its first scan begins.
            const std::array<int, 64>& table = quantizers[std::size_t(c.quantTable)];
            c.quant = table[0];
            for (std::size_t k = 0; k < 64; ++k) {
                if (kReducedSlot[k] >= 0)
                    c.acQuant[std::size_t(kReducedSlot[k])] = table[k];
            }
            // The low bits a later scan refines must not matter more than a few levels:
            // a coarse quantizer makes them count, and then only the full decode will do.
            if (((1 << low) - 1) * c.quant > kMaxRefinedSteps)
                return false;
        }
        return true;
    }

    // Makes room for the coefficients of the scan's band that the component keeps and has
    // not had yet; others of the band are decoded and dropped.
    void StartAcScan(Component& c, int low)
    {
        if (c.ac.empty())
            c.ac.assign(std::size_t(c.blocksWide) * std::size_t(c.blocksHigh) * kKeptAc, 0);
        acTargets.fill(-1);
        for (int k = spectralStart; k <= spectralEnd; ++k) {
            const int slot = kReducedSlot[kZigzag[std::size_t(k)]];
            if (slot <= 0 || c.acShift[std::size_t(slot)] >= 0)
                continue;
            c.acShift[std::size_t(slot)] = low;
            acTargets[std::size_t(k)] = slot - 1;
        }
    }

    // Reads segments up to the next scan header and reads that. Only the segments that
    // may come before and between scans are taken; a second frame, a DNL or the end of the
    // image first means this is not a file we decode.
    bool ReadUntilScan(int code)
    {
        for (; segments < kMostFirstScanSegments; ++segments) {
            if (code < 0)
                return false;
            if (code == kEoi)
                return false;
            if ((code >= kRst0 && code <= kRst7) || code == kTem) {
                code = ReadMarker();
                continue;
            }
            const int length = PayloadLength();
            if (length < 0)
                return false;
            bool read = false;
            if (code == kSos)
                return ReadScanHeader(length);
            if (code == kSof2)
                read = ReadFrame(length);
            else if (code == kDqt)
                read = ReadQuantTables(length);
            else if (code == kDht)
                read = ReadHuffmanTables(length);
            else if (code == kDri)
                read = ReadRestartInterval(length);
            else if ((code >= kApp0 && code <= kApp15) || code == kCom)
                read = ReadApplication(code, length);
            if (!read)
                return false;
            code = ReadMarker();
        }
        return false;
    }

    // ---- entropy-coded data

    int NextDataByte()
    {
        if (marker >= 0 || ended) {
            padding += 8;
            return 0;
        }
        const int byte = bytes.Next();
        if (byte != 0xFF) {
            if (byte >= 0)
                return byte;
            ended = true;
            padding += 8;
            return 0;
        }
        int next = 0xFF;
        while (next == 0xFF)
            next = bytes.Next();
        if (next == 0)
            return 0xFF;
        if (next < 0)
            ended = true;
        else
            marker = next;
        padding += 8;
        return 0;
    }

    void Fill()
    {
        while (count <= 56) {
            bits |= std::uint64_t(NextDataByte()) << (56 - count);
            count += 8;
        }
    }

    int Take(int n)
    {
        const int value = int(bits >> (64 - n));
        bits <<= n;
        count -= n;
        return value;
    }

    // The symbol of the next code, or -1 for a code the table does not have.
    int DecodeSymbol(const HuffmanTable& table)
    {
        const std::uint16_t fast = table.fast[std::size_t(bits >> (64 - kFastBits))];
        if (fast != 0) {
            Take(fast >> 8);
            return fast & 0xFF;
        }
        for (int length = kFastBits + 1; length <= 16; ++length) {
            const std::int32_t code = std::int32_t(bits >> (64 - length));
            if (code <= table.maxCode[std::size_t(length)]) {
                Take(length);
                const std::int32_t index = table.symbolOffset[std::size_t(length)] + code;
                return table.symbols[std::size_t(index)];
            }
        }
        return -1;
    }

    bool DecodeBlock(ScanPart& part, int x, int y)
    {
        Fill();
        const int category = DecodeSymbol(*part.table);
        if (category < 0 || category > kMaxDcCategory)
            return false;
        int difference = 0;
        if (category > 0) {
            difference = Take(category);
            if (difference < (1 << (category - 1)))
                difference -= (1 << category) - 1;
        }
        part.predictor += difference;
        if (part.predictor < -kMaxDcMagnitude || part.predictor > kMaxDcMagnitude)
            return false;
        Component& c = *part.component;
        c.dc[std::size_t(y) * std::size_t(c.gridWide) + std::size_t(x)] =
            std::int16_t(part.predictor);
        return true;
    }

    // Reads on to the next marker, over any data the scan left.
    int SkipToMarker()
    {
        while (marker < 0 && !ended)
            NextDataByte();
        return ended ? -1 : marker;
    }

    void ResetBits()
    {
        bits = 0;
        count = 0;
        padding = 0;
        marker = -1;
    }

    // The marker that ends the scan under way, read over its data without decoding them;
    // -1 when the data end first.
    int SkipScanRest()
    {
        if (marker < 0 && !ended) {
            marker = bytes.SkipToMarker();
            ended = marker < 0;
        }
        return ended ? -1 : marker;
    }

    // After every restart interval comes the next of RST0 to RST7 in turn; the predictors
    // and the run of empty blocks start again from zero.
    bool Restart(int number)
    {
        if (SkipToMarker() != kRst0 + number % 8)
            return false;
        ResetBits();
        for (ScanPart& part : scan)
            part.predictor = 0;
        eobRun = 0;
        return true;
    }

    // A block of a first pass over AC values: its band's values, of which those the
    // component keeps are stored, or one more of a run of blocks that have none.
    bool DecodeAcBlock(const HuffmanTable& table, std::int16_t* kept)
    {
        if (eobRun > 0) {
            --eobRun;
            return true;
        }
        for (int k = spectralStart; k <= spectralEnd; ++k) {
            Fill();
            const int symbol = DecodeSymbol(table);
            if (symbol < 0)
                return false;
            const int run = symbol >> 4;
            const int category = symbol & 15;
            if (category == 0) {
                if (run == 15) {
                    k += 15;
                    continue;
                }
                eobRun = (1 << run) - 1;
                if (run > 0)
                    eobRun += Take(run);
                return true;
            }
            k += run;
            if (k > spectralEnd || category > kMaxAcCategory)
                return false;
            int value = Take(category);
            if (value < (1 << (category - 1)))
                value -= (1 << category) - 1;
            if (const int at = acTargets[std::size_t(k)]; at >= 0)
                kept[at] = std::int16_t(value);
        }
        return true;
    }

    bool DecodeAcScan()
    {
        Component& c = *scan[0].component;
        const qint64 blocks = qint64(c.blocksWide) * c.blocksHigh;
        ResetBits();
        ended = false;
        eobRun = 0;
        for (qint64 block = 0; block < blocks; ++block) {
            if (restartInterval > 0 && block > 0 && block % restartInterval == 0 &&
                !Restart(int((block / restartInterval - 1) % 8)))
                return false;
            std::int16_t* kept = c.ac.data() + std::size_t(block) * kKeptAc;
            if (!DecodeAcBlock(*scan[0].table, kept) || count < padding)
                return false;
        }
        return true;
    }

    bool DecodeScanUnderWay()
    {
        switch (scanKind) {
        case ScanKind::DcFirst:
            return DecodeScan();
        case ScanKind::AcFirst:
            return DecodeAcScan();
        case ScanKind::Skipped:
            ResetBits();
            ended = false;
            return true;
        }
        return false;
    }

    // Every component has its DC values, and those that take 2 x 2 samples a block have
    // every AC value they keep, if only in its high bits: the scans that follow are not
    // needed.
    bool AllRead() const
    {
        return AllDecoded() && std::none_of(components.begin(), components.end(),
                                            [](const Component& c) { return c.NeedsAc(); });
    }

    bool DecodeMcu(int mcu)
    {
        if (scan.size() == 1) {
            const Component& c = *scan[0].component;
            return DecodeBlock(scan[0], mcu % c.blocksWide, mcu / c.blocksWide);
        }
        const int mcuX = mcu % mcusWide;
        const int mcuY = mcu / mcusWide;
        for (ScanPart& part : scan) {
            const Component& c = *part.component;
            for (int y = 0; y < c.v; ++y) {
                for (int x = 0; x < c.h; ++x) {
                    if (!DecodeBlock(part, mcuX * c.h + x, mcuY * c.v + y))
                        return false;
                }
            }
        }
        return true;
    }

    // Decodes the scan whose header was just read; a scan of one component covers its own
    // blocks alone, an interleaved one the whole grid of MCUs.
    bool DecodeScan()
    {
        for (ScanPart& part : scan) {
            Component& c = *part.component;
            if (c.dc.empty())
                c.dc.assign(std::size_t(c.gridWide) * std::size_t(c.gridHigh), 0);
        }
        const Component& first = *scan[0].component;
        const qint64 mcus = scan.size() == 1 ? qint64(first.blocksWide) * first.blocksHigh
                                             : qint64(mcusWide) * mcusHigh;
        ResetBits();
        ended = false;
        for (qint64 mcu = 0; mcu < mcus; ++mcu) {
            if (restartInterval > 0 && mcu > 0 && mcu % restartInterval == 0 &&
                !Restart(int((mcu / restartInterval - 1) % 8)))
                return false;
            // Bits past the data's end read as zeros: a decode that reached them is damaged.
            if (!DecodeMcu(int(mcu)) || count < padding)
                return false;
        }
        for (ScanPart& part : scan)
            part.component->decoded = true;
        return true;
    }

    bool AllDecoded() const
    {
        return std::all_of(components.begin(), components.end(),
                           [](const Component& c) { return c.decoded; });
    }

    // ---- the picture

    ColorCoding Coding() const
    {
        if (components.size() == 1)
            return ColorCoding::Grey;
        // Adobe's transform 2 is YCCK, and libjpeg takes any other but 0 for it too.
        if (components.size() == kMaxComponents)
            return sawAdobe && adobeTransform != 0 ? ColorCoding::Ycck : ColorCoding::Cmyk;
        if (sawJfif)
            return ColorCoding::YCbCr;
        if (sawAdobe)
            return adobeTransform == 0 ? ColorCoding::Rgb : ColorCoding::YCbCr;
        const bool rgbIds =
            components[0].id == 'R' && components[1].id == 'G' && components[2].id == 'B';
        return rgbIds ? ColorCoding::Rgb : ColorCoding::YCbCr;
    }

    // The samples of a component's DC values, by value: the inverse transform of a block
    // with its DC value alone, level-shifted and clamped. A value whose low bits a later
    // scan would refine is taken at the middle of the values it stands for.
    static std::vector<std::uint8_t> SampleTable(const Component& c)
    {
        std::vector<std::uint8_t> samples(2 * kMaxDcMagnitude + 1);
        const qint64 half = (qint64(1) << c.shift) - 1;
        for (int value = -kMaxDcMagnitude; value <= kMaxDcMagnitude; ++value) {
            const qint64 twice = 2 * (qint64(value) << c.shift) + half;
            const qint64 level = (twice * c.quant + 8) >> 4;
            const int at = value + kMaxDcMagnitude;
            samples[std::size_t(at)] = std::uint8_t(std::clamp<qint64>(level + 128, 0, 255));
        }
        return samples;
    }

    // A component whose blocks give one sample each, at the picture's size: each block's
    // value repeated over the pixels it covers, as libjpeg repeats them at 1/8 scale.
    std::vector<std::uint8_t> Samples(const Component& c, QSize decoded) const
    {
        const std::vector<std::uint8_t> table = SampleTable(c);
        const int across = maxH / c.h;
        const int down = maxV / c.v;
        const std::size_t width = std::size_t(decoded.width());
        std::vector<std::uint8_t> samples(width * std::size_t(decoded.height()));
        for (int y = 0; y < decoded.height(); ++y) {
            const std::int16_t* values =
                c.dc.data() + std::size_t(y / down) * std::size_t(c.gridWide);
            std::uint8_t* line = samples.data() + std::size_t(y) * width;
            for (std::size_t x = 0; x < width; ++x) {
                const int at = values[x / std::size_t(across)] + kMaxDcMagnitude;
                line[x] = table[std::size_t(at)];
            }
        }
        return samples;
    }

    // A coefficient's value as the picture takes it, dequantized: where a later scan would
    // refine its low bits, at the middle of the values it may have. A DC value's refinement
    // adds to it; an AC value's adds to its magnitude, and one still zero may become +-1 or
    // so, which is as likely either way.
    static qint64 DequantizedDc(int value, int shift, int quant)
    {
        const qint64 twice = 2 * (qint64(value) * (qint64(1) << shift)) + (1 << shift) - 1;
        return (twice * quant + 1) >> 1;
    }

    static qint64 DequantizedAc(int value, int shift, int quant)
    {
        if (value == 0)
            return 0;
        const qint64 twice = 2 * (qint64(std::abs(value)) << shift) + (1 << shift) - 1;
        const qint64 magnitude = (twice * quant + 1) >> 1;
        return value < 0 ? -magnitude : magnitude;
    }

    // libjpeg's range limit after its inverse transforms: the sample level-shifted, clamped
    // within a span of +-512 and wrapped beyond it, as its table of 1024 entries does.
    static std::uint8_t RangeLimit(qint64 value)
    {
        const int masked = int(value & 1023);
        if (masked < 128)
            return std::uint8_t(masked + 128);
        if (masked < 512)
            return 255;
        if (masked < 896)
            return 0;
        return std::uint8_t(masked - 896);
    }

    // The 2 x 2 samples of a block from its dequantized coefficients (by slot), computed as
    // libjpeg's reduced inverse transform computes them, with its constants and rounding:
    // columns into a workspace scaled by 2 bits, then rows. Ours because libjpeg has no way
    // to take coefficients it did not decode itself.
    static std::array<std::uint8_t, 4>
    ReducedTransform(const std::array<qint64, kReducedCoefficients>& z)
    {
        constexpr int kConstBits = 13;
        constexpr int kPass1Bits = 2;
        constexpr qint64 kEvenScale = qint64(1) << (kConstBits + 2);
        // sqrt(2) times the sums of cosines that lines 1, 3, 5 and 7 add, in 13-bit fixed point.
        constexpr std::array<qint64, 5> kOdd = {0, 29692, -10426, 6967, -5906};
        const auto descale = [](qint64 x, int bits) {
            return (x + (qint64(1) << (bits - 1))) >> bits;
        };
        constexpr std::size_t kLines = kReducedLines.size();
        std::array<std::array<qint64, kLines>, 2> workspace{};
        for (std::size_t column = 0; column < kLines; ++column) {
            const qint64 even = z[column] * kEvenScale;
            qint64 odd = 0;
            for (std::size_t row = 1; row < kLines; ++row)
                odd += z[row * kLines + column] * kOdd[row];
            workspace[0][column] = descale(even + odd, kConstBits - kPass1Bits + 2);
            workspace[1][column] = descale(even - odd, kConstBits - kPass1Bits + 2);
        }
        std::array<std::uint8_t, 4> samples{};
        for (std::size_t row = 0; row < 2; ++row) {
            const qint64 even = workspace[row][0] * kEvenScale;
            qint64 odd = 0;
            for (std::size_t column = 1; column < kLines; ++column)
                odd += workspace[row][column] * kOdd[column];
            constexpr int kBits = kConstBits + kPass1Bits + 3 + 2;
            samples[2 * row] = RangeLimit(descale(even + odd, kBits));
            samples[2 * row + 1] = RangeLimit(descale(even - odd, kBits));
        }
        return samples;
    }

    // A component whose blocks give 2 x 2 samples: each block's, from its DC value and the
    // AC values kept, repeated over the pixels they cover where the component is coarser
    // still.
    std::vector<std::uint8_t> ReducedSamples(const Component& c, QSize decoded) const
    {
        const int across = maxH / c.h / 2;
        const int down = maxV / c.v / 2;
        const int width = decoded.width();
        const int height = decoded.height();
        std::vector<std::uint8_t> samples(std::size_t(width) * std::size_t(height));
        std::array<qint64, kReducedCoefficients> z{};
        const std::array<std::int16_t, kKeptAc> none{};
        for (int by = 0; by < c.blocksHigh; ++by) {
            for (int bx = 0; bx < c.blocksWide; ++bx) {
                const std::size_t block = std::size_t(by) * std::size_t(c.blocksWide) + bx;
                const std::int16_t* kept = c.ac.empty() ? none.data() : &c.ac[block * kKeptAc];
                z[0] = DequantizedDc(c.dc[std::size_t(by) * std::size_t(c.gridWide) + bx], c.shift,
                                     c.quant);
                std::array<std::uint8_t, 4> block2x2{};
                if (std::equal(kept, kept + kKeptAc, none.begin())) {
                    // Without AC values the transform comes to the DC value's alone.
                    block2x2.fill(RangeLimit((z[0] + 4) >> 3));
                } else {
                    for (std::size_t slot = 1; slot < z.size(); ++slot)
                        z[slot] = DequantizedAc(kept[slot - 1], c.acShift[slot], c.acQuant[slot]);
                    block2x2 = ReducedTransform(z);
                }
                for (int j = 0; j < 2; ++j) {
                    const int top = (2 * by + j) * down;
                    for (int i = 0; i < 2; ++i) {
                        const int left = (2 * bx + i) * across;
                        for (int y = top; y < std::min(top + down, height); ++y) {
                            for (int x = left; x < std::min(left + across, width); ++x)
                                samples[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                                    block2x2[std::size_t(j) * 2 + std::size_t(i)];
                        }
                    }
                }
            }
        }
        return samples;
    }

    QImage Picture() const
    {
        const QSize decoded = DecodedSize();
        const ColorCoding coding = Coding();
        QImage image(decoded, coding == ColorCoding::Grey ? QImage::Format_Grayscale8
                                                          : QImage::Format_RGB32);
        if (image.isNull())
            return {};
        std::vector<std::vector<std::uint8_t>> planes;
        planes.reserve(components.size());
        for (const Component& c : components)
            planes.push_back(c.reducedSize == 2 ? ReducedSamples(c, decoded) : Samples(c, decoded));
        const std::size_t count = components.size();
        const std::size_t width = std::size_t(decoded.width());
        std::array<int, kMaxComponents> sample{};
        for (int y = 0; y < decoded.height(); ++y) {
            uchar* line = image.scanLine(y);
            const std::size_t row = std::size_t(y) * width;
            if (coding == ColorCoding::Grey) {
                std::copy_n(planes[0].begin() + qsizetype(row), width, line);
                continue;
            }
            for (std::size_t x = 0; x < width; ++x) {
                for (std::size_t i = 0; i < count; ++i)
                    sample[i] = planes[i][row + x];
                reinterpret_cast<QRgb*>(line)[x] = Rgb(coding, sample);
            }
        }
        return image;
    }

    static QRgb Rgb(ColorCoding coding, const std::array<int, kMaxComponents>& s)
    {
        const YccTables& ycc = Ycc();
        switch (coding) {
        case ColorCoding::YCbCr:
            return qRgb(Clamp(s[0] + ycc.crToR[std::size_t(s[2])]),
                        Clamp(s[0] + ycc.Green(s[1], s[2])),
                        Clamp(s[0] + ycc.cbToB[std::size_t(s[1])]));
        case ColorCoding::Rgb:
            return qRgb(s[0], s[1], s[2]);
        case ColorCoding::Ycck:
        case ColorCoding::Cmyk: {
            int c = s[0];
            int m = s[1];
            int yellow = s[2];
            if (coding == ColorCoding::Ycck) {
                c = Clamp(255 - (s[0] + ycc.crToR[std::size_t(s[2])]));
                m = Clamp(255 - (s[0] + ycc.Green(s[1], s[2])));
                yellow = Clamp(255 - (s[0] + ycc.cbToB[std::size_t(s[1])]));
            }
            // As Qt's JPEG reader turns CMYK, Adobe's inverted one, into RGB.
            const int k = s[3];
            return qRgb(k * c / 255, k * m / 255, k * yellow / 255);
        }
        case ColorCoding::Grey:
            break;
        }
        return qRgb(s[0], s[0], s[0]);
    }

    QSize DecodedSize() const { return {CeilDiv(size.width(), 8), CeilDiv(size.height(), 8)}; }
};

JpegDcDecoder::JpegDcDecoder(QIODevice& device)
    : state_(std::make_unique<State>(device))
{}

JpegDcDecoder::~JpegDcDecoder() = default;

bool JpegDcDecoder::ReadHeaders()
{
    State& s = *state_;
    if (s.ReadMarker() != kSoi)
        return false;
    return s.ReadUntilScan(s.ReadMarker()) && s.scanKind == ScanKind::DcFirst;
}

QSize JpegDcDecoder::StoredSize() const
{
    return state_->size;
}

QSize JpegDcDecoder::DecodedSize() const
{
    return state_->DecodedSize();
}

qint64 JpegDcDecoder::HeldBytes() const
{
    const State& s = *state_;
    qint64 values = 0;
    for (const Component& c : s.components)
        values += qint64(c.gridWide) * c.gridHigh * qint64(sizeof(std::int16_t));
    // The AC values that components of 2 x 2 samples a block keep, at most.
    for (const Component& c : s.components) {
        if (c.reducedSize == 2)
            values += qint64(c.blocksWide) * c.blocksHigh * qint64(kKeptAc * sizeof(std::int16_t));
    }
    // The picture and the samples of each component at its size.
    const QSize decoded = s.DecodedSize();
    const qint64 depth = (s.components.size() == 1 ? 1 : 4) + qint64(s.components.size());
    return kBufferBytes + values + qint64(decoded.width()) * decoded.height() * depth;
}

QImage JpegDcDecoder::Decode()
{
    State& s = *state_;
    if (s.components.empty() || s.scan.empty())
        return {};
    while (true) {
        if (!s.DecodeScanUnderWay())
            return {};
        if (s.AllRead())
            return s.Picture();
        // An image that ends without the values needed is left to libjpeg, which then
        // smooths the blocks whose low AC values are missing.
        if (!s.ReadUntilScan(s.SkipScanRest()))
            return {};
    }
}

} // namespace pictures
