// olvarin-cli: the console front end, for checks that run unattended (a
// scheduled task, a login script). It drives the window program's own walk,
// signature files, comparison and report; what the window would show in a
// message box goes to standard error, results to standard output.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "compare/compare_signatures.h"
#include "compare/report.h"
#include "model/app_state.h"
#include "model/messages.h"
#include "model/panel_format.h"
#include "model/version.h"
#include "scan/directory_rules.h"
#include "scan/operation.h"
#include "sigfile/signature_file.h"

namespace {

constexpr int EXIT_SAME = 0;
constexpr int EXIT_DIFFERENT = 1;
constexpr int EXIT_FAILED = 2;
constexpr int EXIT_STOPPED = 3;
constexpr int EXIT_FILE_LIMIT = 4;

constexpr DWORD PROGRESS_PERIOD_MS = 100;
constexpr int PROGRESS_LINE_SIZE = 512;

constexpr char USAGE[] =
    "Usage:\n"
    "  olvarin-cli create FILE.sig --include DIR [--include DIR ...] [--exclude DIR ...]\n"
    "                     [--checksums] [--drive-letter] [--quiet]\n"
    "  olvarin-cli compare FILE.sig [--report FILE.txt] [--quiet]\n"
    "  olvarin-cli show FILE.sig [--records]\n"
    "  olvarin-cli --help | --version\n"
    "\n"
    "create   records every file under the Include directories, but those under an\n"
    "         Exclude directory, and saves the signature to FILE.sig.\n"
    "compare  walks the directories stored in FILE.sig with its options and, when\n"
    "         anything differs, writes the result report to FILE.txt (by default\n"
    "         olvarinresult.txt in Documents\\Quillory\\Olvarin).\n"
    "show     prints the signature's header, options and directories; --records\n"
    "         adds one tab-separated line per file: path, size, attributes (hex),\n"
    "         creation and last-write time (UTC), checksum or '-'.\n"
    "--quiet  no progress line while the walk runs. Ctrl+C stops the walk and\n"
    "         writes nothing.\n"
    "\n"
    "Exit codes:\n"
    "  0  done, no difference\n"
    "  1  differences found, or entries left unchecked because their paths are\n"
    "     longer than 299 characters (the report says how many)\n"
    "  2  bad command line, a file that cannot be read or written, or a damaged\n"
    "     signature file\n"
    "  3  stopped by Ctrl+C: nothing was written\n"
    "  4  the file limit was reached: only the first 100000 files are covered\n"
    "     (wins over 1)\n";

struct CommandLine {
    std::string command;
    std::string file;
    std::string report;
    std::vector<std::pair<int32_t, std::string>> entries;  // action, path
    bool checksums = false;
    bool driveLetter = false;
    bool quiet = false;
    bool records = false;
};

// Standard error is shared by the messages and the progress line.
std::mutex errorLock;
bool progressShown = false;
int progressWidth = 80;

void ClearProgressLine()
{
    if (progressShown) {
        std::fprintf(stderr, "\r%*s\r", progressWidth - 1, "");
        progressShown = false;
    }
}

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

// Messages whose window wording sends the user to a window; on a command
// line they name the option instead.
struct ConsoleWording {
    const char* title;
    const char* text;
};
constexpr ConsoleWording CONSOLE_WORDINGS[] = {
    {NO_DIRECTORY_TITLE,
     "The signature names no directory to scan: make it again with create --include DIR."},
};

int PrintMessage(MessageKind, const char* title, const char* text)
{
    for (const ConsoleWording& wording : CONSOLE_WORDINGS) {
        if (std::strcmp(title, wording.title) == 0) {
            text = wording.text;
        }
    }
    PrintError(text);
    return IDOK;
}

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        appState.stopRequested.store(1);
        return TRUE;
    }
    return FALSE;
}

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "olvarin-cli: %s\n\n%s", problem.c_str(), USAGE);
    return EXIT_FAILED;
}

