#include "cli/commands.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "cli/console_output.h"
#include "compare/report_json.h"
#include "model/panel_format.h"
#include "operation/accept.h"
#include "operation/operation.h"
#include "scan/directory_rules.h"
#include "scan/walker.h"
#include "model/version.h"
#include "seal/seal.h"
#include "sigfile/format.h"
#include "sigfile/signature_file.h"
#include "sigfile/signature_stream.h"

namespace {

// The exit code of a command that a Ctrl+C ended before it wrote anything.
int StoppedByCtrlC()
{
    PrintError("Stopped by Ctrl+C: nothing was written.");
    return EXIT_STOPPED;
}

// A Create or Compare as the console program runs it: on this thread, with
// the progress line, writing nothing after a Ctrl+C.
OperationResult Run(OperationResult (*operation)(AppState&, OperationObserver&, const StopToken&,
                                                 const OperationOptions&),
                    Console& console, const OperationOptions& options)
{
    StartProgressLine(console.state, console.line.quiet);
    OperationResult result = operation(console.state, console.observer, console.stop, options);
    StopProgressLine();
    if (result.stopped) {
        StoppedByCtrlC();
    }
    return result;
}

// Loads the command's signature; its exit code when it cannot.
int Load(Console& console, unsigned char* digest = nullptr)
{
    const char* path = console.line.file.c_str();
    if (LoadSignatureFrom(console.state, console.observer, path, FileTitle(path), digest, &console.stop)) {
        return EXIT_SAME;
    }
    return console.stop.Requested() ? StoppedByCtrlC() : EXIT_FAILED;
}

// The one line a JSON report holds when the seal did not verify.
void WriteTamperedSummary(const CommandLine& line, const std::string& fingerprint)
{
    ReportSummary summary;
    summary.version = std::string(PRODUCT_VERSION) + " build " + PRODUCT_BUILD;
    summary.signature = Utf8FromAnsi(line.file);
    summary.started = summary.finished = IsoTime(UtcNow());
    summary.complete = false;
    summary.exitCode = EXIT_TAMPERED;
    summary.sealKey = fingerprint;
    const std::string text = SummaryLine(summary) + "\n";
    std::string temporary;
    if (line.json == "-") {
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, as JSON Lines has them
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (!WriteBeside(line.json, Bytes(text.begin(), text.end()), temporary) ||
               !PutInPlace(temporary.c_str(), line.json.c_str())) {
        PrintError(("Error: Could not write the JSON report " + line.json).c_str());
    }
}

// With --trust, the seal must verify before anything else: EXIT_SAME with
// the key's fingerprint, else the exit code (5, or 2 for a key that is no
// public key) after saying why.
int CheckTrust(const CommandLine& line, std::string& fingerprint)
{
    if (line.key.empty()) return EXIT_SAME;
    PrivateKey key;
    std::string problem = LoadKey(line.key, KeyKind::Public, key);
    if (!problem.empty()) return PrintError(problem.c_str()), EXIT_FAILED;
    fingerprint = Fingerprint(key.publicKey);
    problem = VerifySeal(line.file, key.publicKey);
    if (problem.empty()) return EXIT_SAME;
    PrintError(problem.c_str());
    if (!line.json.empty()) WriteTamperedSummary(line, fingerprint);
    return EXIT_TAMPERED;
}

bool AddEntries(DirectoryList& list, const CommandLine& line)
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
        DirectoryRefusal refusal = AddDirectoryEntry(list, path, entry.first).refusal;
        if (refusal != DirectoryRefusal::None) {
            PrintError(DescribeRefusal(refusal).text);
            return false;
        }
    }
    return true;
}

