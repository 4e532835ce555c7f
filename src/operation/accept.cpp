#include "operation/accept.h"

#include <windows.h>

#include "compare/json_report_file.h"
#include "compare/reviewed_report.h"
#include "seal/seal.h"
#include "sigfile/signature_file.h"
#include "sigfile/signature_stream.h"

AcceptResult AcceptReport(AppState& state, OperationObserver& observer, const StopToken& stop,
                          const std::string& signaturePath, const std::string& reportPath, const PrivateKey* sealKey)
{
    AcceptResult result;
    const char* title = FileTitle(signaturePath.c_str());
    unsigned char digest[SHA256_DIGEST_SIZE];
    if (!LoadSignatureFrom(state, observer, signaturePath.c_str(), title, digest, &stop)) {
        result.stopped = stop.Requested();
        return result;
    }
    FileLines lines(reportPath, &stop);
    if (!lines.Open()) {
        observer.Tell({MessageId::CannotReadReport, 0, reportPath});
        return result;
    }
    ReviewedReport report;
    std::string problem = ReadReviewedReport(lines, AnsiFromUtf8, report);
    if (problem.empty() && report.signatureSha256 != Hex(digest, SHA256_DIGEST_SIZE)) {
        problem = "the signature has changed since the report was made (its SHA-256 is not the report's)";
    }
    RecordTable accepted;
    if (problem.empty()) {
        problem = ApplyReviewedChanges(state.LoadedTable, state.calculateChecksums.load() != 0, report, lines,
                                       AnsiFromUtf8, accepted, result.counts);
    }
    if (stop.Requested()) {
        result.stopped = true;
        return result;
    }
    if (!problem.empty()) {
        observer.Tell({MessageId::ReportRefused, 0, problem});
        return result;
    }

    state.LoadedTable.TakeFrom(accepted);
    // Unsigned, as the sizes are: the header keeps the total's 64 bits.
    uint64_t total = 0;
    for (int32_t i = 0; i < state.LoadedTable.Count(); ++i) {
        total += state.LoadedTable.Details(i).size;
    }
    state.header.fileCount = state.LoadedTable.Count();
    state.header.totalBytes = static_cast<int64_t>(total);
    // The previous file is copied aside first and takes the backup's name
    // only once the new one is on the disk whole, right before that takes
    // its place: a failure or a Ctrl+C until then leaves both as they were.
    result.backupPath = signaturePath + ".bak";
    char backup[MAX_PATH];
    if (!CopyBeside(signaturePath.c_str(), backup)) {
        observer.Tell({MessageId::CannotKeepBackup, 0, result.backupPath});
        return result;
    }
    bool readOnly = false;
    std::string sealTemporary, sealProblem;
    const std::string seal = SealPath(signaturePath);
    const SaveError error = SaveSignatureFile(state, signaturePath.c_str(), title, nullptr, [&](const char* temporary) {
        const DWORD attributes = GetFileAttributesA(signaturePath.c_str());
        readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (sealKey != nullptr) sealProblem = PrepareSeal(temporary, signaturePath, *sealKey, sealTemporary);
        if (stop.Requested() || readOnly || !sealProblem.empty()) return false;
        // The seal that was there goes with the previous file.
        char sealBackup[MAX_PATH];
        if (GetFileAttributesA(seal.c_str()) != INVALID_FILE_ATTRIBUTES &&
            !(CopyBeside(seal.c_str(), sealBackup) && PutInPlace(sealBackup, (seal + ".bak").c_str()))) {
            return false;
        }
        return PutInPlace(backup, result.backupPath.c_str());
    });
    DeleteFileA(backup);  // gone already once it took the backup's name
    if (error != SaveError::None && !sealTemporary.empty()) DeleteFileA(sealTemporary.c_str());
    if (error == SaveError::None) {
        NameSavedSignature(state, title);
        result.accepted = sealTemporary.empty() || PutInPlace(sealTemporary.c_str(), seal.c_str());
        if (!result.accepted) observer.Tell({MessageId::ReportRefused, 0, "the new seal could not be written"});
    } else if (!sealProblem.empty()) {
        observer.Tell({MessageId::ReportRefused, 0, sealProblem});
    } else if (stop.Requested()) {
        result.stopped = true;
    } else if (readOnly) {
        observer.Tell({MessageId::ReportRefused, 0, "the signature file is read-only"});
    } else if (error == SaveError::Withdrawn) {
        observer.Tell({MessageId::CannotKeepBackup, 0, result.backupPath});
    } else {
        observer.Tell({MessageId::SaveFailed, static_cast<int64_t>(error)});
    }
    return result;
}
