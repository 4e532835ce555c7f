// Drives the real olvarin.exe from outside, through its windows and control
// ids, the way a user would. Every wait is bounded.
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
    std::string Text(HWND dialog, int id) const;
    std::string Field(int id) const { return Text(mainWindow_, id); }
    bool FieldBecomes(int id, const std::string& text, DWORD timeoutMs = 10000) const;
    void SetText(HWND dialog, int id, const std::string& text) const;
    bool Enabled(int id) const;
    bool Checked(HWND dialog, int id) const;

    // Posts a button's command, as its click would.
    void Click(int id) const { Click(mainWindow_, id); }
    void Click(HWND dialog, int id) const;
    // Sends a command that shows nothing modal; returns once it is handled.
    void Command(HWND dialog, int id) const;
    // A real click (BM_CLICK), for controls whose own handling counts.
    void PressButton(HWND dialog, int id) const;

    // A visible dialog (#32770) owned by owner.
    HWND WaitForOwnedDialog(HWND owner, DWORD timeoutMs = 10000) const;
    bool NoOwnedDialogFor(HWND owner, DWORD forMs) const;
    // Reads the message box owned by owner and presses its OK button.
    ShownMessage AnswerMessageBox(HWND owner, DWORD timeoutMs = 10000) const;
    // Clicks a main-window button that opens a file picker and confirms the
    // full path in it (Yes to an overwrite question); no path cancels it.
    void ChooseFile(int button, const std::string& path = "") const;

    // Configuration dialog; rows read as "path|action".
    HWND OpenConfig() const;
    void CloseConfig(HWND dialog, int button) const;
    std::vector<std::string> Rows(HWND dialog) const;
    void SelectRows(HWND dialog, const std::vector<int>& rows) const;
    void ClickColumn(HWND dialog, int column) const;
    // Types a path, picks the action (0 Include, 1 Exclude) and adds it.
    void AddDirectory(HWND dialog, const std::string& path, int action = 0) const;

private:
    HANDLE process_ = nullptr;
    HWND mainWindow_ = nullptr;
};
