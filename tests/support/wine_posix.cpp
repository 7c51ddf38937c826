#include "support/wine.h"

bool RunningUnderWine()
{
    return false;
}
