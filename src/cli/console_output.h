// Standard error of the console program: the messages and, while a walk
// runs on a console, one progress line updated in place.
#pragma once

#include "cli/command_line.h"
#include "model/app_state.h"
#include "model/observer.h"

// Prints text on a line of its own (trailing line ends dropped), clearing
// the progress line first.
void PrintError(const char* text);

// What an operation tells, on standard error: the window program's text
// where it suits a command line, words of our own where it names a window.
class ConsoleObserver : public OperationObserver {
public:
    explicit ConsoleObserver(const CommandLine& line) : line_(line) {}
    void Tell(const Message& message) override;

private:
    const CommandLine& line_;
};

// Starts the progress line of state's scan when standard error is a console
// and quiet is false; StopProgressLine ends and clears it (nothing when none
// was started).
void StartProgressLine(AppState& state, bool quiet);
void StopProgressLine();
