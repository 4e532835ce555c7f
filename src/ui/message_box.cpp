#include "ui/message_box.h"

#include "ui/program.h"

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type)
{
    return MessageBoxA(owner, text, title, type);
}

int ShowMessageInWindow(MessageKind kind, const char* title, const char* text)
{
    UINT icon = 0;
    switch (kind) {
    case MessageKind::Plain:
        break;
    case MessageKind::Information:
        icon = MB_ICONINFORMATION;
        break;
    case MessageKind::Warning:
        icon = MB_ICONWARNING;
        break;
    case MessageKind::Error:
        icon = MB_ICONERROR;
        break;
    }
    return ShowMessageBox(mainWindow.load(), text, title, MB_OK | icon);
}
