#include "compare/report.h"

// Filled in with the result report.
void WriteResultReport()
{
}

void ViewResult(HWND)
{
}

void BuildResultFilePath(char* buffer)
{
    buffer[0] = '\0';
}
