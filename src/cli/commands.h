// The console program's commands. Each returns the program's exit code;
// messages go to standard error, results to standard output.
#pragma once

#include "cli/command_line.h"
#include "cli/console_output.h"
#include "model/app_state.h"
#include "model/stop_token.h"

// One run of the console program: its command line, its signature state,
// how it tells the user and what Ctrl+C sets.
struct Console {
    const CommandLine& line;
    AppState& state;
    ConsoleObserver& observer;
    const StopToken& stop;
};

// Walks the Include directories and saves the signature to line.file.
int RunCreate(Console& console);

// Loads line.file, walks its directories and, when anything differs, writes
// the result report (and the JSON report when asked).
int RunCompare(Console& console);

// Takes the reviewed differences of a JSON report into the signature.
int RunAccept(Console& console);

// Prints the signature's header, options, directories and, on request, its
// records.
int RunShow(Console& console);

// Makes a key pair: NAME.key and NAME.pub, never over files that are there.
int RunKeygen(Console& console);
