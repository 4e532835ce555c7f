#include "compare/json_report_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "compare/report_json.h"
#include "model/version.h"
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


// Writes each difference as the walk meets it, counting them.
struct LineWriter {
    const AppState& state;
    std::FILE* out;
    ContentCheck content;
    bool checksums;
    bool failed;
    int64_t counts[4];  // added, removed, changed, unchecked
};

void WriteDifference(void* context, int32_t kind, int32_t scanIndex, int32_t loadedIndex)
{
    LineWriter& writer = *static_cast<LineWriter*>(context);
    ++writer.counts[kind == Extra ? 0 : kind == Missing ? 1 : kind == Unchecked ? 3 : 2];
    std::string line = DifferenceLine(kind, writer.state.ScanTable, scanIndex, writer.state.LoadedTable, loadedIndex,
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

std::string Utf8FromAnsi(const std::string& text) { return Convert(text, CP_ACP, CP_UTF8); }
std::string AnsiFromUtf8(const std::string& text) { return Convert(text, CP_UTF8, CP_ACP); }

FileTime UtcNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return {now.dwLowDateTime, now.dwHighDateTime};
}

bool WriteJsonReport(const AppState& state, OperationObserver& observer, const JsonReportTarget& target,
                     ContentCheck content, MissingJudge* judge, int exitCode, char* temporary)
{
    const bool toStandardOutput = target.path == "-";
    temporary[0] = '\0';
    std::FILE* out = stdout;
    if (!toStandardOutput) {
        // Written beside its place and renamed into it at the end, so that
        // a reader never sees half a report, nor an earlier one appended to.
        out = MakeTemporaryFileBeside(target.path.c_str(), temporary) ? std::fopen(temporary, "wb") : nullptr;
        if (out == nullptr) {
            if (temporary[0] != '\0') DeleteFileA(temporary);
            observer.Tell({MessageId::CannotWriteJson, 0, target.path});
            return false;
        }
    } else {
        // LF line ends, as JSON Lines has them, not the console's CR LF.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
    }
    LineWriter writer = {state, out, content, state.calculateChecksums.load() != 0, false, {0, 0, 0, 0}};
    VisitDifferences(state.ScanTable, state.LoadedTable, writer.content, WriteDifference, &writer, judge);

    ReportSummary summary;
    summary.version = std::string(PRODUCT_VERSION) + " build " + PRODUCT_BUILD;
    char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD hostLength = sizeof host;
    summary.host = GetComputerNameA(host, &hostLength) ? Utf8FromAnsi(host) : "";
    summary.signature = Utf8FromAnsi(FullPath(target.signaturePath));
    summary.signatureSha256 = Hex(target.signatureDigest, SHA256_DIGEST_SIZE);
    summary.started = IsoTime(target.started);
    summary.finished = IsoTime(UtcNow());
    summary.filesInSignature = state.LoadedTable.Count();
    summary.filesScanned = state.ScanTable.Count();
    summary.added = writer.counts[0];
    summary.removed = writer.counts[1];
    summary.changed = writer.counts[2];
    summary.skippedLongPaths = state.scanSkippedCount.load();
    summary.unreadFolders = static_cast<int64_t>(state.unreadFolders.size());
    summary.unchecked = writer.counts[3];
    summary.loops = static_cast<int64_t>(state.loopFolders.size());
    summary.fileLimitReached = state.fileLimitReached.load() != 0;
    summary.complete = !summary.fileLimitReached && state.scanStopped.load() == 0;
    summary.exitCode = exitCode;
    summary.sealKey = target.sealKey;
    summary.sealVerified = !target.sealKey.empty();
    std::string last = SummaryLine(summary) + "\n";
    writer.failed = writer.failed || std::fwrite(last.data(), 1, last.size(), out) != last.size();
    writer.failed = std::fflush(out) != 0 || writer.failed;
    if (toStandardOutput) {
        return !writer.failed;
    }
    writer.failed = !FlushToDisk(out) || writer.failed;
    writer.failed = std::fclose(out) != 0 || writer.failed;
    if (writer.failed) {
        DeleteFileA(temporary);
        observer.Tell({MessageId::CannotWriteJson, 1, target.path});
        return false;
    }
    return true;
}

