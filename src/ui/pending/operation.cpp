// Stand-in for the operation worker until it is part of the build: the
// buttons switch, nothing is scanned.
#include "scan/operation.h"

#include "ui/control_ids.h"
#include "ui/status_panel.h"

void StartOperation(HWND window)
{
    EnableWindow(GetDlgItem(window, IDC_MAIN_STOP), TRUE);
}

void EndOperation(HWND window)
{
    EnableWindow(GetDlgItem(window, IDC_MAIN_STOP), FALSE);
    RefreshStatusPanel(window);
}
