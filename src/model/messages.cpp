#include "model/messages.h"

#include <atomic>

namespace {

std::atomic<MessageSink> messageSink{nullptr};

}  // namespace

void SetMessageSink(MessageSink sink)
{
    messageSink.store(sink);
}

int ShowMessage(MessageKind kind, const char* title, const char* text)
{
    MessageSink sink = messageSink.load();
    return sink != nullptr ? sink(kind, title, text) : 0;
}
