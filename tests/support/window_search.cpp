#include "support/window_search.h"

namespace {

struct Search {
    const WindowTest& match;
    HWND found;
};

BOOL CALLBACK TakeFirstMatch(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    if (!search->match(window)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindTopWindow(const WindowTest& match)
{
    Search search = {match, nullptr};
    EnumWindows(TakeFirstMatch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindChildWindow(HWND parent, const WindowTest& match)
{
    Search search = {match, nullptr};
    EnumChildWindows(parent, TakeFirstMatch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindThreadWindow(DWORD thread, const WindowTest& match)
{
    Search search = {match, nullptr};
    EnumThreadWindows(thread, TakeFirstMatch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
