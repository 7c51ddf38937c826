// Writes a setting on a system whose disk reports every sync as failed, as a network file
// system with a full quota does. Prints what the write returned.
//   failing_sync_probe <settings file>
#include "settings/settings.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>

// Takes the place of the C library's for the whole process, Qt's calls included.
extern "C" int fsync(int /*descriptor*/)
{
    errno = EIO;
    return -1;
}

extern "C" int fdatasync(int /*descriptor*/)
{
    errno = EIO;
    return -1;
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const int result =
        basMosaq::WriteSetting(QStringLiteral("Main"), QStringLiteral("Last Path"),
                               QStringLiteral("/new"), QString::fromLocal8Bit(argv[1]));
    std::printf("%d\n", result);
    return 0;
}
