#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Records the message boxes that the code under test would have shown,
// answering each with IDOK, for as long as it lives.
class MessageRecorder {
public:
    struct Message {
        HWND owner;
        std::string text;
        std::string title;
        UINT type;
    };

    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Message> messages() const;
};
