// Drives the real olvarin.exe from outside, through its windows and control
// ids, the way a user would. Every wait is bounded.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "support/test_files.h"
#include "ui/control_ids.h"

// SendMessage that gives up after a few seconds if the program hangs.
inline LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

struct ShownMessage {
    std::string title, text;
};

class Program {
public:
    // Starts the program and waits for its main window.
    Program()
    {
        std::string path = "Z:" OLVARIN_EXE_PATH;
        for (char& c : path) c = c == '/' ? '\\' : c;
        std::string commandLine = "\"" + path + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            return;
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        DWORD owner = 0;
        WaitUntil([&] {
            main_ = FindWindowA("olvarin", nullptr);
            return GetWindowThreadProcessId(main_, &owner) && owner == info.dwProcessId && IsWindowVisible(main_);
        }, 30000);
        main_ = owner == info.dwProcessId ? main_ : nullptr;
        WaitUntil([&] { return Field(IDC_MAIN_CURRENT_FILE) == "None"; });  // the first paint fills the panel
    }
    // Ends the process by its handle if it is still running.
    ~Program()
    {
        if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND mainWindow() const { return main_; }
    // True when the process ended in time with exit code 0.
    bool EndsCleanly() const
    {
        DWORD code = 1;
        return WaitForSingleObject(process_, 20000) == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &code) && !code;
    }

    // The text of a control of dialog, or with id 0 of dialog itself.
    std::string Text(HWND dialog, int id) const
    {
        char text[1024] = "";
        Send(id == 0 ? dialog : GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::string Field(int id) const { return Text(main_, id); }
    void SetText(HWND dialog, int id, const std::string& text) const
    {
        Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(main_, id)) != FALSE; }

    // A button's command, as its click gives it (on the main window without
    // a dialog): posted, or sent (returning once handled) when waited for.
    void Click(int id, HWND dialog = nullptr, bool wait = false) const
    {
        dialog = dialog != nullptr ? dialog : main_;
        WPARAM command = MAKEWPARAM(id, BN_CLICKED);
        LPARAM button = reinterpret_cast<LPARAM>(GetDlgItem(dialog, id));
        wait ? Send(dialog, WM_COMMAND, command, button) : PostMessageA(dialog, WM_COMMAND, command, button);
    }

    // A visible dialog (a message box, a picker) owned by owner, or nullptr.
    HWND OwnedDialog(HWND owner, DWORD timeoutMs = 10000) const
    {
        HWND found = nullptr;
        WaitUntil([&] {
            while ((found = FindWindowExA(nullptr, found, "#32770", nullptr)) != nullptr) {
                if (IsWindowVisible(found) && GetWindow(found, GW_OWNER) == owner) return true;
            }
            return false;
        }, timeoutMs);
        return found;
    }
    // Reads the message box owned by owner (the main window without one) and
    // presses its OK button.
    ShownMessage AnswerMessageBox(HWND owner = nullptr) const
    {
        HWND box = OwnedDialog(owner != nullptr ? owner : main_);
        if (box == nullptr) return {"<no message box>", ""};
        // The box may be found a moment before its text is in place.
        WaitUntil([&] { return !Text(box, 0xFFFF).empty(); }, 2000);
        ShownMessage shown = {Text(box, 0), Text(box, 0xFFFF)};
        Click(IDOK, box);
        WaitUntil([&] { return !IsWindow(box); });
        return shown;
    }
    // Clicks a button that opens a file picker and confirms the full path
    // in it, with Yes to an overwrite question (owned by the picker).
    void ChooseFile(int button, const std::string& path) const
    {
        Click(button);
        HWND picker = OwnedDialog(main_, 15000);
        if (picker == nullptr) throw std::runtime_error("no file picker appeared");
        HWND field = GetDlgItem(picker, 1148);
        HWND edit = FindWindowExA(FindWindowExA(field, nullptr, "ComboBox", nullptr), nullptr, "Edit", nullptr);
        Send(edit != nullptr ? edit : field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        Click(IDOK, picker);
        if (!WaitUntil([&] { return !IsWindow(picker); }, 1500)) {
            if (HWND question = OwnedDialog(picker, 0)) Click(IDYES, question);
            WaitUntil([&] { return !IsWindow(picker); });
        }
        Sleep(500);  // Wine's picker needs a moment to go before anything else opens
    }

    HWND OpenConfig() const
    {
        Click(IDC_MAIN_CONFIG);
        HWND dialog = OwnedDialog(main_);
        WaitUntil([&] { return dialog == nullptr || GetDlgItem(dialog, IDC_CONFIG_LIST) != nullptr; });
        return dialog;
    }
    void CloseConfig(HWND dialog, int button) const
    {
        Click(button, dialog);
        WaitUntil([&] { return !IsWindow(dialog); });
    }
    // Types a path, picks the action (0 Include, 1 Exclude) and adds it.
    void AddDirectory(HWND dialog, const std::string& path, int action = 0) const
    {
        SetText(dialog, IDC_CONFIG_DIRECTORY, path);
        Send(GetDlgItem(dialog, IDC_CONFIG_ACTION), CB_SETCURSEL, action, 0);
        Click(IDC_CONFIG_ADD, dialog, true);
    }

private:
    HANDLE process_ = nullptr;
    HWND main_ = nullptr;
};
