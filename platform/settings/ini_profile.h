#pragma once

// Reading and rewriting INI text the way the classic profile-string functions do, on the
// bytes of a file held in memory. Nothing here touches the file system.
//
// Lines end in LF, CR LF or a lone CR. A line whose first non-blank character is "["
// and that holds a "]" starts a section named by the text up to the last "]". A line
// holding "=" is an entry: key before the first "=", value after it. Lines starting with
// ";" are comments. Everything else (blank lines, lines without "=", text before the first
// section) is kept but never matches. Names match in any letter case; the first matching
// section, and the first matching key inside it, win. Text is UTF-8; a name or value that
// is not valid UTF-8 is read as Latin-1. A UTF-8 byte order mark is skipped and kept.
// Values are written in WTF-8: a lone surrogate, which Windows file names may hold, takes
// the three bytes UTF-8 would give its code point, and reads back as it was.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace settings {

// Characters a read returns at most; the rest of a longer value is cut off.
inline constexpr qsizetype kProfileValueLimit = 2047;

// Bytes of a settings file that are read; what lies beyond counts as absent.
inline constexpr qsizetype kProfileFileLimit = qsizetype(1) << 20;

enum class ProfileLineKind { Blank, Comment, Section, Entry, Other };

struct ProfileLine
{
    ProfileLineKind kind = ProfileLineKind::Blank;
    qsizetype start = 0;  // offset of the line's first byte
    qsizetype end = 0;    // offset just past its content, before the line break
    qsizetype next = 0;   // offset of the following line, past the line break
    QByteArrayView name;  // section name or key, without surrounding blanks
    QByteArrayView value; // an entry's value, without surrounding blanks

    bool HasLineBreak() const { return next > end; }
};

// Splits `text` into lines; the views in the result point into `text`.
std::vector<ProfileLine> ParseProfileLines(QByteArrayView text);

// The value of `key` in `section` as stored (blanks around it removed, quotes kept), or
// nothing when the section or key is absent.
std::optional<QString> FindProfileValue(QByteArrayView text, QStringView section, QStringView key);

// The text a profile read returns: the value with one pair of enclosing quotes removed, or
// `defaultValue` without its trailing blanks when the value is absent; at most
// kProfileValueLimit characters either way.
QString ReadProfileString(QByteArrayView text, QStringView section, QStringView key,
                          QStringView defaultValue);

// `text` after a profile write: a nonempty value replaces the key's line in place, or is
// added at the end of its section, or in a new section at the end; an empty value removes
// the key; an empty key removes the section. A value with blanks at either end, or that is
// enclosed in quotes, is written inside double quotes, so that it reads back as it was.
// Lines that are not changed keep every byte, new lines end in CR LF. Nothing when the
// write cannot be represented in the file (a name or value holding a line break, a key
// that would not read back, UTF-16 text).
std::optional<QByteArray> WriteProfileString(QByteArrayView text, QStringView section,
                                             QStringView key, QStringView value);

// The leading complete lines of `head`, the first bytes of a longer file: a line cut off
// at the end of `head` counts as absent.
QByteArrayView CompleteProfileLines(QByteArrayView head);

} // namespace settings
