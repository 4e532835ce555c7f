// What an operation tells whoever runs it. The operation knows neither
// windows nor consoles: it hands each message over as a value, an id with
// its number, and each front end words and shows it in its own way (the
// window program in a box owned by its main window, the console program on
// standard error). Progress is not told: the counters and the current file
// sit in the operation's AppState, where each front end reads them at its
// own pace.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

enum class MessageKind {
    Plain,  // no icon
    Information,
    Warning,
    Error,
};

enum class MessageId {
    NoSignatureLoaded,     // a Compare with no signature to compare with
    NoDirectorySelected,   // an operation without a directory entry
    TooManyFiles,          // the scan reached its file limit
    ScanOutOfMemory,       // number: files recorded before memory ran out
    EntriesNotRecorded,    // number: entries whose paths are too long
    FoldersNotRead,        // number: how many; text: a line each, "path (reason)"
    LinksNotFollowed,      // number: how many; text: a line each, the link's path
    NoDifference,          // a Compare found nothing
    CannotCreateReport,    // the result file could not be written whole
    LoadFailed,            // number: the LoadError
    SaveFailed,            // number: the SaveError
    OperationOutOfMemory,  // an allocation outside the tables failed
    CannotWriteJson,       // text: the JSON report's path; number 0: not made, 1: not written
    CannotReadReport,      // text: the reviewed report's path
    ReportRefused,         // text: why the reviewed report cannot be taken
    CannotKeepBackup,      // text: the backup's path
};

struct Message {
    Message(MessageId id, int64_t number = 0, std::string text = {}) : id(id), number(number), text(std::move(text)) {}
    MessageId id;
    int64_t number;
    std::string text;  // a path or a reason, never the wording
};

class OperationObserver {
public:
    virtual ~OperationObserver() = default;
    // Runs on the thread of the operation, a worker thread too.
    virtual void Tell(const Message& message) = 0;
    // A result report was written whole to path.
    virtual void ReportWritten(const char* /*path*/) {}
};
