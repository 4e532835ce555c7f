#include "compare/report.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "compare/report_text.h"
#include "compare/system_folders.h"
#include "scan/walker.h"
#include "sigfile/signature_file.h"

namespace {

constexpr char COMPANY_FOLDER[] = "Quillory";
constexpr char PRODUCT_FOLDER[] = "Olvarin";
constexpr char RESULT_FILE_NAME[] = "olvarinresult.txt";

// Appends a backslash and name to the path in buffer; false, leaving the
// buffer as it was, when the result would not fit.
bool AppendName(char* buffer, const char* name)
{
    size_t used = std::strlen(buffer);
    size_t length = std::strlen(name);
    if (used + 1 + length >= static_cast<size_t>(RESULT_PATH_SIZE)) {
        return false;
    }
    buffer[used] = '\\';
    std::memcpy(buffer + used + 1, name, length + 1);
    return true;
}

}  // namespace

void BuildResultFilePath(char* buffer)
{
    buffer[0] = '\0';
    HRESULT found = GetShellFolderPath(CSIDL_PERSONAL | CSIDL_FLAG_CREATE,
                           SHGFP_TYPE_CURRENT, buffer);
    buffer[RESULT_PATH_SIZE - 1] = '\0';

    bool ok;
    if (found >= 0) {
        // An existing folder is no error; one that cannot be made shows when
        // the file cannot be created in it.
        ok = AppendName(buffer, COMPANY_FOLDER);
        if (ok) CreateDirectoryA(buffer, nullptr);
        ok = ok && AppendName(buffer, PRODUCT_FOLDER);
        if (ok) CreateDirectoryA(buffer, nullptr);
    } else {
        ok = GetProgramFolder(buffer, RESULT_PATH_SIZE);
    }
    ok = ok && AppendName(buffer, RESULT_FILE_NAME);
    if (!ok) {
        buffer[0] = '\0';  // opens nothing, rather than some other file
    }
}

bool WriteResultFile(const AppState& state, OperationObserver& observer, const char* path, char* temporary)
{
    // Binary: the text carries its own CR LF line ends.
    temporary[0] = '\0';
    std::FILE* file =
        path[0] != '\0' && MakeTemporaryFileBeside(path, temporary) ? std::fopen(temporary, "wb") : nullptr;
    if (file == nullptr) {
        if (temporary[0] != '\0') DeleteFileA(temporary);
        observer.Tell(MessageId::CannotCreateReport);
        return false;
    }
    ReportNotes notes;
    notes.skippedCount = state.scanSkippedCount.load(std::memory_order_relaxed);
    notes.uncheckedCount = state.differenceTable.uncheckedCount;
    for (const UnreadFolder& folder : state.unreadFolders) {
        // A folder unread that the signature held nothing under adds no noise.
        if (folder.holdsRecords) notes.unreadFolders.push_back(Described(folder));
    }
    notes.loopFolders = state.loopFolders;
    notes.stopped = state.scanStopped.load(std::memory_order_relaxed) != 0;
    notes.cutShort = state.fileLimitReached.load(std::memory_order_relaxed) != 0;
    notes.filesCovered = state.scanFileCount.load(std::memory_order_relaxed);
    bool written = WriteReportText(file, state.differenceTable, state.ScanTable, state.LoadedTable, notes);
    written = FlushToDisk(file) && written;
    if (std::fclose(file) != 0) {
        written = false;
    }
    // A report cut short (a full disk, say) would be read as the whole list.
    if (!written) {
        DeleteFileA(temporary);
        observer.Tell(MessageId::CannotCreateReport);
    }
    return written;
}
