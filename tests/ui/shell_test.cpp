#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "model/app_state.h"
#include "support/test_files.h"
#include "support/window_search.h"
#include "ui/control_ids.h"
#include "ui/shell.h"

namespace {

// The first visible top-level window of thread that match accepts.
HWND FindVisibleThreadWindow(DWORD thread, const WindowTest& match)
{
    return FindThreadWindow(thread, [&](HWND window) { return IsWindowVisible(window) && match(window); });
}

// The first descendant of parent whose class is className.
HWND FindChild(HWND parent, const char* className)
{
    return FindChildWindow(parent, [&](HWND window) { return lstrcmpiA(ClassOf(window).c_str(), className) == 0; });
}

// On another thread: waits (bounded) for the picker that match accepts on
// this thread, lets act fill it in, then presses button.
std::thread AnswerPicker(WindowTest match, std::function<void(HWND)> act, int button)
{
    DWORD thread = GetCurrentThreadId();
    return std::thread([=] {
        HWND picker = nullptr;
        for (int tries = 0; tries < 200 && picker == nullptr; ++tries) {
            Sleep(50);
            picker = FindVisibleThreadWindow(thread, match);
        }
        if (picker == nullptr) return;
        Sleep(300);  // let the picker finish filling itself in
        act(picker);
        PostMessageA(picker, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    });
}

WindowTest Titled(const char* title)
{
    return [title](HWND window) {
        char text[128] = "";
        GetWindowTextA(window, text, sizeof text);
        return std::strcmp(text, title) == 0;
    };
}

constexpr char SIGNATURE_FILTER[] = "Signature Files (*.SIG)\0*.sig\0";

TEST(FilePickers, SettingsTitlesAndFlags)
{
    std::memset(&fileDialog, 0xAB, sizeof fileDialog);
    PrepareFileDialog(nullptr);
    // Wine shows no picker at all with a wrong size.
    EXPECT_EQ(fileDialog.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
    EXPECT_EQ(fileDialog.nMaxFile, 260u);
    EXPECT_EQ(fileDialog.nMaxFileTitle, 512u);
    EXPECT_EQ(fileDialog.lpstrInitialDir, nullptr);  // nothing left from an earlier picker

    // Save: found by its title, adds the default extension.
    std::string folder = MakeTestFolder("pickers");
    char path[260] = "";
    char title[512] = "";
    std::thread answer = AnswerPicker(Titled("Select a signature file name"), [&](HWND picker) {
        HWND edit = FindChild(GetDlgItem(picker, 1148), "Edit");
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((folder + "\\saved").c_str()));
    }, IDOK);
    BOOL saved = ChooseFileToSave(nullptr, path, title, SIGNATURE_FILTER, "sig", "Select a signature file name");
    answer.join();
    ASSERT_TRUE(saved);
    EXPECT_EQ(lstrcmpiA(path, (folder + "\\saved.sig").c_str()), 0) << path;
    EXPECT_EQ(lstrcmpiA(title, "saved.sig"), 0) << title;
    EXPECT_EQ(fileDialog.Flags & (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY),
              static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
    Sleep(300);

    // Open: its own title, and a name that does not exist is not refused
    // by the picker (the loader reports it).
    PrepareFileDialog(nullptr);
    answer = AnswerPicker(Titled("Select a file to open"), [](HWND) {}, IDCANCEL);
    EXPECT_FALSE(ChooseFileToOpen(nullptr, path, title, SIGNATURE_FILTER, "sig"));
    answer.join();
    EXPECT_EQ(fileDialog.Flags & (OFN_FILEMUSTEXIST | OFN_HIDEREADONLY), static_cast<DWORD>(OFN_HIDEREADONLY));
}

TEST(FolderPicker, ADriveRootKeepsItsBackslashAndCancelGivesNoPath)
{
    auto hasTree = [](HWND window) { return FindChild(window, WC_TREEVIEWA) != nullptr; };
    auto selectDrive = [](HWND picker) {
        SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\"));
        Sleep(100);
    };
    for (int button : {IDOK, IDCANCEL}) {
        char path[MAX_PATH] = "";
        std::thread answer = AnswerPicker(hasTree, selectDrive, button);
        int chosen = BrowseForDirectory(nullptr, path);
        answer.join();
        // A cancelled picker may have written the selection's display name.
        EXPECT_EQ(chosen, button == IDOK ? 1 : 0);
        EXPECT_STREQ(path, button == IDOK ? "C:\\" : "");
    }
}

TEST(CentreWindowOver, CentresTruncatingAndClampsToTheScreen)
{
    HDC dc = GetDC(nullptr);
    const int w = GetDeviceCaps(dc, HORZRES);
    const int h = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(nullptr, dc);
    auto make = [] {
        return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    };
    HWND window = make();
    HWND other = make();
    struct Case { RECT over; SIZE size; POINT expected; };
    const Case cases[] = {
        {{200, 150, 299, 249}, {400, 300}, {150, 125}},                    // halves of -101, -51 truncate
        {{-250, -200, 300, 200}, {400, 300}, {0, 0}},                      // left and top edges
        {{w - 100, h - 80, 300, 200}, {400, 300}, {w - 400, h - 300}},     // right and bottom edges
        {{200, 100, w, h}, {w + 100, h + 60}, {-100, -60}},                // larger than the screen
        {{0, 0, w, h}, {w + 100, h + 60}, {0, 0}},                         // ... the near edge wins
    };
    for (const Case& c : cases) {
        SetWindowPos(other, nullptr, c.over.left, c.over.top, c.over.right, c.over.bottom, SWP_NOZORDER);
        SetWindowPos(window, nullptr, 0, 0, c.size.cx, c.size.cy, SWP_NOZORDER);
        CentreWindowOver(window, other);
        RECT at;
        GetWindowRect(window, &at);
        EXPECT_EQ(at.left, c.expected.x) << "over " << c.over.left << "," << c.over.top;
        EXPECT_EQ(at.top, c.expected.y) << "over " << c.over.left << "," << c.over.top;
        EXPECT_EQ(at.right - at.left, c.size.cx);  // size unchanged
    }
    DestroyWindow(window);
    DestroyWindow(other);
}

TEST(HelpPage, PathBelowTheProgramFolderNeverOverrunsItsBuffer)
{
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    *std::strrchr(program, '\\') = '\0';
    std::string folder = program;
    size_t room = 299 - folder.size() - std::strlen("\\help\\html\\");

    char buffer[HELP_PATH_SIZE + 16];
    auto build = [&](const std::string& page) {
        std::memset(buffer, '#', sizeof buffer);
        return BuildHelpPagePath(buffer, page.c_str());
    };
    ASSERT_TRUE(build("Index.html"));
    EXPECT_EQ(std::string(buffer), folder + "\\help\\html\\Index.html");
    ASSERT_TRUE(build(std::string(room, 'p')));
    EXPECT_EQ(std::strlen(buffer), 299u);

    std::string tooLong(room + 1, 'p');
    EXPECT_FALSE(build(tooLong));
    EXPECT_EQ(buffer[0], '\0');
    for (size_t i = HELP_PATH_SIZE; i < sizeof buffer; ++i) {
        ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    }
    ShowHelpPage(nullptr, tooLong.c_str());  // shows nothing, harms nothing
    ShowHelpPage(nullptr, "no-such-page.htm");
    EXPECT_EQ(FindVisibleThreadWindow(GetCurrentThreadId(), [](HWND) { return true; }), nullptr);
}

TEST(AboutBox, ShowsTheVersionAndPictureCentredOverTheMainWindow)
{
    HWND main = CreateWindowExA(0, "STATIC", "", WS_POPUP, 100, 80, 600, 500, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    appState.mainWindow = main;
    HWND box = CreateDialogParamA(GetModuleHandleA(nullptr), "ABOUTBOX", main, AboutDialogProc, 0);
    ASSERT_NE(box, nullptr);
    char text[64] = "";
    GetDlgItemTextA(box, IDC_ABOUT_VERSION, text, sizeof text);
    EXPECT_STREQ(text, "Olvarin V1.3 Build: 1001");
    BITMAP picture = {};
    GetObjectA(reinterpret_cast<HBITMAP>(SendDlgItemMessageA(box, IDC_ABOUT_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0)),
               sizeof picture, &picture);
    EXPECT_EQ(picture.bmWidth, 279);
    EXPECT_EQ(picture.bmHeight, 225);
    RECT rect;
    GetWindowRect(box, &rect);
    EXPECT_EQ(rect.left, 100 + (600 - (rect.right - rect.left)) / 2);
    EXPECT_EQ(rect.top, 80 + (500 - (rect.bottom - rect.top)) / 2);
    DestroyWindow(box);
    DestroyWindow(main);
    appState.mainWindow = nullptr;
}

}  // namespace
