#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "model/app_state.h"
#include "support/test_files.h"
#include "ui/control_ids.h"
#include "ui/shell.h"

namespace {

// ------------------------------------------------------------ file pickers

TEST(FileDialogTest, PrepareResetsEveryMemberToTheClassicRecord)
{
    std::memset(&fileDialog, 0xAB, sizeof fileDialog);
    HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    PrepareFileDialog(owner);

    // The record without its last three members: 76 bytes in the 32-bit
    // build, 136 in the 64-bit one. Wine shows no picker with a wrong size.
    EXPECT_EQ(fileDialog.lStructSize, sizeof(void*) == 8 ? 136u : 76u);
    EXPECT_EQ(fileDialog.hwndOwner, owner);
    EXPECT_EQ(fileDialog.nMaxFile, 260u);
    EXPECT_EQ(fileDialog.nMaxFileTitle, 512u);
    // Nothing left over from an earlier picker.
    EXPECT_EQ(fileDialog.lpstrFile, nullptr);
    EXPECT_EQ(fileDialog.lpstrInitialDir, nullptr);
    EXPECT_EQ(fileDialog.Flags, 0u);
}

struct PickerFound {
    DWORD thread;
    const char* title;
    HWND dialog;
};

BOOL CALLBACK FindPicker(HWND window, LPARAM param)
{
    auto* found = reinterpret_cast<PickerFound*>(param);
    char title[128] = "";
    GetWindowTextA(window, title, sizeof title);
    if (IsWindowVisible(window) && std::strcmp(title, found->title) == 0) {
        found->dialog = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindEdit(HWND window, LPARAM param)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, "Edit") == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// Waits on another thread for the picker with this title, types name into
// its file-name field and presses OK.
std::thread TypeIntoPicker(DWORD thread, const char* title, std::string name)
{
    return std::thread([thread, title, name] {
        for (int tries = 0; tries < 200; ++tries) {
            PickerFound found = {thread, title, nullptr};
            EnumThreadWindows(thread, FindPicker, reinterpret_cast<LPARAM>(&found));
            if (found.dialog != nullptr) {
                HWND edit = nullptr;
                EnumChildWindows(GetDlgItem(found.dialog, 1148), FindEdit,
                                 reinterpret_cast<LPARAM>(&edit));
                if (edit != nullptr) {
                    Sleep(200);  // let the picker finish filling itself in
                    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
                    PostMessageA(found.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(found.dialog, IDOK)));
                    return;
                }
            }
            Sleep(50);
        }
    });
}

constexpr char SIGNATURE_FILTER[] = "Signature Files (*.SIG)\0*.sig\0";

TEST(FileDialogTest, SaveAddsTheDefaultExtensionAndOpenAcceptsANewName)
{
    std::string folder = MakeTestFolder("pickers");
    char path[260] = "";
    char title[512] = "";

    PrepareFileDialog(nullptr);
    std::thread typist = TypeIntoPicker(GetCurrentThreadId(), "Select a signature file name",
                                        folder + "\\saved");
    BOOL saved = ChooseFileToSave(nullptr, path, title, SIGNATURE_FILTER, "sig",
                                  "Select a signature file name");
    typist.join();
    ASSERT_TRUE(saved);
    EXPECT_EQ(lstrcmpiA(path, (folder + "\\saved.sig").c_str()), 0) << path;
    EXPECT_EQ(lstrcmpiA(title, "saved.sig"), 0) << title;
    EXPECT_EQ(fileDialog.Flags & (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY),
              static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
    Sleep(300);  // give the closed picker a moment before the next one

    path[0] = '\0';
    title[0] = '\0';
    PrepareFileDialog(nullptr);
    typist = TypeIntoPicker(GetCurrentThreadId(), "Select a file to open",
                            folder + "\\not-there.sig");
    BOOL opened = ChooseFileToOpen(nullptr, path, title, SIGNATURE_FILTER, "sig");
    typist.join();
    ASSERT_TRUE(opened);
    EXPECT_EQ(lstrcmpiA(path, (folder + "\\not-there.sig").c_str()), 0) << path;
    EXPECT_EQ(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
}

// ------------------------------------------------------------ folder picker

BOOL CALLBACK FindTreeView(HWND window, LPARAM param)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, WC_TREEVIEWA) == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

struct FolderPicker {
    HWND dialog = nullptr;
    HWND tree = nullptr;
};

BOOL CALLBACK FindFolderPicker(HWND window, LPARAM param)
{
    auto* picker = reinterpret_cast<FolderPicker*>(param);
    HWND tree = nullptr;
    EnumChildWindows(window, FindTreeView, reinterpret_cast<LPARAM>(&tree));
    if (tree != nullptr && IsWindowVisible(window)) {
        picker->dialog = window;
        picker->tree = tree;
        return FALSE;
    }
    return TRUE;
}

// The first item at most depth levels down whose text ends in suffix,
// expanding items on the way.
HTREEITEM FindTreeItem(HWND tree, HTREEITEM item, const char* suffix, int depth)
{
    for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        char text[MAX_PATH] = "";
        TVITEMA info = {};
        info.mask = TVIF_TEXT;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
        size_t length = std::strlen(text);
        size_t suffixLength = std::strlen(suffix);
        if (length >= suffixLength && std::strcmp(text + length - suffixLength, suffix) == 0) {
            return item;
        }
        if (depth > 0) {
            TreeView_Expand(tree, item, TVE_EXPAND);
            HTREEITEM found = FindTreeItem(tree, TreeView_GetChild(tree, item), suffix, depth - 1);
            if (found != nullptr) return found;
        }
    }
    return nullptr;
}

// Waits for the folder picker, selects the item whose text ends in suffix
// (or none) and presses command.
std::thread AnswerFolderPicker(DWORD thread, const char* suffix, int command)
{
    return std::thread([thread, suffix, command] {
        FolderPicker picker;
        for (int tries = 0; tries < 200 && picker.dialog == nullptr; ++tries) {
            Sleep(50);
            EnumThreadWindows(thread, FindFolderPicker, reinterpret_cast<LPARAM>(&picker));
        }
        if (picker.dialog == nullptr) return;
        Sleep(300);
        if (suffix != nullptr) {
            HTREEITEM item = FindTreeItem(picker.tree, TreeView_GetRoot(picker.tree), suffix, 2);
            if (item != nullptr) TreeView_SelectItem(picker.tree, item);
            Sleep(100);
        }
        PostMessageA(picker.dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    });
}

TEST(FolderPickerTest, ADriveRootComesBackWithItsBackslash)
{
    char path[MAX_PATH] = "";
    std::thread answer = AnswerFolderPicker(GetCurrentThreadId(), "(C:)", IDOK);
    int chosen = BrowseForDirectory(nullptr, path);
    answer.join();
    EXPECT_EQ(chosen, 1);
    EXPECT_STREQ(path, "C:\\");
}

TEST(FolderPickerTest, CancelReturnsZeroAndNoPath)
{
    char path[MAX_PATH] = "";
    // Selecting a folder first lets the picker write its display name.
    std::thread answer = AnswerFolderPicker(GetCurrentThreadId(), "(C:)", IDCANCEL);
    int chosen = BrowseForDirectory(nullptr, path);
    answer.join();
    EXPECT_EQ(chosen, 0);
    EXPECT_STREQ(path, "");
}

// ------------------------------------------------------------ centring

class CentreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HDC dc = GetDC(nullptr);
        screenWidth = GetDeviceCaps(dc, HORZRES);
        screenHeight = GetDeviceCaps(dc, VERTRES);
        ReleaseDC(nullptr, dc);
        window = MakeWindow(400, 300);
        other = MakeWindow(300, 200);
    }

