// Puts a text on the clipboard and ends the way the program does: the text is set from
// within the event loop, the loop ends, KeepClipboardAfterExit runs while the application
// object still lives, and main returns.
//
//     clipboard_probe <text>
//     clipboard_probe --file <path>    (the file's UTF-8 content, for texts beyond argv limits)
//
// Exit status: 0 when the clipboard took the text, 1 when it did not, 2 on bad usage.

#include "clipboard/clipboard.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstring>
#include <optional>

namespace {

std::optional<QString> TextFromArguments(int argc, char* argv[])
{
    if (argc == 2)
        return QString::fromUtf8(argv[1]);
    if (argc == 3 && std::strcmp(argv[1], "--file") == 0) {
        QFile file(QString::fromUtf8(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return QString::fromUtf8(file.readAll());
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const std::optional<QString> text = TextFromArguments(argc, argv);
    if (!text)
        return 2;

    int status = 1;
    QTimer::singleShot(0, &app, [&] {
        if (SetClipboardText(*text))
            status = 0;
        QCoreApplication::quit();
    });
    QApplication::exec();
    KeepClipboardAfterExit();
    return status;
}