// To out: standard output, or standard error where the JSON report has
// standard output to itself.
void PrintDifferenceSummary(const AppState& state, std::FILE* out)
{
    static const char* const KINDS[] = {
        nullptr,          "Extra files",        "Missing files",        "Different size",
        "Different creation time", "Different modify time", "Different attributes", "Different checksum",
    };
    constexpr int KIND_COUNT = sizeof KINDS / sizeof KINDS[0];
    int counts[KIND_COUNT] = {};
    const DifferenceTable& table = state.differenceTable;
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
    if (state.scanSkippedCount.load() > 0) {
        std::fprintf(out, "Not checked (paths longer than %d characters): %d\n", RECORD_PATH_SIZE - 1,
                    static_cast<int>(state.scanSkippedCount.load()));
    }
    if (table.uncheckedCount > 0) {
        std::fprintf(out, "Not checked (their folders could not be read): %lld\n",
                     static_cast<long long>(table.uncheckedCount));
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

int RunCreate(Console& console)
{
    const CommandLine& line = console.line;
    AppState& state = console.state;
    PrivateKey sealKey;
    if (!line.key.empty()) {
        const std::string problem = LoadKey(line.key, KeyKind::Private, sealKey);
        if (!problem.empty()) return PrintError(problem.c_str()), EXIT_FAILED;
    }
    if (!AddEntries(state.directoryList, line)) {
        return EXIT_FAILED;
    }
    state.calculateChecksums.store(line.checksums ? 1 : 0);
    state.useSha256.store(line.sha256 ? 1 : 0);
    state.includeDriveLetter.store(line.driveLetter ? 1 : 0);
    OperationOptions options;
    options.keepWhenStopped = false;
    const OperationResult result = Run(CreateSignature, console, options);
    if (result.refused || result.stopped) {
        return ExitCode(result);
    }
    // A Ctrl+C until the new file takes its place leaves the old one.
    // With --seal, the seal is made of the new file before either takes its place.
    std::string sealTemporary, sealProblem;
    const SaveError error = SaveSignatureFile(state, line.file.c_str(), FileTitle(line.file.c_str()), nullptr,
                                              [&](const char* temporary) {
                                                  if (!line.key.empty()) {
                                                      sealProblem = PrepareSeal(temporary, line.file, sealKey, sealTemporary);
                                                  }
                                                  return sealProblem.empty() && !console.stop.Requested();
                                              });
    if (error != SaveError::None) {
        if (!sealTemporary.empty()) DeleteFileA(sealTemporary.c_str());
        if (!sealProblem.empty()) return PrintError(sealProblem.c_str()), EXIT_FAILED;
        if (console.stop.Requested()) return StoppedByCtrlC();
        console.observer.Tell({MessageId::SaveFailed, static_cast<int64_t>(error)});
        return EXIT_FAILED;
    }
    NameSavedSignature(state, FileTitle(line.file.c_str()));
    if (!sealTemporary.empty() && !PutInPlace(sealTemporary.c_str(), SealPath(line.file).c_str())) {
        PrintError(("Error: Could not write the seal " + SealPath(line.file)).c_str());
        return EXIT_FAILED;
    }
    char megabytes[PANEL_TEXT_SIZE];
    FormatMegabytes(static_cast<uint64_t>(state.header.totalBytes), megabytes, sizeof megabytes);
    std::printf("Recorded %d files in %d folders (%s MB) in %s\n", static_cast<int>(state.header.fileCount),
                static_cast<int>(state.header.directoryCount), megabytes, line.file.c_str());
    return ExitCode(result);
}

int RunCompare(Console& console)
{
    const CommandLine& line = console.line;
    AppState& state = console.state;
    OperationOptions options;
    options.keepWhenStopped = false;
    options.reportPath = line.report;
    options.json.path = line.json;
    options.json.signaturePath = line.file;
    options.json.started = UtcNow();
    if (int trusted = CheckTrust(line, options.json.sealKey)) {
        return trusted;
    }
    if (int loaded = Load(console, options.json.signatureDigest)) {
        return loaded;
    }
    state.signatureLoaded.store(1);
    const OperationResult result = Run(CompareWithSignature, console, options);
    if (result.refused || result.stopped) {
        return ExitCode(result);
    }
    // The folders the report names, also where a log keeps them.
    for (const UnreadFolder& folder : state.unreadFolders) {
        if (folder.holdsRecords) {
            PrintError(("Folder not read: " + Described(folder)).c_str());
        }
    }
    for (const std::string& link : state.loopFolders) {
        PrintError(("Link not followed (it leads back to a folder above it): " + link).c_str());
    }
    std::FILE* summaryOut = line.json == "-" ? stderr : stdout;
    PrintDifferenceSummary(state, summaryOut);
    if (!result.reportPath.empty()) {
        std::fprintf(summaryOut, "Report: %s\n", result.reportPath.c_str());
    }
    return ExitCode(result);
}

int RunAccept(Console& console)
{
    const CommandLine& line = console.line;
    // A sealed baseline keeps its seal: accept needs the key, and the seal
    // there must verify with it first.
    const bool sealed = GetFileAttributesA(SealPath(line.file).c_str()) != INVALID_FILE_ATTRIBUTES;
    PrivateKey key;
    if (line.key.empty() && sealed) {
        PrintError(("Nothing accepted, " + line.file + " is unchanged: it is sealed, and accept needs --seal NAME.key "
                    "to seal it again")
                       .c_str());
        return EXIT_FAILED;
    }
    if (!line.key.empty()) {
        std::string problem = LoadKey(line.key, KeyKind::Private, key);
        if (!problem.empty()) return PrintError(problem.c_str()), EXIT_FAILED;
        problem = sealed ? VerifySeal(line.file, key.publicKey) : "";
        if (!problem.empty()) return PrintError(problem.c_str()), EXIT_TAMPERED;
    }
    const AcceptResult result = AcceptReport(console.state, console.observer, console.stop, line.file, line.report,
                                             line.key.empty() ? nullptr : &key);
    if (!result.accepted) {
        return result.stopped ? StoppedByCtrlC() : EXIT_FAILED;
    }
    std::printf("Accepted %lld added, %lld removed, %lld changed into %s (previous kept as %s)\n",
                static_cast<long long>(result.counts[0]), static_cast<long long>(result.counts[1]),
                static_cast<long long>(result.counts[2]), line.file.c_str(), result.backupPath.c_str());
    return EXIT_SAME;
}

int RunShow(Console& console)
{
    const CommandLine& line = console.line;
    AppState& state = console.state;
    std::string fingerprint;
    if (int trusted = CheckTrust(line, fingerprint)) {
        return trusted;
    }
    if (int loaded = Load(console)) {
        return loaded;
    }
    if (!fingerprint.empty()) std::printf("Seal: verified with the key %s\n", fingerprint.c_str());
    const SignatureHeader& header = state.header;
    const DirectoryList& list = state.directoryList;
    char megabytes[PANEL_TEXT_SIZE];
    // Sizes are unsigned; so is their total, which the header keeps in 64 bits.
    FormatMegabytes(static_cast<uint64_t>(header.totalBytes), megabytes, sizeof megabytes);
    std::printf("Name: %.*s\nLayout: %d\nFolders: %d\nFiles: %d\nTotal size: %llu bytes (%s MB)\n",
                SIGNATURE_NAME_SIZE, header.name, header.layoutVersion, static_cast<int>(header.directoryCount),
                static_cast<int>(header.fileCount), static_cast<unsigned long long>(header.totalBytes), megabytes);
    bool checksums = state.calculateChecksums.load() != 0;
    bool digests = state.useSha256.load() != 0;
    std::printf("Checksums: %s\nDrive letter: %s\n", digests ? "SHA-256" : checksums ? "yes" : "no",
                state.includeDriveLetter.load() != 0 ? "yes" : "no");
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        int32_t action = list.actions[slot];
        if (action == Include || action == Exclude) {
            std::printf("%s %.*s\n", action == Include ? "Include" : "Exclude", DIRECTORY_PATH_SIZE,
                        list.paths[slot]);
        }
    }
    const RecordTable& records = state.LoadedTable;
    for (int32_t i = 0; line.records && i < records.Count(); ++i) {
        if (console.stop.Requested()) {
            std::fflush(stdout);
            PrintError("Stopped by Ctrl+C.");
            return EXIT_STOPPED;
        }
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

int RunKeygen(Console& console)
{
    const std::string privatePath = console.line.file + ".key", publicPath = console.line.file + ".pub";
    PrivateKey key;
    if (!GenerateKey(key)) return PrintError("Error: Windows made no key pair"), EXIT_FAILED;
    const Bytes privateDer = EncodePrivateKey(key);
    const std::string texts[2] = {Pem("PRIVATE KEY", privateDer), Pem("PUBLIC KEY", EncodePublicKey(key.publicKey))};
    const std::string* paths[2] = {&privatePath, &publicPath};
    // Never over a key that is there: it may be the one that sealed a baseline.
    HANDLE files[2];
    for (int i = 0; i < 2; ++i) {
        files[i] = CreateFileA(paths[i]->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (files[i] == INVALID_HANDLE_VALUE) {
            if (i == 1) CloseHandle(files[0]), DeleteFileA(privatePath.c_str());
            PrintError(("Error: Could not create " + *paths[i] + " (a key file is never written over)").c_str());
            return EXIT_FAILED;
        }
    }
    bool written = true;
    for (int i = 0; i < 2; ++i) {
        DWORD done = 0;
        written = WriteFile(files[i], texts[i].data(), static_cast<DWORD>(texts[i].size()), &done, nullptr) &&
                  done == texts[i].size() && FlushFileBuffers(files[i]) && written;
        CloseHandle(files[i]);
    }
    if (!written) {
        DeleteFileA(privatePath.c_str()), DeleteFileA(publicPath.c_str());
        return PrintError("Error: Could not write the key files"), EXIT_FAILED;
    }
    std::printf("Wrote %s (the private key: keep it off the watched machine) and %s\nFingerprint: %s\n",
                privatePath.c_str(), publicPath.c_str(), Fingerprint(key.publicKey).c_str());
    return EXIT_SAME;
}
