#include "clipboard/clipboard.h"

// Windows and macOS keep the clipboard's content after its owner has ended.
void KeepClipboardAfterExit() {}
