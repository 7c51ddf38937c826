// Leaks one allocation the way its argument names, then ends.
#include <QString>

#include <regex.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace {

int* volatile sink = nullptr;

void LeakOwn()
{
    sink = new int[4]{1, 2, 3, 4};
    sink = nullptr;
}

// libc's own allocations, never freed: regfree is not called.
void LeakInLibc()
{
    regex_t expression;
    if (regcomp(&expression, "t[a-z]+s(s|l)on", REG_EXTENDED) == 0)
        std::memset(&expression, 0, sizeof expression);
}

// Qt's own allocation: the string's data, whose owner is never destroyed and then lost.
void LeakInQt()
{
    alignas(QString) unsigned char storage[sizeof(QString)];
    new (storage) QString(QString::number(1234567).repeated(64));
    std::memset(storage, 0, sizeof storage);
}

int CompareLeaking(const void* a, const void* b)
{
    sink = new int[4]{5, 6, 7, 8};
    sink = nullptr;
    return *static_cast<const int*>(a) - *static_cast<const int*>(b);
}

// Our allocation, made in a function that libc calls back.
void LeakInCallback()
{
    int numbers[] = {3, 1, 2};
    std::qsort(numbers, 3, sizeof(int), CompareLeaking);
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string_view how = argc > 1 ? argv[1] : "";
    if (how == "own")
        LeakOwn();
    else if (how == "libc")
        LeakInLibc();
    else if (how == "qt")
        LeakInQt();
    else if (how == "callback")
        LeakInCallback();
    else
        return 2;
    return 0;
}
