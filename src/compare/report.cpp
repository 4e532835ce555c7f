#include "compare/report.h"

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "compare/report_text.h"
#include "compare/system_folders.h"
#include "model/app_state.h"
#include "model/messages.h"

namespace {

std::atomic<ResultViewer> resultViewer{nullptr};

constexpr char COMPANY_FOLDER[] = "Quillory";
constexpr char PRODUCT_FOLDER[] = "Olvarin";
constexpr char RESULT_FILE_NAME[] = "olvarinresult.txt";

constexpr char CANNOT_CREATE_TEXT[] = "Could not create the Olvarin logfile";
constexpr char ERROR_TITLE[] = "Error";

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

void ShowCannotCreate()
{
    ShowMessage(MessageKind::Plain, ERROR_TITLE, CANNOT_CREATE_TEXT);
}

}  // namespace

void SetResultViewer(ResultViewer viewer)
{
    resultViewer.store(viewer);
}

void BuildResultFilePath(char* buffer)
{
    buffer[0] = '\0';
    HRESULT found = GetShellFolderPath(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr,
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

void WriteResultReport()
{
    char path[RESULT_PATH_SIZE];
    BuildResultFilePath(path);
    ResultViewer viewer = resultViewer.load();
    if (WriteResultFile(path) && viewer != nullptr) {
        viewer(appState.mainWindow.load());
    }
}

bool WriteResultFile(const char* path)
{
    // Binary: the text carries its own CR LF line ends.
    std::FILE* file = path[0] != '\0' ? std::fopen(path, "wb") : nullptr;
    if (file == nullptr) {
        ShowCannotCreate();
        return false;
    }
    bool written = WriteReportText(file, appState.differenceTable, appState.ScanTable,
                                   appState.LoadedTable,
                                   appState.scanSkippedCount.load(std::memory_order_relaxed),
                                   appState.scanStopped.load(std::memory_order_relaxed) != 0);
    if (std::fclose(file) != 0) {
        written = false;
    }
    // A report cut short (a full disk, say) would be read as the whole list.
    if (!written) {
        ShowCannotCreate();
    }
    return written;
}
