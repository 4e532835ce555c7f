#include "support/message_recorder.h"

#include <mutex>

#include "ui/message_box.h"

namespace {

std::mutex recordLock;
std::vector<MessageRecorder::Message> recorded;

int Record(HWND owner, const char* text, const char* title, UINT type)
{
    std::lock_guard<std::mutex> lock(recordLock);
    recorded.push_back({owner, text, title, type});
    return IDOK;
}

}  // namespace

MessageRecorder::MessageRecorder()
{
    std::lock_guard<std::mutex> lock(recordLock);
    recorded.clear();
    SetMessageBoxHook(Record);
}

MessageRecorder::~MessageRecorder()
{
    SetMessageBoxHook(nullptr);
}

std::vector<MessageRecorder::Message> MessageRecorder::messages() const
{
    std::lock_guard<std::mutex> lock(recordLock);
    return recorded;
}
