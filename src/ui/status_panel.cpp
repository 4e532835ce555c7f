#include "ui/status_panel.h"

// Filled in with the main window.
void RefreshStatusPanel(HWND)
{
}
