// The two operations of both programs, Create and Compare, whole: the
// preconditions, the walk, then the new signature or the comparison and its
// reports. Each runs on the calling thread on the AppState it is given,
// tells observer what the user should learn and stops soon after stop is
// requested. They know no window and no console: the window program runs
// them on its worker thread, the console program on its main thread.
#pragma once

#include <string>

#include "compare/difference_walk.h"
#include "compare/json_report_file.h"
#include "model/app_state.h"
#include "model/observer.h"
#include "model/stop_token.h"

// The console program's exit codes; a Compare's JSON report carries its own.
constexpr int EXIT_SAME = 0;
constexpr int EXIT_DIFFERENT = 1;
constexpr int EXIT_FAILED = 2;
constexpr int EXIT_STOPPED = 3;
constexpr int EXIT_FILE_LIMIT = 4;
constexpr int EXIT_TAMPERED = 5;  // the seal is missing or does not verify

struct OperationOptions {
    // The window program keeps what a stopped operation reached: a stopped
    // Create still becomes the signature, a stopped Compare still reports
    // (saying that it was stopped). The console program writes nothing then.
    bool keepWhenStopped = true;
    // Compare: where the text report goes; empty: the usual result file in
    // the user's documents folder.
    std::string reportPath;
    // Compare: the JSON Lines report, when json.path is not empty.
    JsonReportTarget json = {};
};

struct OperationResult {
    bool refused = false;   // its preconditions were not met (told)
    bool failed = false;    // a report could not be written (told)
    bool stopped = false;
    bool limited = false;   // the file limit or memory cut the scan short
    bool differences = false;  // a Compare found something to report
    bool unread = false;       // a Create could not read some folders (told)
    std::string reportPath;    // the text report, when one was written
};

// The console program's exit code for an operation's result.
int ExitCode(const OperationResult& result);

// Create: the scan of the Include directories becomes the signature "New
// signature" with the options in force, and the user learns how many
// entries it left out because their paths are too long.
OperationResult CreateSignature(AppState& state, OperationObserver& observer, const StopToken& stop,
                                const OperationOptions& options);

// Compare: scans the directories of the loaded signature and compares; when
// anything differs, writes the text report (observer.ReportWritten then
// names it) and, when asked, the JSON report; else tells that nothing differs.
OperationResult CompareWithSignature(AppState& state, OperationObserver& observer, const StopToken& stop,
                                     const OperationOptions& options);

// What the comparison looks at beyond sizes, times and attributes, by the
// options in force (a Compare takes them from the signature).
ContentCheck ContentInForce(const AppState& state);
