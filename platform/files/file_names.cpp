#include "files/file_names.h"

namespace files {

namespace {

constexpr char16_t kFirstKeptByte = 0xDC80;
constexpr char16_t kLastKeptByte = 0xDCFF;
constexpr char32_t kReplacement = 0xFFFD;

// The character that the UTF-8 sequence at `at` encodes, with its length; a length of 0
// where none starts there: a stray or missing continuation byte, an overlong form, a
// surrogate or a code point beyond U+10FFFF.
struct Decoded
{
    char32_t character = 0;
    qsizetype length = 0;
};

Decoded DecodeUtf8At(QByteArrayView bytes, qsizetype at)
{
    const auto lead = static_cast<uchar>(bytes[at]);
    qsizetype length = 0;
    char32_t character = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        character = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        character = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        character = lead & 0x07;
        smallest = 0x10000;
    } else {
        return {};
    }
    if (at + length > bytes.size())
        return {};
    for (qsizetype k = 1; k < length; ++k) {
        const auto next = static_cast<uchar>(bytes[at + k]);
        if ((next & 0xC0) != 0x80)
            return {};
        character = (character << 6) | (next & 0x3F);
    }
    if (character < smallest || character > 0x10FFFF ||
        (character >= 0xD800 && character <= 0xDFFF))
        return {};
    return {character, length};
}

void AppendUtf8(QByteArray& bytes, char32_t character)
{
    if (character < 0x80) {
        bytes += static_cast<char>(character);
    } else if (character < 0x800) {
        bytes += static_cast<char>(0xC0 | (character >> 6));
        bytes += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        bytes += static_cast<char>(0xE0 | (character >> 12));
        bytes += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (character >> 18));
        bytes += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (character & 0x3F));
    }
}

} // namespace

QString NameFromBytes(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto lead = static_cast<uchar>(bytes[at]);
        if (lead < 0x80) {
            name += QLatin1Char(static_cast<char>(lead));
            ++at;
            continue;
        }
        const Decoded decoded = DecodeUtf8At(bytes, at);
        if (decoded.length == 0) {
            name += QChar(static_cast<char16_t>(kFirstKeptByte + (lead - 0x80)));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(decoded.character)) {
            name += QChar(QChar::highSurrogate(decoded.character));
            name += QChar(QChar::lowSurrogate(decoded.character));
        } else {
            name += QChar(static_cast<char16_t>(decoded.character));
        }
        at += decoded.length;
    }
    return name;
}

QByteArray NameBytes(QStringView name)
{
    QByteArray bytes;
    bytes.reserve(name.size() + 8);
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (QChar::isHighSurrogate(unit) && at + 1 < name.size() &&
                   name[at + 1].isLowSurrogate()) {
            AppendUtf8(bytes, QChar::surrogateToUcs4(unit, name[at + 1].unicode()));
            ++at;
        } else if (unit >= kFirstKeptByte && unit <= kLastKeptByte) {
            bytes += static_cast<char>(0x80 + (unit - kFirstKeptByte));
        } else {
            AppendUtf8(bytes, QChar::isSurrogate(unit) ? kReplacement : unit);
        }
    }
    return bytes;
}

bool ContainsNonText(QStringView name)
{
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (name[at].isHighSurrogate() && at + 1 < name.size() && name[at + 1].isLowSurrogate())
            ++at;
        else if (name[at].isSurrogate())
            return true;
    }
    return false;
}

QString ShownName(const QString& name)
{
    if (!ContainsNonText(name))
        return name; // shared, not copied
    QString shown;
    shown.reserve(name.size());
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (name[at].isHighSurrogate() && at + 1 < name.size() && name[at + 1].isLowSurrogate()) {
            shown += name[at];
            shown += name[++at];
        } else {
            shown += name[at].isSurrogate() ? QChar(static_cast<char16_t>(kReplacement)) : name[at];
        }
    }
    return shown;
}

} // namespace files
