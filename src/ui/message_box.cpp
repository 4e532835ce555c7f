#include "ui/message_box.h"

#include <atomic>

#include "model/app_state.h"

namespace {

std::atomic<MessageBoxHook> messageBoxHook{nullptr};

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook)
{
    messageBoxHook.store(hook);
}

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type)
{
    MessageBoxHook hook = messageBoxHook.load();
    if (hook != nullptr) {
        return hook(owner, text, title, type);
    }
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
    return ShowMessageBox(appState.mainWindow.load(), text, title, MB_OK | icon);
}
