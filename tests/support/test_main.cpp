#include "session/process_end.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

int RunTests(int argc, char* argv[])
{
#ifndef Q_OS_WIN
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace

// Every test binary shares one QApplication. Widget tests run on the offscreen platform;
// on Windows, which has none, on the system's own. The process ends as the program's does.
int main(int argc, char* argv[])
{
    EndProcess(RunTests(argc, argv));
}
