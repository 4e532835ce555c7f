// The window program's words for what an operation tells: each message's
// kind, title and text, as its boxes show them. The console program prints
// the same texts where they suit a command line, and its own where they
// name a window.
#pragma once

#include <string>

#include "model/observer.h"

struct Wording {
    MessageKind kind;
    std::string title;
    std::string text;
};

Wording WindowWording(const Message& message);
