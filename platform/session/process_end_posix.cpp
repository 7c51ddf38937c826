#include "session/process_end.h"

#include <unistd.h>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define TESSELLON_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSELLON_LEAK_CHECK 1
#endif
#endif
#ifdef TESSELLON_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

// _exit, not exit: exit would run the destructors of static objects, Qt's among them, under
// the feet of threads that still use them.
void EndProcess(int status)
{
    std::fflush(nullptr);
#ifdef TESSELLON_LEAK_CHECK
    __lsan_do_leak_check();
#endif
    ::_exit(status);
}
