// The console program's machine-readable side: the JSON Lines report of a
// Compare, and accept, which takes the reviewed differences of such a
// report into the signature.
#pragma once

#include <string>

#include "cli/command_line.h"

// The start of a Compare, for its report, as 100-ns units since 1601 (UTC).
unsigned long long Now();

// Writes the JSON Lines report of the Compare just made to line.json
// ("-": standard output), whole or not at all. signatureDigest: the SHA-256
// of the signature file's bytes as loaded. False, after a message, when the
// file cannot be written.
bool WriteJsonReport(const CommandLine& line, const unsigned char* signatureDigest, unsigned long long started,
                     int exitCode);

// olvarin-cli accept FILE.sig REPORT.
int RunAccept(const CommandLine& line);