    void TearDown() override
    {
        DestroyWindow(window);
        DestroyWindow(other);
    }

    static HWND MakeWindow(int width, int height)
    {
        return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }

    // Places the other window, centres ours over it, and says where ours is.
    POINT CentreOver(int left, int top, int width, int height)
    {
        SetWindowPos(other, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        CentreWindowOver(window, other);
        RECT rect;
        GetWindowRect(window, &rect);
        return {rect.left, rect.top};
    }

    void Resize(int width, int height)
    {
        SetWindowPos(window, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    int screenWidth = 0;
    int screenHeight = 0;
    HWND window = nullptr;
    HWND other = nullptr;
};

TEST_F(CentreTest, CentresWithinTheScreenTruncatingTowardZero)
{
    // Differences of -101 and -51: halves truncate to -50 and -25.
    POINT at = CentreOver(200, 150, 299, 249);
    EXPECT_EQ(at.x, 150);
    EXPECT_EQ(at.y, 125);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 400);  // size unchanged
    EXPECT_EQ(rect.bottom - rect.top, 300);
}

TEST_F(CentreTest, ClampsToEachOfTheFourScreenEdges)
{
    POINT leftTop = CentreOver(-250, -200, 300, 200);
    EXPECT_EQ(leftTop.x, 0);
    EXPECT_EQ(leftTop.y, 0);

    POINT rightBottom = CentreOver(screenWidth - 100, screenHeight - 80, 300, 200);
    EXPECT_EQ(rightBottom.x, screenWidth - 400);
    EXPECT_EQ(rightBottom.y, screenHeight - 300);
}

TEST_F(CentreTest, AWindowLargerThanTheScreenTestsTheNearEdgeFirst)
{
    Resize(screenWidth + 100, screenHeight + 60);
    // Centring puts it right of 0, so the far edge applies: negative start.
    POINT farEdge = CentreOver(200, 100, screenWidth, screenHeight);
    EXPECT_EQ(farEdge.x, -100);
    EXPECT_EQ(farEdge.y, -60);
    // Centring puts it left of 0: the near clamp wins and the far one is
    // not tested.
    POINT nearEdge = CentreOver(0, 0, screenWidth, screenHeight);
    EXPECT_EQ(nearEdge.x, 0);
    EXPECT_EQ(nearEdge.y, 0);
}

// ------------------------------------------------------------ help pages

std::string ProgramFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *std::strrchr(path, '\\') = '\0';
    return path;
}

TEST(HelpPageTest, PathIsBelowTheProgramFolderAndNeverOverrunsItsBuffer)
{
    std::string folder = ProgramFolder();
    // Room for the page name in 299 characters.
    size_t room = 299 - folder.size() - std::strlen("\\help\\html\\");

    char buffer[HELP_PATH_SIZE + 16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_TRUE(BuildHelpPagePath(buffer, "Index.html"));
    EXPECT_EQ(std::string(buffer), folder + "\\help\\html\\Index.html");

    std::string longest(room, 'p');
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_TRUE(BuildHelpPagePath(buffer, longest.c_str()));
    EXPECT_EQ(std::strlen(buffer), 299u);

    std::string tooLong(room + 1, 'p');
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(BuildHelpPagePath(buffer, tooLong.c_str()));
    EXPECT_EQ(buffer[0], '\0');
    for (size_t i = HELP_PATH_SIZE; i < sizeof buffer; ++i) {
        ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    }
    ShowHelpPage(nullptr, tooLong.c_str());  // shows nothing, harms nothing
    ShowHelpPage(nullptr, "no-such-page.htm");
}

// ------------------------------------------------------------ folder lookup

TEST(ShellFolderTest, LooksUpTheDocumentsFolderLikeTheShell)
{
    char ours[MAX_PATH] = "";
    char shells[MAX_PATH] = "";
    HRESULT result = GetShellFolderPath(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr,
                                        SHGFP_TYPE_CURRENT, ours);
    ASSERT_GE(result, 0);
    ASSERT_GE(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, shells), 0);
    EXPECT_STREQ(ours, shells);
    EXPECT_NE(ours[std::strlen(ours) - 1], '\\');

    // A folder the shell does not know fails with a negative result.
    EXPECT_LT(GetShellFolderPath(nullptr, 0x7F, nullptr, SHGFP_TYPE_CURRENT, ours), 0);
}

// ------------------------------------------------------------ About box

struct AboutSeen {
    std::string version;
    std::string caption;
    int pictureWidth = 0;
    int pictureHeight = 0;
    RECT rect = {};
    bool found = false;
};

AboutSeen aboutSeen;

BOOL CALLBACK FindAbout(HWND window, LPARAM)
{
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(caption, "Quillory Olvarin") != 0) return TRUE;

