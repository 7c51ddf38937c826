// A Windows program for the end-to-end tests, which drive Wine from Linux: it asks Windows
// what the tests cannot ask through X.
//   windows_probe clipboard           prints the clipboard's text as UTF-8; ends with 1
//                                     when it holds none
//   windows_probe end-session CHOICE  sends the window titled "Tessellon" the session's
//                                     end, as a logoff does: WM_QUERYENDSESSION, then
//                                     WM_ENDSESSION, which CHOICE "end" confirms and "cancel"
//                                     calls off; prints what the window answered the query

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Another program may hold the clipboard open for a moment.
bool OpenTheClipboard()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr))
            return true;
        Sleep(20);
    }
    return false;
}

int PrintClipboard()
{
    if (!OpenTheClipboard())
        return 2;
    int status = 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            const int bytes =
                WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
            if (bytes > 0) {
                char* utf8 = new char[bytes];
                WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, nullptr, nullptr);
                std::fwrite(utf8, 1, size_t(bytes - 1), stdout);
                delete[] utf8;
                status = 0;
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return status;
}

int EndSession(bool confirmed)
{
    HWND window = FindWindowW(nullptr, L"Tessellon");
    if (window == nullptr)
        return 2;
    const LRESULT mayEnd = SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    std::printf("%s\n", mayEnd ? "may end" : "refused");
    std::fflush(stdout);
    SendMessageW(window, WM_ENDSESSION, confirmed ? TRUE : FALSE, ENDSESSION_LOGOFF);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "clipboard") == 0)
        return PrintClipboard();
    if (argc == 3 && std::strcmp(argv[1], "end-session") == 0)
        return EndSession(std::strcmp(argv[2], "end") == 0);
    std::fprintf(stderr, "usage: windows_probe clipboard | end-session end|cancel\n");
    return 64;
}
