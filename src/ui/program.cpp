#include "ui/program.h"

#include "operation/wording.h"
#include "ui/message_box.h"
#include "ui/result_viewer.h"

AppState& appState = *new AppState();
std::atomic<HWND> mainWindow{nullptr};
HINSTANCE programInstance = nullptr;
StopToken stopToken;
WindowObserver windowObserver;

void WindowObserver::Tell(const Message& message)
{
    const Wording wording = WindowWording(message);
    ShowMessageInWindow(wording.kind, wording.title.c_str(), wording.text.c_str());
}

void WindowObserver::ReportWritten(const char*)
{
    ViewResult(mainWindow.load());
}