// Fills line with "files, folders, megabytes, folder", the folder shortened
// from the front to fit width characters.
void FormatProgress(char* line, int width)
{
    char megabytes[PANEL_TEXT_SIZE];
    FormatMegabytes(static_cast<int64_t>(appState.scanTotalBytes.load()), megabytes, sizeof megabytes);
    char folder[STATUS_TEXT_SIZE];
    ReadPublishedText(appState.currentDirectory, folder, sizeof folder);
    int used = std::snprintf(line, PROGRESS_LINE_SIZE, "%d files, %d folders, %s MB, ",
                             static_cast<int>(appState.scanFileCount.load()),
                             static_cast<int>(appState.scanDirectoryCount.load()), megabytes);
    int room = width - used;
    if (room <= 3) {
        line[width > 0 ? width : 0] = '\0';
    } else {
        CopyKeepingEnd(line + used, static_cast<size_t>(room) + 1, folder);
    }
}

HANDLE progressDone = nullptr;

DWORD WINAPI ShowProgress(LPVOID)
{
    char line[PROGRESS_LINE_SIZE];
    while (WaitForSingleObject(progressDone, PROGRESS_PERIOD_MS) == WAIT_TIMEOUT) {
        std::lock_guard<std::mutex> lock(errorLock);
        FormatProgress(line, progressWidth - 1);
        std::fprintf(stderr, "\r%-*s", progressWidth - 1, line);
        std::fflush(stderr);
        progressShown = true;
    }
    return 0;
}

// The walk of a Create or Compare (mode), with the progress line on a
// console: EXIT_SAME when the operation may go on, else its exit code.
int Scan(int32_t mode, bool quiet)
{
    appState.operationMode.store(mode);
    if (!OperationPreconditionsMet()) {
        return EXIT_FAILED;
    }
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD consoleMode = 0;
    CONSOLE_SCREEN_BUFFER_INFO screen;
    HANDLE progress = nullptr;
    if (!quiet && GetConsoleMode(error, &consoleMode) && GetConsoleScreenBufferInfo(error, &screen)) {
        progressWidth = screen.dwSize.X < PROGRESS_LINE_SIZE ? screen.dwSize.X : PROGRESS_LINE_SIZE;
        progressDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        progress = CreateThread(nullptr, 0, ShowProgress, nullptr, 0, nullptr);
    }
    ScanIncludedDirectories();
    if (progress != nullptr) {
        SetEvent(progressDone);
        WaitForSingleObject(progress, INFINITE);
        CloseHandle(progress);
        CloseHandle(progressDone);
        std::lock_guard<std::mutex> lock(errorLock);
        ClearProgressLine();
    }
    if (appState.stopRequested.load() != 0) {
        PrintError("Stopped by Ctrl+C: nothing was written.");
        return EXIT_STOPPED;
    }
    return EXIT_SAME;
}

const char* FileTitle(const std::string& path)
{
    size_t start = path.find_last_of("\\/:");
    return path.c_str() + (start == std::string::npos ? 0 : start + 1);
}

bool AddEntries(const CommandLine& line)
{
    for (const auto& entry : line.entries) {
        // Relative paths mean the current folder. "X:" alone is the root of
        // the drive, as the walker takes it, and an empty entry or a lone
        // separator is left for the directory rules to refuse.
        char path[MAX_PATH + 1];
        const std::string& given = entry.second;
        DWORD length = static_cast<DWORD>(given.size());
        if (given.empty() || given == "\\" || given == "/" || (length == 2 && given[1] == ':')) {
            std::memcpy(path, given.c_str(), length + 1);
        } else {
            length = GetFullPathNameA(given.c_str(), sizeof path, path, nullptr);
        }
        // The directory rules drop one trailing backslash, so it may take the
        // path's last place.
        bool fits = length > 0 && length <= MAX_PATH &&
                    length - (path[length - 1] == '\\' ? 1 : 0) < static_cast<DWORD>(DIRECTORY_PATH_SIZE);
        if (!fits) {
            PrintError(("Directory path too long (at most 259 characters): " + given).c_str());
            return false;
        }
        DirectoryRefusal refusal = AddDirectoryEntry(appState.directoryList, path, entry.first).refusal;
        if (refusal != DirectoryRefusal::None) {
            PrintError(DescribeRefusal(refusal).text);
            return false;
        }
    }
    return true;
}

