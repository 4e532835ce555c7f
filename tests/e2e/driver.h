// Drives the real olvarin.exe from outside, through its windows and control
// ids, the way a user would. Every wait is bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls until done() is true or timeoutMs has passed; true when done.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// SendMessage that gives up after a few seconds if the program hangs.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct ShownMessage {
    std::string title;
    std::string text;
};

class Program {
public:
    // Starts the program (or a copy of it elsewhere) and waits for its main
    // window; the destructor ends the process by its handle if still running.
    explicit Program(const std::string& programPath = DefaultProgramPath());
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    static std::string DefaultProgramPath();

    HWND mainWindow() const { return mainWindow_; }
    bool started() const { return mainWindow_ != nullptr; }
    // True when the process ended in time with exit code 0.
    bool EndsCleanly(DWORD timeoutMs = 20000) const;

    std::string Text(HWND window) const;
    std::string Text(HWND dialog, int id) const { return Text(GetDlgItem(dialog, id)); }
    std::string Field(int id) const { return Text(mainWindow_, id); }
    bool FieldBecomes(int id, const std::string& text, DWORD timeoutMs = 10000) const
    {
        return WaitUntil([&] { return Field(id) == text; }, timeoutMs);
    }
    void SetText(HWND dialog, int id, const std::string& text) const
    {
        Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(mainWindow_, id)) != FALSE; }
    bool Checked(HWND dialog, int id) const { return Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    // Posts a button's command, as its click would.
    void Click(int id) const { Click(mainWindow_, id); }
    void Click(HWND dialog, int id) const
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    // Sends a command that shows nothing modal; returns once it is handled.
    void Command(HWND dialog, int id) const
    {
        Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    // A real click (BM_CLICK), for controls whose own handling counts.
    void PressButton(HWND dialog, int id) const { Send(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

    // A visible dialog (#32770) owned by owner.
    HWND WaitForOwnedDialog(HWND owner, DWORD timeoutMs = 10000) const;
    bool NoOwnedDialogFor(HWND owner, DWORD forMs) const
    {
        return !WaitUntil([&] { return WaitForOwnedDialog(owner, 0) != nullptr; }, forMs);
    }
    // Reads the message box owned by owner and presses its OK button.
    ShownMessage AnswerMessageBox(HWND owner, DWORD timeoutMs = 10000) const;
    // Clicks a main-window button that opens a file picker and confirms the
    // full path in it (Yes to an overwrite question); no path cancels it.
    void ChooseFile(int button, const std::string& path = "") const;

    // Configuration dialog; rows read as "path|action".
    HWND OpenConfig() const;
    void CloseConfig(HWND dialog, int button) const
    {
        Click(dialog, button);
        WaitUntil([&] { return !IsWindow(dialog); });
    }
    std::vector<std::string> Rows(HWND dialog) const;
    void SelectRows(HWND dialog, const std::vector<int>& rows) const;
    void ClickColumn(HWND dialog, int column) const;
    // Types a path, picks the action (0 Include, 1 Exclude) and adds it.
    void AddDirectory(HWND dialog, const std::string& path, int action = 0) const;

private:
    HANDLE process_ = nullptr;
    HWND mainWindow_ = nullptr;
};