    aboutSeen.found = true;
    aboutSeen.caption = caption;
    char text[64] = "";
    GetDlgItemTextA(window, IDC_ABOUT_VERSION, text, sizeof text);
    aboutSeen.version = text;
    auto picture = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageA(window, IDC_ABOUT_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info = {};
    if (picture != nullptr && GetObjectA(picture, sizeof info, &info) != 0) {
        aboutSeen.pictureWidth = info.bmWidth;
        aboutSeen.pictureHeight = info.bmHeight;
    }
    GetWindowRect(window, &aboutSeen.rect);
    // Esc closes the box.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    return FALSE;
}

void CALLBACK LookAtAbout(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), FindAbout, 0);
}

TEST(AboutBoxTest, ShowsTheVersionAndPictureCentredOverTheMainWindow)
{
    HWND main = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 80, 600, 500,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    appState.mainWindow = main;
    aboutSeen = AboutSeen();
    UINT_PTR timer = SetTimer(nullptr, 0, 100, LookAtAbout);
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "ABOUTBOX", main,
                                     AboutDialogProc, 0);
    KillTimer(nullptr, timer);
    appState.mainWindow = nullptr;
    DestroyWindow(main);

    ASSERT_TRUE(aboutSeen.found);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(aboutSeen.version, "Olvarin V1.3 Build: 1001");
    EXPECT_EQ(aboutSeen.pictureWidth, 279);
    EXPECT_EQ(aboutSeen.pictureHeight, 225);
    int width = aboutSeen.rect.right - aboutSeen.rect.left;
    int height = aboutSeen.rect.bottom - aboutSeen.rect.top;
    EXPECT_EQ(aboutSeen.rect.left, 100 + (600 - width) / 2);
    EXPECT_EQ(aboutSeen.rect.top, 80 + (500 - height) / 2);
}

TEST(AboutBoxTest, PictureIsStoredAt24BitsPerPixel)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDB_ABOUT_PICTURE), MAKEINTRESOURCEA(2));
    ASSERT_NE(found, nullptr);
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 279);
    EXPECT_EQ(header->biHeight, 225);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
}

}  // namespace
