#include "ui/result_viewer.h"

#include <shellapi.h>

#include "compare/report.h"
#include "ui/message_box.h"

namespace {

constexpr char ERROR_TITLE[] = "Error";
constexpr char CANNOT_VIEW_TEXT[] =
    "A comparision result file has not yet been created or Olvarin\n"
    "could not start your default text editor (eg. Notepad)\n"
    "or you have no default editor for '.txt' files.\n"
    "\n"
    "If a comparision result file is available, you\n"
    "can open the result file, (olvarinresult.txt) manually\n"
    "\n"
    "If a comparision result file is not available, you\n"
    "can create one with the Compare Signature button\n";

}  // namespace

void ViewResult(HWND window)
{
    char path[RESULT_PATH_SIZE];
    BuildResultFilePath(path);
    // An empty path would have the shell open some folder instead.
    HINSTANCE opened = nullptr;
    if (path[0] != '\0') {
        opened = ShellExecuteA(window, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    }
    if (reinterpret_cast<INT_PTR>(opened) <= 32) {
        ShowMessageBox(window, CANNOT_VIEW_TEXT, ERROR_TITLE, MB_ICONEXCLAMATION | MB_OK);
    }
}
