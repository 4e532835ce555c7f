#include "e2e/driver.h"

#include <commctrl.h>

#include <cstdlib>
#include <stdexcept>

namespace {

constexpr DWORD MESSAGE_TIMEOUT_MS = 5000;
constexpr int MESSAGE_TEXT_ID = 0xFFFF;  // the static that holds a box's text
constexpr int FILE_NAME_FIELD_ID = 1148;
constexpr int CONFIG_LIST_ID = 1024;
constexpr int CONFIG_DIRECTORY_ID = 1025;
constexpr int CONFIG_ACTION_ID = 1036;
constexpr int CONFIG_ADD_ID = 1027;
constexpr int MAIN_CONFIG_ID = 1011;

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct DialogSearch {
    HWND owner;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    if (window != search->except && IsWindowVisible(window) && ClassOf(window) == "#32770" &&
        GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND OwnedDialog(HWND owner, HWND except)
{
    DialogSearch search = {owner, except, nullptr};
    EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct MainWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<MainWindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && ClassOf(window) == "olvarin" && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindEdit(HWND window, LPARAM parameter)
{
    if (ClassOf(window) == "Edit") {
        *reinterpret_cast<HWND*>(parameter) = window;
        return FALSE;
    }
    return TRUE;
}

std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Memory inside the program, for list-view requests that carry pointers.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size) : process_(process)
    {
        address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (address_ == nullptr) throw std::runtime_error("VirtualAllocEx failed");
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* address() const { return static_cast<char*>(address_); }
    void Write(size_t offset, const void* data, size_t size) const
    {
        WriteProcessMemory(process_, address() + offset, data, size, nullptr);
    }
    void Read(size_t offset, void* data, size_t size) const
    {
        ReadProcessMemory(process_, address() + offset, data, size, nullptr);
    }

private:
    HANDLE process_;
    void* address_;
};

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &result);
    return static_cast<LRESULT>(result);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
}

std::string Program::DefaultProgramPath()
{
    return WindowsPath(OLVARIN_EXE_PATH);
}

Program::Program(const std::string& programPath)
{
    std::string commandLine = "\"" + programPath + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    WaitUntil([&] {
        MainWindowSearch search = {processId_, nullptr};
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        mainWindow_ = search.found;
        return mainWindow_ != nullptr;
    }, 30000);
    // The first paint fills the status panel.
    WaitUntil([&] { return Text(mainWindow_, 1005) == "None"; }, 5000);
}

Program::~Program()
{
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
    }
}

bool Program::WaitForExit(DWORD timeoutMs)
{
    return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

std::string Program::Text(HWND window) const
{
    char text[1024] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        MESSAGE_TIMEOUT_MS, &result);
    return text;
}

std::string Program::Text(HWND dialog, int id) const
{
    return Text(GetDlgItem(dialog, id));
}

void Program::SetText(HWND dialog, int id, const std::string& text) const
{
    Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Program::Enabled(int id) const
{
    return IsWindowEnabled(GetDlgItem(mainWindow_, id)) != FALSE;
}

bool Program::Checked(HWND dialog, int id) const
{
    return Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Program::SetChecked(HWND dialog, int id, bool checked) const
{
    Send(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Program::Click(int id) const
{
    Click(mainWindow_, id);
}

void Program::Click(HWND dialog, int id) const
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Program::Command(HWND dialog, int id) const
{
    Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Program::PressButton(HWND dialog, int id) const
{
    Send(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

HWND Program::WaitForOwnedDialog(HWND owner, DWORD timeoutMs, HWND except) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = OwnedDialog(owner, except)) != nullptr; }, timeoutMs);
    return found;
}

HWND Program::WaitForDialogTitled(const std::string& title, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindWindowA("#32770", title.c_str());
        return found != nullptr && IsWindowVisible(found);
    }, timeoutMs);
    return found;
}

bool Program::NoOwnedDialogFor(HWND owner, DWORD forMs) const
{
    return !WaitUntil([&] { return OwnedDialog(owner, nullptr) != nullptr; }, forMs);
}

ShownMessage Program::AnswerMessageBox(HWND owner, DWORD timeoutMs) const
{
    HWND box = WaitForOwnedDialog(owner, timeoutMs);
    if (box == nullptr) return {"<no message box>", ""};
    // The box may be found a moment before its text is in place.
    WaitUntil([&] { return !Text(box, MESSAGE_TEXT_ID).empty(); }, 2000);
    ShownMessage shown = {Text(box), Text(box, MESSAGE_TEXT_ID)};
    Click(box, IDOK);
    WaitUntil([&] { return !IsWindow(box); }, 5000);
    return shown;
}

void Program::ChooseFile(const std::string& path) const
{
    HWND picker = WaitForOwnedDialog(mainWindow_, 15000);
    if (picker == nullptr) throw std::runtime_error("no file picker appeared");
    HWND field = GetDlgItem(picker, FILE_NAME_FIELD_ID);
    HWND edit = nullptr;
    EnumChildWindows(field, FindEdit, reinterpret_cast<LPARAM>(&edit));
    if (edit == nullptr) edit = field;
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WindowsPath(path).c_str()));
    Click(picker, IDOK);
    // Saving over a file asks first; the question is owned by the picker.
    if (!WaitUntil([&] { return !IsWindow(picker); }, 1500)) {
        HWND question = OwnedDialog(picker, nullptr);
        if (question != nullptr) Click(question, IDYES);
        WaitUntil([&] { return !IsWindow(picker); }, 10000);
    }
    // Give the picker a moment to go away before anything else opens.
    Sleep(500);
}

