#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the console program did when run with args: its exit code and its
// standard output and error, without the CRs of text mode.
struct Outcome {
    DWORD exitCode;
    std::string out;
    std::string err;
};
Outcome RunCli(const std::vector<std::string>& args);
