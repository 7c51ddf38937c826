// Linked into every executable of a sanitizer build. A leak counts as ours when the code
// that called the allocator is ours; a leak allocated inside a system library (Mesa's EGL,
// fontconfig, GLib, Qt itself) is that library's, whichever of them a machine loads.
//
// LeakSanitizer matches a suppression against every frame of a leak's stack, and every
// stack runs through Qt and libc. So each allocation keeps two frames only, the allocator
// and its caller, and every shared library loaded at the time of the check, but the
// sanitizer runtime that holds the allocator, is suppressed by its full path. The program
// and its tests link the project's code statically, so a leak whose caller is ours lies in
// the executable, which has no path in the list. Libraries are never unloaded, so that the
// caller of every allocation still lies in a library at the time of the check.

#include <link.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool IsSanitizerRuntime(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    return std::strncmp(name, "libasan", 7) == 0 || std::strncmp(name, "liblsan", 7) == 0;
}

void AddRule(std::string& rules, const char* path)
{
    rules += "leak:^";
    rules += path;
    rules += "$\n";
}

// A library by the name it was loaded by and by its real path, which the sanitizer takes
// from the process's mappings where the loader's list does not cover an address.
int SuppressLibrary(dl_phdr_info* info, size_t /*size*/, void* data)
{
    const char* path = info->dlpi_name;
    if (path == nullptr || *path == '\0' || IsSanitizerRuntime(path))
        return 0;
    auto& rules = *static_cast<std::string*>(data);
    AddRule(rules, path);
    if (char* real = realpath(path, nullptr)) {
        if (std::strcmp(real, path) != 0)
            AddRule(rules, real);
        std::free(real);
    }
    return 0;
}

} // namespace

// NOLINTBEGIN(readability-identifier-naming): the sanitizer runtime names these.
extern "C" {

// Read once, when the first leak check starts: dlopened plugins are loaded by then.
const char* __lsan_default_suppressions()
{
    static std::string rules;
    rules.clear();
    dl_iterate_phdr(SuppressLibrary, &rules);
    return rules.c_str();
}

// Libraries stay loaded to the end: one that a plugin unloads early (Mesa's EGL driver,
// unloaded by libglvnd) would leave its leaks at addresses of no module, which no rule can
// name. This definition in the executable comes before libc's for every caller.
int dlclose(void* /*handle*/)
{
    return 0;
}

// Options given in the environment still win, flag by flag.
const char* __asan_default_options()
{
    return "detect_leaks=1:malloc_context_size=2:detect_stack_use_after_return=0";
}

} // extern "C"
// NOLINTEND(readability-identifier-naming)
