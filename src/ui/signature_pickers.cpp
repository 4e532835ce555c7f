#include "ui/signature_pickers.h"

#include "sigfile/signature_file.h"
#include "ui/operation_thread.h"
#include "ui/program.h"
#include "ui/shell.h"

namespace {

constexpr DWORD PICKER_PATH_SIZE = MAX_PATH;
constexpr DWORD PICKER_TITLE_SIZE = 512;

}  // namespace

void SaveSignatureFile(HWND window)
{
    char path[PICKER_PATH_SIZE] = "";
    char fileTitle[PICKER_TITLE_SIZE] = "";
    PrepareFileDialog(window);
    if (!ChooseFileToSave(window, path, fileTitle, SIGNATURE_FILE_FILTER, SIGNATURE_FILE_EXTENSION,
                          SAVE_PICKER_TITLE)) {
        return;
    }
    SaveSignatureTo(appState, windowObserver, path, fileTitle);
}

bool LoadSignatureFile(HWND window)
{
    char path[PICKER_PATH_SIZE] = "";
    char fileTitle[PICKER_TITLE_SIZE] = "";
    PrepareFileDialog(window);
    if (!ChooseFileToOpen(window, path, fileTitle, SIGNATURE_FILE_FILTER, SIGNATURE_FILE_EXTENSION)) {
        return false;
    }
    if (LoadSignatureFrom(appState, windowObserver, path, fileTitle)) {
        return true;
    }
    // The state is back to "No signature loaded", as at start-up.
    DisableStopButton(window);
    return false;
}
