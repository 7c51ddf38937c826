// Writes settings into a file on a file system it fills first, then once more after making
// room. Prints what each write returned and the file's text after it, in base 64.
//   full_disk_probe <settings file> <filler file>
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

void Print(const char* what, int result, const QString& path)
{
    QFile file(path);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    std::printf("%s %d %s\n", what, result, text.toBase64().constData());
}

// Writes until the file system has no room left.
bool Fill(const QString& path)
{
    QFile filler(path);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    // What no whole block fits into.
    while (filler.write("x", 1) == 1) {
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString settings = QString::fromLocal8Bit(argv[1]);
    const QString filler = QString::fromLocal8Bit(argv[2]);
    if (!Fill(filler))
        return 3;
    const QString section = QStringLiteral("Main");
    Print("position",
          basMosaq::WriteSetting(section, QStringLiteral("Window Position"),
                                 QStringLiteral("1500, 1200, 6000, 6600"), settings),
          settings);
    Print("maximized",
          basMosaq::WriteSetting(section, QStringLiteral("Maximized"), QStringLiteral("False"),
                                 settings),
          settings);
    QFile::remove(filler);
    Print("with room",
          basMosaq::WriteSetting(section, QStringLiteral("Maximized"), QStringLiteral("False"),
                                 settings),
          settings);
    return 0;
}
