// The console program's machine-readable side: the JSON Lines report of a
// Compare, and accept, which takes the reviewed differences of such a
// report into the signature.
#pragma once

#include <string>

#include "cli/command_line.h"
#include "model/signature.h"

// The moment now (UTC), for a Compare's report.
FileTime Now();

// Writes the JSON Lines report of the Compare just made to line.json
// ("-": standard output), whole or not at all. signatureDigest: the SHA-256
// of the signature file's bytes as loaded. False, after a message, when the
// file cannot be written.
bool WriteJsonReport(const CommandLine& line, const unsigned char* signatureDigest, const FileTime& started,
                     int exitCode);

// olvarin-cli accept FILE.sig REPORT.
int RunAccept(const CommandLine& line);