int RunCreate(const CommandLine& line)
{
    if (!AddEntries(line)) {
        return EXIT_FAILED;
    }
    appState.calculateChecksums.store(line.checksums ? 1 : 0);
    appState.includeDriveLetter.store(line.driveLetter ? 1 : 0);
    int scanned = Scan(Create, line.quiet);
    if (scanned != EXIT_SAME) {
        return scanned;
    }
    PublishNewSignature();
    if (!SaveSignatureTo(line.file.c_str(), FileTitle(line.file))) {
        return EXIT_FAILED;
    }
    char megabytes[PANEL_TEXT_SIZE];
    FormatMegabytes(appState.header.totalBytes, megabytes, sizeof megabytes);
    std::printf("Recorded %d files in %d folders (%s MB) in %s\n", static_cast<int>(appState.header.fileCount),
                static_cast<int>(appState.header.directoryCount), megabytes, line.file.c_str());
    ReportSkippedEntries();
    return appState.fileLimitReached.load() != 0 ? EXIT_FILE_LIMIT : EXIT_SAME;
}

void PrintDifferenceSummary()
{
    static const char* const KINDS[] = {
        nullptr,          "Extra files",        "Missing files",        "Different size",
        "Different creation time", "Different modify time", "Different attributes", "Different checksum",
    };
    constexpr int KIND_COUNT = sizeof KINDS / sizeof KINDS[0];
    int counts[KIND_COUNT] = {};
    const DifferenceTable& table = appState.differenceTable;
    for (int i = 0; i < table.entryCount && i < MAX_DIFFERENCES; ++i) {
        int kind = table.entries[i].kind;
        if (kind > 0 && kind < KIND_COUNT) {
            counts[kind] += 1;
        }
    }
    for (int kind = 1; kind < KIND_COUNT; ++kind) {
        std::printf("%s: %d\n", KINDS[kind], counts[kind]);
    }
    if (table.droppedCount > 0) {
        std::printf("Not listed (more than %d differences): %d\n", MAX_DIFFERENCES,
                    static_cast<int>(table.droppedCount));
    }
    if (appState.scanSkippedCount.load() > 0) {
        std::printf("Not checked (paths longer than %d characters): %d\n", RECORD_PATH_SIZE - 1,
                    static_cast<int>(appState.scanSkippedCount.load()));
    }
}

int RunCompare(const CommandLine& line)
{
    if (!LoadSignatureFrom(line.file.c_str(), FileTitle(line.file))) {
        return EXIT_FAILED;
    }
    appState.signatureLoaded.store(1);
    int scanned = Scan(Compare, line.quiet);
    if (scanned != EXIT_SAME) {
        return scanned;
    }
    appState.operationStatus.store(Comparing);
    bool limited = appState.fileLimitReached.load() != 0;
    bool reportDue = FindScanDifferences();
    PrintDifferenceSummary();
    if (reportDue) {
        char path[RESULT_PATH_SIZE] = "";
        if (line.report.empty()) {
            BuildResultFilePath(path);
        } else if (line.report.size() < sizeof path) {
            std::memcpy(path, line.report.c_str(), line.report.size() + 1);
        }
        if (!WriteResultFile(path)) {
            return EXIT_FAILED;
        }
        std::printf("Report: %s\n", path);
    }
    return limited ? EXIT_FILE_LIMIT : reportDue ? EXIT_DIFFERENT : EXIT_SAME;
}

void PrintTime(const FileTime& time)
{
    FILETIME value = {time.dwLowDateTime, time.dwHighDateTime};
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&value, &utc)) {
        std::printf("\t-");
        return;
    }
    std::printf("\t%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                utc.wMinute, utc.wSecond);
}