HWND Program::OpenConfig() const
{
    Click(MAIN_CONFIG_ID);
    HWND dialog = WaitForOwnedDialog(mainWindow_);
    // The rows are filled before the dialog is shown; wait for the list.
    if (dialog != nullptr) WaitUntil([&] { return GetDlgItem(dialog, CONFIG_LIST_ID) != nullptr; }, 5000);
    return dialog;
}

void Program::CloseConfig(HWND dialog, int button) const
{
    Click(dialog, button);
    WaitUntil([&] { return !IsWindow(dialog); }, 10000);
}

int Program::RowCount(HWND dialog) const
{
    return static_cast<int>(Send(GetDlgItem(dialog, CONFIG_LIST_ID), LVM_GETITEMCOUNT, 0, 0));
}

std::string Program::RowText(HWND dialog, int row, int column) const
{
    constexpr int TEXT_SIZE = 300;
    RemoteBuffer buffer(process_, sizeof(LVITEMA) + TEXT_SIZE);
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer.address() + sizeof(LVITEMA);
    item.cchTextMax = TEXT_SIZE;
    buffer.Write(0, &item, sizeof item);
    Send(GetDlgItem(dialog, CONFIG_LIST_ID), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(buffer.address()));
    char text[TEXT_SIZE] = "";
    buffer.Read(sizeof(LVITEMA), text, sizeof text - 1);
    return text;
}

std::vector<std::string> Program::Rows(HWND dialog) const
{
    std::vector<std::string> rows;
    int count = RowCount(dialog);
    for (int row = 0; row < count; ++row) {
        rows.push_back(RowText(dialog, row, 0) + "|" + RowText(dialog, row, 1));
    }
    return rows;
}

void Program::SelectRows(HWND dialog, const std::vector<int>& rows) const
{
    RemoteBuffer buffer(process_, sizeof(LVITEMA));
    for (int row : rows) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        buffer.Write(0, &item, sizeof item);
        Send(GetDlgItem(dialog, CONFIG_LIST_ID), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.address()));
    }
}

void Program::ClickColumn(HWND dialog, int column) const
{
    HWND header = reinterpret_cast<HWND>(Send(GetDlgItem(dialog, CONFIG_LIST_ID), LVM_GETHEADER, 0, 0));
    RemoteBuffer buffer(process_, sizeof(RECT));
    Send(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(buffer.address()));
    RECT rect = {};
    buffer.Read(0, &rect, sizeof rect);
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Send(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
    Send(header, WM_LBUTTONUP, 0, point);
}

void Program::AddDirectory(HWND dialog, const std::string& path, int action) const
{
    SetText(dialog, CONFIG_DIRECTORY_ID, path);
    Send(GetDlgItem(dialog, CONFIG_ACTION_ID), CB_SETCURSEL, action, 0);
    Command(dialog, CONFIG_ADD_ID);
}
