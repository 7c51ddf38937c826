// Feeds arbitrary INI text and names to the profile reader and writer and checks that a
// write changes only what it names and reads back as written.
//
// Input: section, key, value, a second section and key, each ended by "\ " (a backslash
// and any other byte; "\\" stands for one backslash), then the file's bytes.

#include "fuzz_require.h"
#include "settings/ini_profile.h"

#include <QStringDecoder>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace settings;

namespace {

QString TakeText(FuzzedDataProvider& data, size_t maxLength)
{
    const std::string text = data.ConsumeRandomLengthString(maxLength);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\x1A';
}

QString Trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool SameName(const QString& a, const QString& b)
{
    return Trimmed(a).compare(Trimmed(b), Qt::CaseInsensitive) == 0;
}

QString Decoded(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

bool HasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

void CheckLines(QByteArrayView text)
{
    const std::vector<ProfileLine> lines = ParseProfileLines(text);
    qsizetype expectedStart = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (const ProfileLine& line : lines) {
        Require(line.start == expectedStart && line.start <= line.end && line.end <= line.next);
        Require(line.next > line.start);
        const QByteArrayView content = text.sliced(line.start, line.end - line.start);
        Require(!content.contains('\n') && !content.contains('\r'));
        for (const QByteArrayView part : {line.name, line.value})
            Require(part.isEmpty() ||
                    (part.data() >= content.data() && part.end() <= content.end()));
        expectedStart = line.next;
    }
    Require(expectedStart >= text.size());
}

// Where the first section named `section` starts and ends, or the end of the text twice.
std::pair<qsizetype, qsizetype> FirstSectionSpan(QByteArrayView text, const QString& section)
{
    const std::vector<ProfileLine> lines = ParseProfileLines(text);
    qsizetype begin = -1;
    for (const ProfileLine& line : lines) {
        if (line.kind != ProfileLineKind::Section)
            continue;
        if (begin >= 0)
            return {begin, line.start};
        if (SameName(Decoded(line.name), section))
            begin = line.start;
    }
    return {begin >= 0 ? begin : text.size(), text.size()};
}

// What a read gives is what was written, blanks and quotes included, up to the read's
// limit of characters.
void RequireReadsBack(QByteArrayView written, const QString& section, const QString& key,
                      const QString& value)
{
    const QString read = ReadProfileString(written, section, key, u"-");
    if (value.size() <= kProfileValueLimit)
        Require(read == value);
    else
        Require(value.startsWith(read) && read.size() >= kProfileValueLimit - 1);
}

void CheckWrite(QByteArrayView text, const QString& section, const QString& key,
                const QString& value, const QString& otherSection, const QString& otherKey)
{
    const std::optional<QByteArray> written = WriteProfileString(text, section, key, value);
    if (!written) {
        const QString storedKey = Trimmed(key);
        const bool refusable =
            text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF") ||
            Trimmed(section).isEmpty() || HasLineBreak(section) ||
            (!key.isEmpty() &&
             (storedKey.isEmpty() || storedKey.contains(u'=') || storedKey.startsWith(u'[') ||
              storedKey.startsWith(u';') || HasLineBreak(key) || HasLineBreak(value)));
        Require(refusable);
        return;
    }

    Require(WriteProfileString(*written, section, key, value) == written);

    if (key.isEmpty())
        Require(!FindProfileValue(*written, section, otherKey));
    else if (value.isEmpty())
        Require(!FindProfileValue(*written, section, key));
    else
        RequireReadsBack(*written, section, key, value);

    const bool sameSection = SameName(section, otherSection);
    if (!sameSection || (!key.isEmpty() && !SameName(key, otherKey)))
        Require(FindProfileValue(text, otherSection, otherKey) ==
                FindProfileValue(*written, otherSection, otherKey));

    const auto [begin, end] = FirstSectionSpan(text, Trimmed(section));
    Require(written->startsWith(text.first(begin)));
    if (!key.isEmpty())
        Require(written->endsWith(text.sliced(end)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const QString section = TakeText(data, 32);
    const QString key = TakeText(data, 32);
    const QString value = TakeText(data, 3000);
    const QString otherSection = TakeText(data, 32);
    const QString otherKey = TakeText(data, 32);
    const std::string file = data.ConsumeRemainingBytesAsString();
    const QByteArrayView text(file.data(), qsizetype(file.size()));

    CheckLines(text);

    const QString read = ReadProfileString(text, section, key, value);
    Require(read.size() <= kProfileValueLimit);
    Require(read.isEmpty() || !read.back().isHighSurrogate());

    const QByteArrayView complete = CompleteProfileLines(text);
    Require(text.startsWith(complete));
    Require(!text.sliced(complete.size()).contains('\n') &&
            !text.sliced(complete.size()).contains('\r'));

    CheckWrite(text, section, key, value, otherSection, otherKey);
    return 0;
}
