#include "settings/ini_profile.h"

#include <QStringDecoder>

#include <type_traits>
#include <utility>

namespace settings {
namespace {

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");
constexpr QByteArrayView kUtf16LeBom("\xFF\xFE");
constexpr QByteArrayView kUtf16BeBom("\xFE\xFF");
constexpr QByteArrayView kLineBreak("\r\n");

// Blanks as the profile functions see them; ^Z is the old end-of-file mark.
template <typename Char>
bool IsBlank(Char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

// `text` without the blanks at either end; bytes or UTF-16 alike.
template <typename View>
View TrimBlanks(View text)
{
    const auto blank = [&](qsizetype at) {
        if constexpr (std::is_same_v<View, QStringView>)
            return IsBlank(text[at].unicode());
        else
            return IsBlank(text[at]);
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(begin))
        ++begin;
    while (end > begin && blank(end - 1))
        --end;
    return text.sliced(begin, end - begin);
}

bool HasLineBreak(QStringView text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool IsUtf16(QByteArrayView text)
{
    return text.startsWith(kUtf16LeBom) || text.startsWith(kUtf16BeBom);
}

// WTF-8: UTF-8 in which a lone surrogate, which a Windows file name may hold and UTF-8
// cannot, takes the three bytes its code point would. Everything else is plain UTF-8.
QByteArray EncodeProfileText(QStringView text)
{
    QByteArray bytes;
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!QChar::isSurrogate(unit))
            continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        bytes.append(text.sliced(plain, i - plain).toUtf8());
        bytes.append(char(0xE0 | (unit >> 12)));
        bytes.append(char(0x80 | ((unit >> 6) & 0x3F)));
        bytes.append(char(0x80 | (unit & 0x3F)));
        plain = i + 1;
    }
    bytes.append(text.sliced(plain).toUtf8());
    return bytes;
}

bool IsEncodedSurrogate(QByteArrayView bytes, qsizetype at)
{
    return at + 3 <= bytes.size() && uchar(bytes[at]) == 0xED &&
           (uchar(bytes[at + 1]) & 0xE0) == 0xA0 && (uchar(bytes[at + 2]) & 0xC0) == 0x80;
}

std::optional<QString> DecodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// UTF-8, or WTF-8 with its lone surrogates; nothing when the bytes are neither, or when two
// encoded surrogates make a pair, which WTF-8 writes in four bytes.
std::optional<QString> DecodeWtf8(QByteArrayView bytes)
{
    QString text;
    qsizetype plain = 0;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        if (!IsEncodedSurrogate(bytes, at))
            continue;
        const std::optional<QString> before = DecodeUtf8(bytes.sliced(plain, at - plain));
        if (!before)
            return std::nullopt;
        text += *before;
        const auto unit =
            char16_t(((uchar(bytes[at]) & 0x0F) << 12) | ((uchar(bytes[at + 1]) & 0x3F) << 6) |
                     (uchar(bytes[at + 2]) & 0x3F));
        if (QChar::isLowSurrogate(unit) && !text.isEmpty() && text.back().isHighSurrogate())
            return std::nullopt;
        text += QChar(unit);
        at += 2;
        plain = at + 1;
    }
    const std::optional<QString> rest = DecodeUtf8(bytes.sliced(plain));
    if (!rest)
        return std::nullopt;
    return text + *rest;
}

QString DecodeProfileText(QByteArrayView bytes)
{
    if (std::optional<QString> text = DecodeWtf8(bytes))
        return *std::move(text);
    return QString::fromLatin1(bytes);
}

bool NameMatches(QByteArrayView stored, QStringView wanted)
{
    return DecodeProfileText(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

void ClassifyLine(QByteArrayView content, ProfileLine& line)
{
    const QByteArrayView trimmed = TrimBlanks(content);
    if (trimmed.isEmpty()) {
        line.kind = ProfileLineKind::Blank;
        return;
    }
    if (trimmed.front() == '[') {
        const qsizetype close = trimmed.lastIndexOf(']');
        if (close > 0) {
            line.kind = ProfileLineKind::Section;
            line.name = TrimBlanks(trimmed.sliced(1, close - 1));
            return;
        }
    }
    if (trimmed.front() == ';') {
        line.kind = ProfileLineKind::Comment;
        return;
    }
    const qsizetype equals = trimmed.indexOf('=');
    if (equals < 0) {
        line.kind = ProfileLineKind::Other;
        return;
    }
    line.kind = ProfileLineKind::Entry;
    line.name = TrimBlanks(trimmed.first(equals));
    line.value = TrimBlanks(trimmed.sliced(equals + 1));
}

// Walks the lines of a text one at a time, so that a large file is never split up whole.
class LineCursor
{
public:
    explicit LineCursor(QByteArrayView text)
        : text_(text)
        , pos_(text.startsWith(kUtf8Bom) ? kUtf8Bom.size() : 0)
    {}

    std::optional<ProfileLine> Next()
    {
        if (pos_ >= text_.size())
            return std::nullopt;
        ProfileLine line;
        line.start = pos_;
        qsizetype end = pos_;
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r')
            ++end;
        line.end = end;
        line.next = end;
        if (end < text_.size()) {
            const bool crLf =
                text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n';
            line.next = end + (crLf ? 2 : 1);
        }
        ClassifyLine(text_.sliced(line.start, line.end - line.start), line);
        pos_ = line.next;
        return line;
    }

private:
    QByteArrayView text_;
    qsizetype pos_;
};

bool IsSectionNamed(const ProfileLine& line, QStringView section)
{
    return line.kind == ProfileLineKind::Section && NameMatches(line.name, section);
}

bool IsEntryNamed(const ProfileLine& line, QStringView key)
{
    return line.kind == ProfileLineKind::Entry && NameMatches(line.name, key);
}

// A key that reads back as itself once written as "key=value".
bool IsStorableKey(QStringView key)
{
    return !key.isEmpty() && !HasLineBreak(key) && !key.contains(u'=') && !key.startsWith(u'[') &&
           !key.startsWith(u';');
}

struct ByteRange
{
    qsizetype begin;
    qsizetype end;
};

QByteArray WithoutRanges(QByteArrayView text, const std::vector<ByteRange>& ranges)
{
    QByteArray result;
    result.reserve(text.size());
    qsizetype kept = 0;
    for (const ByteRange& range : ranges) {
        result.append(text.sliced(kept, range.begin - kept));
        kept = range.end;
    }
    result.append(text.sliced(kept));
    return result;
}

QByteArray Spliced(QByteArrayView text, ByteRange replaced, QByteArrayView replacement)
{
    QByteArray result;
    result.reserve(text.size() + replacement.size());
    result.append(text.first(replaced.begin));
    result.append(replacement);
    result.append(text.sliced(replaced.end));
    return result;
}

QByteArray EntryLine(QByteArrayView key, QStringView value)
{
    QByteArray line(key.data(), key.size());
    line.append('=');
    line.append(EncodeProfileText(value));
    line.append(kLineBreak);
    return line;
}

QByteArray WithValue(QByteArrayView text, QStringView section, QStringView key, QStringView value)
{
    LineCursor cursor(text);
    std::optional<ProfileLine> last;
    std::optional<ProfileLine> insertAfter; // the section's header or its last entry
    bool inSection = false;
    while (const std::optional<ProfileLine> line = cursor.Next()) {
        last = line;
        if (line->kind == ProfileLineKind::Section) {
            if (inSection)
                break;
            inSection = IsSectionNamed(*line, section);
            if (inSection)
                insertAfter = line;
            continue;
        }
        if (!inSection)
            continue;
        if (IsEntryNamed(*line, key))
            return Spliced(text, {line->start, line->next}, EntryLine(line->name, value));
        if (line->kind == ProfileLineKind::Entry || line->kind == ProfileLineKind::Other)
            insertAfter = line;
    }

    QByteArray added;
    const std::optional<ProfileLine>& before = insertAfter ? insertAfter : last;
    if (before && !before->HasLineBreak())
        added.append(kLineBreak);
    if (!insertAfter) {
        added.append('[');
        added.append(section.toUtf8());
        added.append(']');
        added.append(kLineBreak);
    }
    added.append(EntryLine(key.toUtf8(), value));
    const qsizetype at = insertAfter ? insertAfter->next : text.size();
    return Spliced(text, {at, at}, added);
}

QByteArray WithoutKey(QByteArrayView text, QStringView section, QStringView key)
{
    LineCursor cursor(text);
    std::vector<ByteRange> removed;
    bool inSection = false;
    while (const std::optional<ProfileLine> line = cursor.Next()) {
        if (line->kind == ProfileLineKind::Section) {
            if (inSection)
                break;
            inSection = IsSectionNamed(*line, section);
        } else if (inSection && IsEntryNamed(*line, key)) {
            removed.push_back({line->start, line->next});
        }
    }
    return WithoutRanges(text, removed);
}

QByteArray WithoutSection(QByteArrayView text, QStringView section)
{
    LineCursor cursor(text);
    std::vector<ByteRange> removed;
    qsizetype removalStart = -1; // where the section being removed began, or -1
    while (const std::optional<ProfileLine> line = cursor.Next()) {
        if (line->kind != ProfileLineKind::Section)
            continue;
        if (removalStart >= 0)
            removed.push_back({removalStart, line->start});
        removalStart = IsSectionNamed(*line, section) ? line->start : -1;
    }
    if (removalStart >= 0)
        removed.push_back({removalStart, text.size()});
    return WithoutRanges(text, removed);
}

QString WithoutEnclosingQuotes(QString value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

// A read trims blanks around a value and removes one pair of enclosing quotes: a value
// that either would change is stored inside double quotes, which the read removes again.
QString StoredValue(QStringView value)
{
    const bool enclosed = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                          value.back() == value.front();
    if (!enclosed && TrimBlanks(value).size() == value.size())
        return value.toString();
    return u'"' + value.toString() + u'"';
}

QString WithoutTrailingSpaces(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.first(end).toString();
}

QString CutToValueLimit(QString text)
{
    if (text.size() <= kProfileValueLimit)
        return text;
    qsizetype size = kProfileValueLimit;
    if (text[size - 1].isHighSurrogate())
        --size;
    text.truncate(size);
    return text;
}

} // namespace

std::vector<ProfileLine> ParseProfileLines(QByteArrayView text)
{
    std::vector<ProfileLine> lines;
    LineCursor cursor(text);
    while (std::optional<ProfileLine> line = cursor.Next())
        lines.push_back(*line);
    return lines;
}

std::optional<QString> FindProfileValue(QByteArrayView text, QStringView section, QStringView key)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (section.isEmpty() || key.isEmpty() || IsUtf16(text))
        return std::nullopt;
    LineCursor cursor(text);
    bool inSection = false;
    while (const std::optional<ProfileLine> line = cursor.Next()) {
        if (line->kind == ProfileLineKind::Section) {
            if (inSection)
                return std::nullopt;
            inSection = IsSectionNamed(*line, section);
        } else if (inSection && IsEntryNamed(*line, key)) {
            return DecodeProfileText(line->value);
        }
    }
    return std::nullopt;
}

QString ReadProfileString(QByteArrayView text, QStringView section, QStringView key,
                          QStringView defaultValue)
{
    if (std::optional<QString> value = FindProfileValue(text, section, key))
        return CutToValueLimit(WithoutEnclosingQuotes(std::move(*value)));
    return CutToValueLimit(WithoutTrailingSpaces(defaultValue));
}

std::optional<QByteArray> WriteProfileString(QByteArrayView text, QStringView section,
                                             QStringView key, QStringView value)
{
    section = TrimBlanks(section);
    if (IsUtf16(text) || section.isEmpty() || HasLineBreak(section))
        return std::nullopt;
    if (key.isEmpty())
        return WithoutSection(text, section);
    key = TrimBlanks(key);
    if (!IsStorableKey(key))
        return std::nullopt;
    if (value.isEmpty())
        return WithoutKey(text, section, key);
    if (HasLineBreak(value))
        return std::nullopt;
    return WithValue(text, section, key, StoredValue(value));
}

QByteArrayView CompleteProfileLines(QByteArrayView head)
{
    qsizetype end = head.size();
    while (end > 0 && head[end - 1] != '\n' && head[end - 1] != '\r')
        --end;
    return head.first(end);
}

} // namespace settings
