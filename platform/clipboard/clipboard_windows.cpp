#include "clipboard/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include <ole2.h>

// Qt offers the text through an OLE data object that the program serves while it runs,
// and renders it into the clipboard itself only when the application object goes; the
// program ends before that. Flushing now leaves the rendered text on the clipboard, where
// Windows keeps it after the program has ended.
void KeepClipboardAfterExit()
{
    if (QGuiApplication::clipboard()->ownsClipboard())
        OleFlushClipboard();
}
