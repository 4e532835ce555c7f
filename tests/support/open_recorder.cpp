// Stands in for the text editor in tests: the ".txt" association of the test
// prefix starts it as `open_recorder LOG FILE`. It appends FILE to LOG and
// exits, so that a test can see what the shell was asked to open.
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        return 2;
    }
    std::FILE* log = std::fopen(argv[1], "ab");
    if (log == nullptr) {
        return 1;
    }
    std::fprintf(log, "%s\n", argv[2]);
    return std::fclose(log) == 0 ? 0 : 1;
}
