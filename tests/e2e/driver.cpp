#include "e2e/driver.h"

#include <commctrl.h>

#include <stdexcept>

#include "support/window_search.h"
#include "ui/control_ids.h"

namespace {

constexpr DWORD MESSAGE_TIMEOUT_MS = 5000;
constexpr int MESSAGE_TEXT_ID = 0xFFFF;  // the static that holds a box's text
constexpr int FILE_NAME_FIELD_ID = 1148;  // the pickers' own

HWND OwnedDialog(HWND owner)
{
    return FindTopWindow([owner](HWND window) {
        return IsWindowVisible(window) && ClassOf(window) == "#32770" && GetWindow(window, GW_OWNER) == owner;
    });
}

std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
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
        address_ = static_cast<char*>(
            VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (address_ == nullptr) throw std::runtime_error("VirtualAllocEx failed");
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    LPARAM at(size_t offset = 0) const { return reinterpret_cast<LPARAM>(address_ + offset); }
    void Write(const void* data, size_t size) const { WriteProcessMemory(process_, address_, data, size, nullptr); }
    void Read(size_t offset, void* data, size_t size) const
    {
        ReadProcessMemory(process_, address_ + offset, data, size, nullptr);
    }

private:
    HANDLE process_;
    char* address_;
};

}  // namespace

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &result);
    return static_cast<LRESULT>(result);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
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
    DWORD processId = info.dwProcessId;
    WaitUntil([&] {
        mainWindow_ = FindTopWindow([processId](HWND window) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            return owner == processId && ClassOf(window) == "olvarin" && IsWindowVisible(window);
        });
        return mainWindow_ != nullptr;
    }, 30000);
    FieldBecomes(IDC_MAIN_CURRENT_FILE, "None", 5000);  // the first paint fills the status panel
}

Program::~Program()
{
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool Program::EndsCleanly(DWORD timeoutMs) const
{
    DWORD code = 1;
    return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &code) &&
           code == 0;
}

std::string Program::Text(HWND window) const
{
    char text[1024] = "";
    Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND Program::WaitForOwnedDialog(HWND owner, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = OwnedDialog(owner)) != nullptr; }, timeoutMs);
    return found;
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

void Program::ChooseFile(int button, const std::string& path) const
{
    Click(button);
    HWND picker = WaitForOwnedDialog(mainWindow_, 15000);
    if (picker == nullptr) throw std::runtime_error("no file picker appeared");
    if (path.empty()) {
        Click(picker, IDCANCEL);
    } else {
        HWND field = GetDlgItem(picker, FILE_NAME_FIELD_ID);
        HWND edit = FindChildWindow(field, [](HWND window) { return ClassOf(window) == "Edit"; });
        Send(edit != nullptr ? edit : field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WindowsPath(path).c_str()));
        Click(picker, IDOK);
    }
    // Saving over a file asks first; the question is owned by the picker.
    if (!WaitUntil([&] { return !IsWindow(picker); }, 1500)) {
        HWND question = OwnedDialog(picker);
        if (question != nullptr) Click(question, IDYES);
        WaitUntil([&] { return !IsWindow(picker); }, 10000);
    }
    Sleep(500);  // let the picker go away before anything else opens
}

HWND Program::OpenConfig() const
{
    Click(IDC_MAIN_CONFIG);
    HWND dialog = WaitForOwnedDialog(mainWindow_);
    if (dialog != nullptr) WaitUntil([&] { return GetDlgItem(dialog, IDC_CONFIG_LIST) != nullptr; }, 5000);
    return dialog;
}

std::vector<std::string> Program::Rows(HWND dialog) const
{
    constexpr int TEXT_SIZE = 300;
    HWND list = GetDlgItem(dialog, IDC_CONFIG_LIST);
    RemoteBuffer buffer(process_, sizeof(LVITEMA) + TEXT_SIZE);
    std::vector<std::string> rows;
    int count = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::string line;
        for (int column = 0; column < 2; ++column) {
            LVITEMA item = {};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<char*>(buffer.at(sizeof(LVITEMA)));
            item.cchTextMax = TEXT_SIZE;
            buffer.Write(&item, sizeof item);
            Send(list, LVM_GETITEMTEXTA, row, buffer.at());
            char text[TEXT_SIZE] = "";
            buffer.Read(sizeof(LVITEMA), text, sizeof text - 1);
            line += (column == 0 ? "" : "|") + std::string(text);
        }
        rows.push_back(line);
    }
    return rows;
}

void Program::SelectRows(HWND dialog, const std::vector<int>& rows) const
{
    RemoteBuffer buffer(process_, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    buffer.Write(&item, sizeof item);
    for (int row : rows) Send(GetDlgItem(dialog, IDC_CONFIG_LIST), LVM_SETITEMSTATE, row, buffer.at());
}

void Program::ClickColumn(HWND dialog, int column) const
{
    HWND header = reinterpret_cast<HWND>(Send(GetDlgItem(dialog, IDC_CONFIG_LIST), LVM_GETHEADER, 0, 0));
    RemoteBuffer buffer(process_, sizeof(RECT));
    Send(header, HDM_GETITEMRECT, column, buffer.at());
    RECT rect = {};
    buffer.Read(0, &rect, sizeof rect);
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Send(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
    Send(header, WM_LBUTTONUP, 0, point);
}

void Program::AddDirectory(HWND dialog, const std::string& path, int action) const
{
    SetText(dialog, IDC_CONFIG_DIRECTORY, path);
    Send(GetDlgItem(dialog, IDC_CONFIG_ACTION), CB_SETCURSEL, action, 0);
    Command(dialog, IDC_CONFIG_ADD);
}
