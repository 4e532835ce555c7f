#include "ui/signature_pickers.h"

#include "sigfile/signature_file.h"
#include "ui/shell.h"

namespace {

constexpr DWORD PICKER_PATH_SIZE = MAX_PATH;
constexpr DWORD PICKER_TITLE_SIZE = 512;

SavePicker chooseFileToSave = ChooseFileToSave;
OpenPicker chooseFileToOpen = ChooseFileToOpen;

}  // namespace

void SetSignatureFilePickers(SavePicker save, OpenPicker open)
{
    chooseFileToSave = save != nullptr ? save : ChooseFileToSave;
    chooseFileToOpen = open != nullptr ? open : ChooseFileToOpen;
}

void SaveSignatureFile(HWND window)
{
    char path[PICKER_PATH_SIZE] = "";
    char fileTitle[PICKER_TITLE_SIZE] = "";
    PrepareFileDialog(window);
    if (!chooseFileToSave(window, path, fileTitle, SIGNATURE_FILE_FILTER, SIGNATURE_FILE_EXTENSION,
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
    if (!chooseFileToOpen(window, path, fileTitle, SIGNATURE_FILE_FILTER, SIGNATURE_FILE_EXTENSION)) {
        return false;
    }
    return LoadSignatureFrom(path, fileTitle);
}
