// Drives the real olvarin.exe from outside, through its windows and control
// ids, the way a user would: buttons, fields, message boxes, file pickers and
// the configuration dialog.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls until done() is true or timeoutMs has passed; true when done.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

struct ShownMessage {
    std::string title;
    std::string text;
};

class Program {
public:
    // Starts the program (a copy of it may live elsewhere: programPath) and
    // waits for its main window.
    explicit Program(const std::string& programPath = DefaultProgramPath());
    // Ends the process by its handle whatever state it is in.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    static std::string DefaultProgramPath();

    HWND mainWindow() const { return mainWindow_; }
    HANDLE process() const { return process_; }
    bool started() const { return mainWindow_ != nullptr; }

    // Waits (bounded) for the process to end; true when it did.
    bool WaitForExit(DWORD timeoutMs = 10000);

    std::string Text(HWND window) const;
    std::string Text(HWND dialog, int id) const;
    void SetText(HWND dialog, int id, const std::string& text) const;
    bool Enabled(int id) const;
    bool Checked(HWND dialog, int id) const;
    void SetChecked(HWND dialog, int id, bool checked) const;

    // Posts the command of a main-window button, as its click would.
    void Click(int id) const;
    void Click(HWND dialog, int id) const;
    // Runs a command that shows nothing modal and returns once it is done.
    void Command(HWND dialog, int id) const;
    // A real button click (BM_CLICK), for controls whose own handling counts;
    // returns once it is handled.
    void PressButton(HWND dialog, int id) const;

    // A visible dialog (#32770) owned by owner, other than except.
    HWND WaitForOwnedDialog(HWND owner, DWORD timeoutMs = 10000, HWND except = nullptr) const;
    HWND WaitForDialogTitled(const std::string& title, DWORD timeoutMs = 10000) const;
    bool NoOwnedDialogFor(HWND owner, DWORD forMs) const;

    // Reads the message box owned by owner and presses its OK button.
    ShownMessage AnswerMessageBox(HWND owner, DWORD timeoutMs = 10000) const;

    // Fills the open or save picker owned by the main window with a full
    // path and confirms it; answers Yes to an overwrite question.
    void ChooseFile(const std::string& path) const;

    // Configuration dialog.
    HWND OpenConfig() const;
    void CloseConfig(HWND dialog, int button) const;
    int RowCount(HWND dialog) const;
    std::string RowText(HWND dialog, int row, int column) const;
    std::vector<std::string> Rows(HWND dialog) const;  // "path|action" per row
    void SelectRows(HWND dialog, const std::vector<int>& rows) const;
    void ClickColumn(HWND dialog, int column) const;
    // Types a path, picks the action (0 Include, 1 Exclude) and adds it.
    void AddDirectory(HWND dialog, const std::string& path, int action = 0) const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND mainWindow_ = nullptr;
};

