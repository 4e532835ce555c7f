#include "cli/commands.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "cli/console_output.h"
#include "cli/machine_report.h"
#include "compare/compare_signatures.h"
#include "compare/report.h"
#include "compare/report_json.h"
#include "model/app_state.h"
#include "model/panel_format.h"
#include "scan/directory_rules.h"
#include "scan/operation.h"
#include "scan/sha256.h"
#include "sigfile/format.h"
#include "sigfile/signature_file.h"

namespace {

// The walk of a Create or Compare (mode), with the progress line on a
// console: EXIT_SAME when the operation may go on, else its exit code.
int Scan(int32_t mode, bool quiet)
{
    appState.operationMode.store(mode);
    if (!OperationPreconditionsMet()) {
        return EXIT_FAILED;
    }
    StartProgressLine(quiet);
    ScanIncludedDirectories();
    StopProgressLine();
    if (appState.stopRequested.load() != 0) {
        PrintError("Stopped by Ctrl+C: nothing was written.");
        return EXIT_STOPPED;
    }
    return EXIT_SAME;
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

// To out: standard output, or standard error where the JSON report has
// standard output to itself.
void PrintDifferenceSummary(std::FILE* out)
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
        std::fprintf(out, "%s: %d\n", KINDS[kind], counts[kind]);
    }
    if (table.droppedCount > 0) {
        std::fprintf(out, "Not listed (more than %d differences): %d\n", MAX_DIFFERENCES,
                     static_cast<int>(table.droppedCount));
    }
    if (appState.scanSkippedCount.load() > 0) {
        std::fprintf(out, "Not checked (paths longer than %d characters): %d\n", RECORD_PATH_SIZE - 1,
                    static_cast<int>(appState.scanSkippedCount.load()));
    }
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

}  // namespace

const char* FileTitle(const std::string& path)
{
    size_t start = path.find_last_of("\\/:");
    return path.c_str() + (start == std::string::npos ? 0 : start + 1);
}

int RunCreate(const CommandLine& line)
{
    if (!AddEntries(line)) {
        return EXIT_FAILED;
    }
    appState.calculateChecksums.store(line.checksums ? 1 : 0);
    appState.useSha256.store(line.sha256 ? 1 : 0);
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

int RunCompare(const CommandLine& line)
{
    const FileTime started = Now();
    unsigned char signatureDigest[SHA256_DIGEST_SIZE];
    if (!LoadSignatureFrom(line.file.c_str(), FileTitle(line.file), signatureDigest)) {
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
    std::FILE* summaryOut = line.json == "-" ? stderr : stdout;
    PrintDifferenceSummary(summaryOut);
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
        std::fprintf(summaryOut, "Report: %s\n", path);
    }
    const int exitCode = limited ? EXIT_FILE_LIMIT : reportDue ? EXIT_DIFFERENT : EXIT_SAME;
    if (!line.json.empty() && !WriteJsonReport(line, signatureDigest, started, exitCode)) {
        return EXIT_FAILED;
    }
    return exitCode;
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
    bool digests = appState.useSha256.load() != 0;
    std::printf("Checksums: %s\nDrive letter: %s\n", digests ? "SHA-256" : checksums ? "yes" : "no",
                appState.includeDriveLetter.load() != 0 ? "yes" : "no");
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        int32_t action = list.actions[slot];
        if (action == Include || action == Exclude) {
            std::printf("%s %.*s\n", action == Include ? "Include" : "Exclude", DIRECTORY_PATH_SIZE,
                        list.paths[slot]);
        }
    }
    const RecordTable& records = appState.LoadedTable;
    for (int32_t i = 0; line.records && i < records.Count(); ++i) {
        const FileRecord record = records.Get(i);
        std::printf("%s\t%llu\t%08X", record.path,
                    static_cast<unsigned long long>(record.details.size),
                    static_cast<unsigned>(record.details.attributes));
        PrintTime(record.details.creationTime);
        PrintTime(record.details.lastWriteTime);
        if (checksums) {
            std::printf("\t%u", static_cast<unsigned>(record.details.checksum));
        } else {
            std::printf("\t-");
        }
        if (digests) {
            std::printf("\t%s", record.hasDigest == 1 ? Hex(record.digest, DIGEST_SIZE).c_str() : "-");
        }
        std::printf("\n");
    }
    return EXIT_SAME;
}
