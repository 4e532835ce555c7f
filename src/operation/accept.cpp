#include "operation/accept.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "compare/json_report_file.h"
#include "compare/report_json.h"
#include "sigfile/signature_file.h"

AcceptResult AcceptReport(AppState& state, OperationObserver& observer, const std::string& signaturePath,
                          const std::string& reportPath)
{
    AcceptResult result;
    const char* title = FileTitle(signaturePath.c_str());
    unsigned char digest[SHA256_DIGEST_SIZE];
    if (!LoadSignatureFrom(state, observer, signaturePath.c_str(), title, digest)) {
        return result;
    }
    std::ifstream in(reportPath, std::ios::binary);
    if (!in) {
        observer.Tell({MessageId::CannotReadReport, 0, reportPath});
        return result;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ReviewedReport report;
    std::string problem = ReadReviewedReport(text, AnsiFromUtf8, report);
    if (problem.empty() && report.signatureSha256 != Hex(digest, SHA256_DIGEST_SIZE)) {
        problem = "the signature has changed since the report was made (its SHA-256 is not the report's)";
    }
    RecordTable accepted;
    if (problem.empty()) {
        problem = ApplyReviewedChanges(state.LoadedTable, state.calculateChecksums.load() != 0, report, accepted,
                                       result.counts);
    }
    if (!problem.empty()) {
        observer.Tell({MessageId::ReportRefused, 0, problem});
        return result;
    }

    state.LoadedTable.TakeFrom(accepted);
    int64_t total = 0;
    for (int32_t i = 0; i < state.LoadedTable.Count(); ++i) {
        total += static_cast<int64_t>(state.LoadedTable.Details(i).size);
    }
    state.header.fileCount = state.LoadedTable.Count();
    state.header.totalBytes = total;
    result.backupPath = signaturePath + ".bak";
    if (!CopyFileA(signaturePath.c_str(), result.backupPath.c_str(), FALSE)) {
        observer.Tell({MessageId::CannotKeepBackup, 0, result.backupPath});
        return result;
    }
    result.accepted = SaveSignatureTo(state, observer, signaturePath.c_str(), title);
    return result;
}
