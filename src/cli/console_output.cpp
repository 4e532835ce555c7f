#include "cli/console_output.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "model/panel_format.h"
#include "operation/wording.h"

namespace {

constexpr DWORD PROGRESS_PERIOD_MS = 100;
constexpr int PROGRESS_LINE_SIZE = 512;

// Standard error is shared by the messages and the progress line.
std::mutex errorLock;
bool progressShown = false;
int progressWidth = 80;
HANDLE progressDone = nullptr;
HANDLE progressThread = nullptr;
AppState* progressState = nullptr;

void ClearProgressLine()
{
    if (progressShown) {
        std::fprintf(stderr, "\r%*s\r", progressWidth - 1, "");
        progressShown = false;
    }
}

// Fills line with "files, folders, megabytes, folder", the folder shortened
// from the front to fit width characters.
void FormatProgress(AppState& state, char* line, int width)
{
    char megabytes[PANEL_TEXT_SIZE];
    FormatMegabytes(state.scanTotalBytes.load(), megabytes, sizeof megabytes);
    char folder[STATUS_TEXT_SIZE];
    state.ReadPublishedText(state.currentDirectory, folder, sizeof folder);
    int used = std::snprintf(line, PROGRESS_LINE_SIZE, "%d files, %d folders, %s MB, ",
                             static_cast<int>(state.scanFileCount.load()),
                             static_cast<int>(state.scanDirectoryCount.load()), megabytes);
    int room = width - used;
    if (room <= 3) {
        line[width > 0 ? width : 0] = '\0';
    } else {
        CopyKeepingEnd(line + used, static_cast<size_t>(room) + 1, folder);
    }
}

DWORD WINAPI ShowProgress(LPVOID)
{
    char line[PROGRESS_LINE_SIZE];
    while (WaitForSingleObject(progressDone, PROGRESS_PERIOD_MS) == WAIT_TIMEOUT) {
        std::lock_guard<std::mutex> lock(errorLock);
        FormatProgress(*progressState, line, progressWidth - 1);
        std::fprintf(stderr, "\r%-*s", progressWidth - 1, line);
        std::fflush(stderr);
        progressShown = true;
    }
    return 0;
}

}  // namespace

void PrintError(const char* text)
{
    std::lock_guard<std::mutex> lock(errorLock);
    ClearProgressLine();
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == '\n') {
        --length;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(length), text);
    std::fflush(stderr);
}

void ConsoleObserver::Tell(const Message& message)
{
    switch (message.id) {
    case MessageId::NoDirectorySelected:
        PrintError("The signature names no directory to scan: make it again with create --include DIR.");
        return;
    case MessageId::OperationOutOfMemory:
        PrintError("Error: Out of memory: the operation was abandoned and nothing was written.");
        return;
    case MessageId::FoldersNotRead:
    case MessageId::LinksNotFollowed:
        // A line each, so that a log keeps every one.
        for (size_t start = 0; start < message.text.size();) {
            const size_t end = message.text.find('\n', start);
            const std::string line = message.text.substr(start, end - start);
            PrintError(((message.id == MessageId::FoldersNotRead ? "Folder not read: " : "Link not followed (it leads back to a folder above it): ") + line).c_str());
            start = end == std::string::npos ? message.text.size() : end + 1;
        }
        return;
    case MessageId::ReportRefused:
        PrintError(("Nothing accepted, " + line_.file + " is unchanged: " + message.text).c_str());
        return;
    default:
        PrintError(WindowWording(message).text.c_str());
    }
}

void StartProgressLine(AppState& state, bool quiet)
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD consoleMode = 0;
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (!quiet && GetConsoleMode(error, &consoleMode) && GetConsoleScreenBufferInfo(error, &screen)) {
        progressWidth = screen.dwSize.X < PROGRESS_LINE_SIZE ? screen.dwSize.X : PROGRESS_LINE_SIZE;
        progressState = &state;
        progressDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        progressThread = CreateThread(nullptr, 0, ShowProgress, nullptr, 0, nullptr);
    }
}

void StopProgressLine()
{
    if (progressThread == nullptr) {
        return;
    }
    SetEvent(progressDone);
    WaitForSingleObject(progressThread, INFINITE);
    CloseHandle(progressThread);
    CloseHandle(progressDone);
    progressThread = nullptr;
    std::lock_guard<std::mutex> lock(errorLock);
    ClearProgressLine();
}
