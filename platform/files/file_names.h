#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// File names as the program holds them. A POSIX file name is bytes, nearly always UTF-8
// but not always: an old archive may hold Latin-1 names such as "caf\xe9.jpg". Such a name
// is held as its UTF-8 text with every other byte kept as a lone surrogate, U+DC80 to
// U+DCFF for the bytes 0x80 to 0xFF, so that it sorts, matches and joins paths as text and
// still names its file. On Windows names are UTF-16 already, lone surrogates and all.
namespace files {

// The name held for the bytes `bytes`.
QString NameFromBytes(QByteArrayView bytes);
// The bytes of a held name: the inverse of NameFromBytes. Other lone surrogates, which no
// POSIX name decodes to, become U+FFFD.
QByteArray NameBytes(QStringView name);
// Whether a held name keeps bytes or halves of characters that are not text.
bool ContainsNonText(QStringView name);
// The name as it is shown: every lone surrogate as U+FFFD, the replacement character.
QString ShownName(const QString& name);

} // namespace files
