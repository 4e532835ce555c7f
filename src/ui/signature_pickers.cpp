#include "ui/signature_pickers.h"

#include "sigfile/signature_file.h"
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
    SaveSignatureTo(path, fileTitle);
}

bool LoadSignatureFile(HWND window)
{
    char path[PICKER_PATH_SIZE] = "";
    char fileTitle[PICKER_TITLE_SIZE] = "";
    PrepareFileDialog(window);
    if (!ChooseFileToOpen(window, path, fileTitle, SIGNATURE_FILE_FILTER, SIGNATURE_FILE_EXTENSION)) {
        return false;
    }
    return LoadSignatureFrom(path, fileTitle);
}