int RunShow(const CommandLine& line)
{
    if (!LoadSignatureFrom(line.file.c_str(), FileTitle(line.file))) {
        return EXIT_FAILED;
    }
    const SignatureHeader& header = appState.header;
    const DirectoryList& list = appState.directoryList;
    char megabytes[PANEL_TEXT_SIZE];
    FormatMegabytes(header.totalBytes, megabytes, sizeof megabytes);
    std::printf("Name: %.*s\nLayout: %d\nFolders: %d\nFiles: %d\nTotal size: %lld bytes (%s MB)\n",
                SIGNATURE_NAME_SIZE, header.name, header.layoutVersion, static_cast<int>(header.directoryCount),
                static_cast<int>(header.fileCount), static_cast<long long>(header.totalBytes), megabytes);
    bool checksums = appState.calculateChecksums.load() != 0;
    std::printf("Checksums: %s\nDrive letter: %s\n", checksums ? "yes" : "no",
                appState.includeDriveLetter.load() != 0 ? "yes" : "no");
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        int32_t action = list.actions[slot];
        if (action == Include || action == Exclude) {
            std::printf("%s %.*s\n", action == Include ? "Include" : "Exclude", DIRECTORY_PATH_SIZE,
                        list.paths[slot]);
        }
    }
    for (int i = 0; line.records && i < MAX_FILES && appState.LoadedTable[i].path[0] != '\0'; ++i) {
        const FileRecord& record = appState.LoadedTable[i];
        std::printf("%.*s\t%llu\t%08X", RECORD_PATH_SIZE, record.path,
                    static_cast<unsigned long long>(record.details.size),
                    static_cast<unsigned>(record.details.attributes));
        PrintTime(record.details.creationTime);
        PrintTime(record.details.lastWriteTime);
        if (checksums) {
            std::printf("\t%u\n", static_cast<unsigned>(record.details.checksum));
        } else {
            std::printf("\t-\n");
        }
    }
    return EXIT_SAME;
}

// Reads the words after the command into line; an empty text when they make
// sense for the command, else what is wrong.
std::string ParseArguments(int argc, char** argv, CommandLine& line)
{
    const bool create = line.command == "create";
    const bool compare = line.command == "compare";
    const bool show = line.command == "show";
    if (!create && !compare && !show) {
        return "unknown command '" + line.command + "'";
    }
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        bool takesValue = (create && (word == "--include" || word == "--exclude")) ||
                          (compare && word == "--report");
        if (takesValue) {
            if (i + 1 >= argc) {
                return word + " needs a value";
            }
            std::string value = argv[++i];
            if (word == "--report") {
                line.report = value;
            } else {
                line.entries.emplace_back(word == "--include" ? Include : Exclude, value);
            }
        } else if (create && word == "--checksums") {
            line.checksums = true;
        } else if (create && word == "--drive-letter") {
            line.driveLetter = true;
        } else if ((create || compare) && word == "--quiet") {
            line.quiet = true;
        } else if (show && word == "--records") {
            line.records = true;
        } else if (word.compare(0, 2, "--") == 0 || !line.file.empty()) {
            return "unexpected '" + word + "' for " + line.command;
        } else {
            line.file = word;
        }
    }
    if (line.file.empty()) {
        return line.command + " needs a signature file";
    }
    if (create && line.entries.end() == std::find_if(line.entries.begin(), line.entries.end(),
                                                     [](const auto& e) { return e.first == Include; })) {
        return "create needs at least one --include";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("%s", USAGE);
        return EXIT_SAME;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s build %s\n", PRODUCT_NAME, PRODUCT_VERSION, PRODUCT_BUILD);
        return EXIT_SAME;
    }
    if (argc < 2) {
        return UsageError("no command given");
    }
    CommandLine line;
    line.command = argv[1];
    std::string problem = ParseArguments(argc, argv, line);
    if (!problem.empty()) {
        return UsageError(problem);
    }

    SetMessageSink(PrintMessage);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    ResetSignature(nullptr);
    if (line.command == "create") {
        return RunCreate(line);
    }
    return line.command == "compare" ? RunCompare(line) : RunShow(line);
}
