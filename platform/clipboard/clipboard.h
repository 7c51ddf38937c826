#pragma once

#include <QString>

// Puts `text` on the system clipboard. Returns false when the clipboard did not take it.
bool SetClipboardText(const QString& text);

// Called once after the event loop has ended, while the application object still lives:
// makes sure the text this program put on the clipboard stays available after it exits.
void KeepClipboardAfterExit();
