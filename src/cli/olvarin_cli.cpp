// olvarin-cli: the console front end, for checks that run unattended (a
// scheduled task, a login script). It drives the same engine as the window
// program: the walk, signature files, comparison and report; what the window
// would show in a message box goes to standard error, results to standard
// output.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "model/app_state.h"
#include "model/stop_token.h"
#include "model/version.h"
#include "operation/operation.h"

namespace {

// What Ctrl+C sets: the console's handler runs on a thread of its own.
StopToken stopToken;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        stopToken.Request();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        PrintUsage();
        return EXIT_SAME;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s build %s\n", PRODUCT_NAME, PRODUCT_VERSION, PRODUCT_BUILD);
        return EXIT_SAME;
    }
    if (argc < 2) {
        return UsageError("no command given");
    }
    CommandLine line;
    line.command = argv[1];
    std::string problem = ParseArguments(argc, argv, line);
    if (!problem.empty()) {
        return UsageError(problem);
    }

    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    // On the heap: its tables' block arrays are too large for the stack.
    AppState& state = *new AppState();
    ResetSignature(state);
    ConsoleObserver observer(line);
    Console console = {line, state, observer, stopToken};
    // The tables end a walk or a load cleanly when memory runs out; this is
    // for any other allocation that fails, so that it ends with a message
    // instead of a crash. A signature file is only ever replaced whole.
    try {
        if (line.command == "create") {
            return RunCreate(console);
        }
        if (line.command == "accept") {
            return RunAccept(console);
        }
        if (line.command == "keygen") {
            return RunKeygen(console);
        }
        return line.command == "compare" ? RunCompare(console) : RunShow(console);
    } catch (const std::bad_alloc&) {
        observer.Tell(MessageId::OperationOutOfMemory);
        return EXIT_FAILED;
    }
}
