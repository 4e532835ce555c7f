// What the program tells its user, apart from the results. The core says
// what kind of message it is, its title and its text; each front end shows
// it in its own way: the window program in a message box owned by the main
// window, the console program on standard error.
#pragma once

enum class MessageKind {
    Plain,        // no icon
    Information,
    Warning,
    Error,
};

// Tells the user through the front end's sink and returns its answer (the
// window program's: the button pressed). 0 when no sink is set.
int ShowMessage(MessageKind kind, const char* title, const char* text);

// Sets the sink for every thread; nullptr tells nobody. The sink runs on the
// thread that calls ShowMessage, a worker thread too.
using MessageSink = int (*)(MessageKind kind, const char* title, const char* text);
void SetMessageSink(MessageSink sink);
