#include "ui/message_box.h"

#include <atomic>

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
