#include "ui/config_dialog.h"

#include <commctrl.h>

#include <cstring>

#include "scan/directory_rules.h"
#include "ui/control_ids.h"
#include "ui/program.h"
#include "ui/message_box.h"
#include "ui/shell.h"

namespace {

constexpr char HELP_CONFIG_PAGE[] = "hid_configwindow.htm";
constexpr int DIRECTORY_COLUMN_WIDTH = 380;
constexpr int ACTION_COLUMN_WIDTH = 50;
constexpr int INCLUDE_POSITION = 0;  // combo box position of "Include"

// The list view of the open dialog. The sort column and direction outlive
// the dialog, so a new opening sorts the way the last click left it.
HWND directoryListView = nullptr;
int sortDirection = 1;
int sortColumn = 0;

DirectoryList& List()
{
    return appState.directoryList;
}

bool ValidSlot(LPARAM slot)
{
    return slot >= 0 && slot < MAX_DIRECTORIES;
}

void Refuse(HWND dialog, const char* text, const char* title)
{
    ShowMessageBox(dialog, text, title, MB_OK | MB_ICONWARNING);
}

void InsertRow(int position, int slot)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = position;
    item.iSubItem = 0;
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.iImage = 0;
    item.lParam = slot;
    SendMessageA(directoryListView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void InsertColumn(int column, const char* text, int width)
{
    LVCOLUMNA entry = {};
    entry.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    entry.fmt = LVCFMT_LEFT;
    entry.cx = width;
    entry.pszText = const_cast<char*>(text);
    entry.iSubItem = column;
    SendMessageA(directoryListView, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&entry));
}

void SortRows(HWND listView, int column)
{
    SendMessageA(listView, LVM_SORTITEMS, column, reinterpret_cast<LPARAM>(CompareDirectoryItems));
}

void CopyText(char* buffer, int bufferSize, const char* text)
{
    if (buffer == nullptr || bufferSize <= 0) {
        return;
    }
    lstrcpynA(buffer, text, bufferSize);
}

// A slot's path as a terminated text: a list loaded from a damaged file may
// fill all of a slot without its NUL.
struct SlotPath {
    explicit SlotPath(int slot)
    {
        std::memcpy(text, List().paths[slot], DIRECTORY_PATH_SIZE);
        text[DIRECTORY_PATH_SIZE] = '\0';
    }
    char text[DIRECTORY_PATH_SIZE + 1];
};

void OnGetDisplayInfo(NMLVDISPINFOA* info)
{
    LVITEMA& item = info->item;
    if ((item.mask & LVIF_TEXT) == 0 || !ValidSlot(item.lParam)) {
        return;
    }
    int slot = static_cast<int>(item.lParam);
    if (item.iSubItem == 0) {
        CopyText(item.pszText, item.cchTextMax, SlotPath(slot).text);
    } else if (item.iSubItem == 1) {
        CopyText(item.pszText, item.cchTextMax, List().actions[slot] == Include ? "Include" : "Exclude");
    }
}

void OnColumnClick(NMLISTVIEW* click)
{
    if (click->iSubItem == sortColumn) {
        sortDirection = -sortDirection;
    }
    sortColumn = click->iSubItem;
    SortRows(click->hdr.hwndFrom, click->iSubItem);
}

INT_PTR OnNotify(NMHDR* header)
{
    switch (header->code) {
    case LVN_GETDISPINFOA:
        OnGetDisplayInfo(reinterpret_cast<NMLVDISPINFOA*>(header));
        return TRUE;
    case LVN_COLUMNCLICK:
        OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header));
        return TRUE;
    default:
        return FALSE;
    }
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// SHA-256 goes with checksums: its box can be changed only while they are on.
void EnableSha256Box(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_SHA256), Checked(dialog, IDC_CONFIG_CHECKSUMS) ? TRUE : FALSE);
}

void OnOk(HWND dialog)
{
    appState.calculateChecksums.store(Checked(dialog, IDC_CONFIG_CHECKSUMS) ? 1 : 0);
    appState.useSha256.store(Checked(dialog, IDC_CONFIG_SHA256) ? 1 : 0);
    appState.includeDriveLetter.store(Checked(dialog, IDC_CONFIG_DRIVE_LETTER) ? 1 : 0);
    EndDialog(dialog, 0);
}

