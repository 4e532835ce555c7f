// The JSON Lines report of a Compare as a file (or standard output), with
// the code page conversions and the clock that the portable report text
// leaves to Windows.
#pragma once

#include <string>

#include "compare/difference_walk.h"
#include "model/app_state.h"
#include "model/observer.h"
#include "scan/sha256.h"

// Text of the signature's ANSI code page as UTF-8, and back. Bytes that are
// no character of the source come out as the system's replacement, so that
// the result is always valid in the target.
std::string Utf8FromAnsi(const std::string& text);
std::string AnsiFromUtf8(const std::string& text);

// The moment now (UTC).
FileTime UtcNow();

// Where the report goes and what its summary says of the signature.
struct JsonReportTarget {
    std::string path;           // "-": standard output
    std::string signaturePath;  // as given; the summary names it in full
    unsigned char signatureDigest[SHA256_DIGEST_SIZE];  // of the file's bytes as loaded
    FileTime started;
    std::string sealKey;  // the trusted key's fingerprint, when its seal verified
};

// Writes the report of the Compare just made in state, whole or not at
// all: to a temporary file beside target.path (its name into temporary,
// MAX_PATH characters; empty for standard output), for the caller to put
// in place (PutInPlace). False, after telling observer, when it cannot be
// written. judge: the one the comparison asked, so that both tell the same
// records apart as unchecked.
bool WriteJsonReport(const AppState& state, OperationObserver& observer, const JsonReportTarget& target,
                     ContentCheck content, MissingJudge* judge, int exitCode, char* temporary);
