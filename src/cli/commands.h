// The console program's three commands. Each returns the program's exit
// code; messages go to standard error, results to standard output.
#pragma once

#include <string>

#include "cli/command_line.h"

// The file name and extension of a path, without its folder.
const char* FileTitle(const std::string& path);

// Walks the Include directories and saves the signature to line.file.
int RunCreate(const CommandLine& line);

// Loads line.file, walks its directories and, when anything differs, writes
// the result report.
int RunCompare(const CommandLine& line);

// Prints the signature's header, options, directories and, on request, its
// records.
int RunShow(const CommandLine& line);
