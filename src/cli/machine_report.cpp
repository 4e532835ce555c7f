#include "cli/machine_report.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "compare/compare_signatures.h"
#include "compare/report_json.h"
#include "model/app_state.h"
#include "model/version.h"
#include "scan/sha256.h"
#include "sigfile/signature_file.h"

namespace {

// Text of one code page in another, through UTF-16. Bytes that are no
// character of the source code page come out as the system's replacement,
// so that the result is always valid in the target.
std::string Convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty()) return text;
    int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &wide[0], wideLength);
    int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, &out[0], length, nullptr, nullptr);
    return out;
}

std::string Utf8FromAnsi(const std::string& text) { return Convert(text, CP_ACP, CP_UTF8); }
std::string AnsiFromUtf8(const std::string& text) { return Convert(text, CP_UTF8, CP_ACP); }

// Writes each difference as the walk meets it, counting them.
struct LineWriter {
    std::FILE* out;
    ContentCheck content;
    bool checksums;
    bool failed;
    int64_t counts[3];  // added, removed, changed
};

void WriteDifference(void* context, int32_t kind, int32_t scanIndex, int32_t loadedIndex)
{
    LineWriter& writer = *static_cast<LineWriter*>(context);
    ++writer.counts[kind == Extra ? 0 : kind == Missing ? 1 : 2];
    std::string line = DifferenceLine(kind, appState.ScanTable, scanIndex, appState.LoadedTable, loadedIndex,
                                      writer.content, writer.checksums, Utf8FromAnsi) + "\n";
    writer.failed = writer.failed || std::fwrite(line.data(), 1, line.size(), writer.out) != line.size();
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

}  // namespace

FileTime Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return {now.dwLowDateTime, now.dwHighDateTime};
}

bool WriteJsonReport(const CommandLine& line, const unsigned char* signatureDigest, const FileTime& started,
                     int exitCode)
{
    const bool toStandardOutput = line.json == "-";
    char temporary[MAX_PATH] = "";
    std::FILE* out = stdout;
    if (!toStandardOutput) {
        // Written beside its place and renamed into it at the end, so that
        // a reader never sees half a report, nor an earlier one appended to.
        out = MakeTemporaryFileBeside(line.json.c_str(), temporary) ? std::fopen(temporary, "wb") : nullptr;
        if (out == nullptr) {
            if (temporary[0] != '\0') DeleteFileA(temporary);
            PrintError(("Error: Could not create the JSON report " + line.json).c_str());
            return false;
        }
    } else {
        // LF line ends, as JSON Lines has them, not the console's CR LF.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
    }
    LineWriter writer = {out, ContentInForce(), appState.calculateChecksums.load() != 0, false, {0, 0, 0}};
    VisitDifferences(appState.ScanTable, appState.LoadedTable, writer.content, WriteDifference, &writer);

    ReportSummary summary;
    summary.version = std::string(PRODUCT_VERSION) + " build " + PRODUCT_BUILD;
    char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD hostLength = sizeof host;
    summary.host = GetComputerNameA(host, &hostLength) ? Utf8FromAnsi(host) : "";
    summary.signature = Utf8FromAnsi(FullPath(line.file));
    summary.signatureSha256 = Hex(signatureDigest, SHA256_DIGEST_SIZE);
    summary.started = IsoTime(started);
    summary.finished = IsoTime(Now());
    summary.filesInSignature = appState.LoadedTable.Count();
    summary.filesScanned = appState.ScanTable.Count();
    summary.added = writer.counts[0];
    summary.removed = writer.counts[1];
    summary.changed = writer.counts[2];
    summary.skippedLongPaths = appState.scanSkippedCount.load();
    summary.fileLimitReached = appState.fileLimitReached.load() != 0;
    summary.complete = !summary.fileLimitReached && appState.scanStopped.load() == 0;
    summary.exitCode = exitCode;
    std::string last = SummaryLine(summary) + "\n";
    writer.failed = writer.failed || std::fwrite(last.data(), 1, last.size(), out) != last.size();
    writer.failed = std::fflush(out) != 0 || writer.failed;
    if (toStandardOutput) {
        return !writer.failed;
    }
    writer.failed = std::fclose(out) != 0 || writer.failed;
    if (writer.failed || !MoveFileExA(temporary, line.json.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary);
        PrintError(("Error: Could not write the JSON report " + line.json).c_str());
        return false;
    }
    return true;
}

int RunAccept(const CommandLine& line)
{
    const char* title = FileTitle(line.file);
    unsigned char digest[SHA256_DIGEST_SIZE];
    if (!LoadSignatureFrom(line.file.c_str(), title, digest)) {
        return EXIT_FAILED;
    }
    std::ifstream in(line.report, std::ios::binary);
    if (!in) {
        PrintError(("Error: Could not read the report " + line.report).c_str());
        return EXIT_FAILED;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ReviewedReport report;
    std::string problem = ReadReviewedReport(text, AnsiFromUtf8, report);
    if (problem.empty() && report.signatureSha256 != Hex(digest, SHA256_DIGEST_SIZE)) {
        problem = "the signature has changed since the report was made (its SHA-256 is not the report's)";
    }
    RecordTable accepted;
    int64_t counts[3];
    if (problem.empty()) {
        problem = ApplyReviewedChanges(appState.LoadedTable, appState.calculateChecksums.load() != 0, report, accepted,
                                       counts);
    }
    if (!problem.empty()) {
        PrintError(("Nothing accepted, " + line.file + " is unchanged: " + problem).c_str());
        return EXIT_FAILED;
    }

    appState.LoadedTable.TakeFrom(accepted);
    int64_t total = 0;
    for (int32_t i = 0; i < appState.LoadedTable.Count(); ++i) {
        total += static_cast<int64_t>(appState.LoadedTable.Details(i).size);
    }
    appState.header.fileCount = appState.LoadedTable.Count();
    appState.header.totalBytes = total;
    const std::string backup = line.file + ".bak";
    if (!CopyFileA(line.file.c_str(), backup.c_str(), FALSE)) {
        PrintError(("Nothing accepted: could not keep the previous signature as " + backup).c_str());
        return EXIT_FAILED;
    }
    if (!SaveSignatureTo(line.file.c_str(), title)) {
        return EXIT_FAILED;
    }
    std::printf("Accepted %lld added, %lld removed, %lld changed into %s (previous kept as %s)\n",
                static_cast<long long>(counts[0]), static_cast<long long>(counts[1]),
                static_cast<long long>(counts[2]), line.file.c_str(), backup.c_str());
    return EXIT_SAME;
}
