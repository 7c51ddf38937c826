#include "session/process_end.h"

#include <cstdlib>

void EndProcess(int status)
{
    std::exit(status);
}
