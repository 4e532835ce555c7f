// Brings the program into the states that the README shows, for
// scripts/screenshots.sh: a Create running over a large tree, and the
// configuration dialog. At each state it prints "READY name x y width
// height" and waits until the file name.done appears in the folder given.
//
//   screenshot_driver FOLDER TREE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/driver.h"

namespace {

bool Announce(const std::string& folder, const char* name, HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    std::printf("READY %s %ld %ld %ld %ld\n", name, rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    std::fflush(stdout);
    std::string done = folder + "\\" + name + ".done";
    return WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: screenshot_driver FOLDER TREE\n");
        return 2;
    }
    std::string folder = argv[1];
    Program program;
    if (program.mainWindow() == nullptr) return 1;
    HWND window = program.mainWindow();

    HWND dialog = program.OpenConfig();
    if (dialog == nullptr) return 1;
    program.AddDirectory(dialog, argv[2]);
    program.AddDirectory(dialog, std::string(argv[2]) + "\\doc", 1);
    Send(GetDlgItem(dialog, IDC_CONFIG_CHECKSUMS), BM_CLICK, 0, 0);
    program.CloseConfig(dialog, IDOK);

    program.Click(IDC_MAIN_CREATE);
    bool scanning = WaitUntil([&] {
        return program.Field(IDC_MAIN_STATUS) == "Building O/S signature" &&
               std::atoi(program.Field(IDC_MAIN_SCAN_FILES).c_str()) > 300 &&
               program.Field(IDC_MAIN_FILE_TIME) != "N/A";
    }, 60000);
    if (!scanning || !Announce(folder, "main-window", window)) return 1;
    program.Click(IDC_MAIN_STOP);
    WaitUntil([&] { return program.Enabled(IDC_MAIN_CONFIG); }, 30000);
    // Let the stopped worker finish before the dialog opens.
    Sleep(2000);

    dialog = program.OpenConfig();
    if (dialog == nullptr) return 1;
    program.SetText(dialog, IDC_CONFIG_DIRECTORY, "C:\\Program Files");
    if (!Announce(folder, "config-dialog", dialog)) return 1;
    program.CloseConfig(dialog, IDCANCEL);
    program.Click(IDC_MAIN_EXIT);
    program.EndsCleanly();
    return 0;
}
