#include "clipboard/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

bool SetClipboardText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    // Platforms without a system clipboard hold the text in the process and never
    // report owning it; the text read back tells for them.
    return clipboard->ownsClipboard() || clipboard->text() == text;
}
