#pragma once

#include <QString>
#include <QStringView>

namespace files {

// The text that names `path` where it is pasted: the path itself, or its file URI when
// the path holds what a paste would not show as it is (see ContainsUnpastableText) or, on
// POSIX, bytes that are not text. File managers, browsers and file dialogs open the URI,
// and no text encoding or terminal can act on what it escapes.
QString PastableFilePath(const QString& path);

// Whether `text` holds characters that a paste acts on or hides rather than shows: line
// breaks and tabs, which a shell without bracketed paste runs or completes, every other
// C0 and C1 control and DEL, the line and paragraph separators, and the bidirectional
// embeddings, overrides and isolates, which make a path read otherwise than it is.
bool ContainsUnpastableText(QStringView text);

} // namespace files