void OnBrowse(HWND dialog)
{
    char path[DIRECTORY_PATH_SIZE] = "";
    if (BrowseForDirectory(dialog, path)) {
        SetDlgItemTextA(dialog, IDC_CONFIG_DIRECTORY, path);
    }
}

INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        // Directory edits are already in place; only the options are dropped.
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_HELP_BUTTON:
        ShowHelpPage(dialog, HELP_CONFIG_PAGE);
        return FALSE;
    case IDC_CONFIG_BROWSE:
        OnBrowse(dialog);
        return FALSE;
    case IDC_CONFIG_ADD:
        AddDirectory(dialog);
        return FALSE;
    case IDC_CONFIG_REMOVE:
        RemoveDirectories(dialog);
        return FALSE;
    case IDC_CONFIG_CHECKSUMS:
        EnableSha256Box(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitConfigDialog(dialog);
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}

void InitConfigDialog(HWND dialog)
{
    CentreWindowOver(dialog, mainWindow.load());

    // Inserted at fixed positions, which the sorted style does not reorder,
    // so position 0 always means Include.
    SendDlgItemMessageA(dialog, IDC_CONFIG_ACTION, CB_INSERTSTRING, 0,
                        reinterpret_cast<LPARAM>("Include all files in this directory"));
    SendDlgItemMessageA(dialog, IDC_CONFIG_ACTION, CB_INSERTSTRING, 1,
                        reinterpret_cast<LPARAM>("Exclude all files in this directory"));
    SendDlgItemMessageA(dialog, IDC_CONFIG_ACTION, CB_SETCURSEL, INCLUDE_POSITION, 0);

    directoryListView = GetDlgItem(dialog, IDC_CONFIG_LIST);
    InsertColumn(0, "Directory", DIRECTORY_COLUMN_WIDTH);
    InsertColumn(1, "Action", ACTION_COLUMN_WIDTH);
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        if (List().actions[slot] != Empty) {
            InsertRow(slot, slot);
        }
    }
    SortRows(directoryListView, 0);

    CheckDlgButton(dialog, IDC_CONFIG_CHECKSUMS, appState.calculateChecksums.load() != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_DRIVE_LETTER, appState.includeDriveLetter.load() != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_SHA256, appState.useSha256.load() != 0 ? BST_CHECKED : BST_UNCHECKED);
    EnableSha256Box(dialog);
}

int CALLBACK CompareDirectoryItems(LPARAM slotA, LPARAM slotB, LPARAM column)
{
    if (!ValidSlot(slotA) || !ValidSlot(slotB)) {
        return 0;
    }
    int32_t actionA = List().actions[slotA];
    int32_t actionB = List().actions[slotB];
    if (column == 1 && actionA != actionB) {
        return sortDirection * (actionA < actionB ? 1 : -1);
    }
    return sortDirection * lstrcmpiA(SlotPath(static_cast<int>(slotA)).text, SlotPath(static_cast<int>(slotB)).text);
}

void AddDirectory(HWND dialog)
{
    char path[DIRECTORY_PATH_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_CONFIG_DIRECTORY, path, sizeof path);
    LRESULT action = SendDlgItemMessageA(dialog, IDC_CONFIG_ACTION, CB_GETCURSEL, 0, 0);
    DirectoryAddition added = AddDirectoryEntry(List(), path, action == INCLUDE_POSITION ? Include : Exclude);
    if (added.refusal != DirectoryRefusal::None) {
        RefusalMessage message = DescribeRefusal(added.refusal);
        Refuse(dialog, message.text, message.title);
        return;
    }
    InsertRow(0, added.slot);
}

void RemoveDirectories(HWND dialog)
{
    int selected = static_cast<int>(SendMessageA(directoryListView, LVM_GETSELECTEDCOUNT, 0, 0));
    if (selected < 1) {
        Refuse(dialog, "You must select one or more directories from the list\nbefore attempting to remove them\n",
               "Olvarin - No directory selected");
        return;
    }
    for (int i = 0; i < selected; ++i) {
        int row = static_cast<int>(SendMessageA(directoryListView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                LVNI_SELECTED));
        if (row < 0) {
            break;
        }
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(directoryListView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageA(directoryListView, LVM_DELETEITEM, row, 0);
        if (ValidSlot(item.lParam)) {
            RemoveDirectoryEntry(List(), static_cast<int>(item.lParam));
        }
    }
}
