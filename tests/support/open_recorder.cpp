// Stands in for the text editor in tests: the ".txt" association of the test
// prefix starts it as `open_recorder LOG FILE`. It appends FILE to LOG and
// exits, so that a test can see what the shell was asked to open.
#include <cstdio>

int main(int argc, char** argv)
{
    std::FILE* log = argc == 3 ? std::fopen(argv[1], "ab") : nullptr;
    return log == nullptr || std::fprintf(log, "%s\n", argv[2]) < 0 || std::fclose(log) != 0;
}
