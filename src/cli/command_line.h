// The console program's command line: its words and its usage text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct CommandLine {
    std::string command;
    std::string file;
    std::string report;  // compare's --report, or accept's report
    std::string json;    // compare's --json: a file, or "-"
    std::string key;     // --seal's private key or --trust's public key; keygen's name is file
    std::vector<std::pair<int32_t, std::string>> entries;  // action, path
    bool checksums = false;
    bool sha256 = false;  // implies checksums
    bool driveLetter = false;
    bool quiet = false;
    bool records = false;
};

// Reads the words after the command (argv[1], already in line.command) into
// line; an empty text when they make sense for the command, else what is
// wrong.
std::string ParseArguments(int argc, char** argv, CommandLine& line);

// The usage on standard output, for --help.
void PrintUsage();

// The problem and the usage on standard error; returns EXIT_FAILED.
int UsageError(const std::string& problem);
