#include "session/process_end.h"

#include <windows.h>

#include <cstdio>

void EndProcess(int status)
{
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status)); // not reached: TerminateProcess ends the caller
}
