// Stands in for the text editor: the test prefix opens ".txt" files with
// `open_recorder LOG FILE`, which appends FILE to LOG, for the tests to read.
#include <cstdio>

int main(int argc, char** argv)
{
    std::FILE* log = argc == 3 ? std::fopen(argv[1], "ab") : nullptr;
    return log == nullptr || std::fprintf(log, "%s\n", argv[2]) < 0 || std::fclose(log) != 0;
}
