// Standard error of the console program: the messages and, while a walk
// runs on a console, one progress line updated in place.
#pragma once

#include "model/messages.h"

// Prints text on a line of its own (trailing line ends dropped), clearing
// the progress line first.
void PrintError(const char* text);

// The console program's message sink: the text on standard error, in words
// for a command line where the window wording names a window.
int PrintMessage(MessageKind kind, const char* title, const char* text);

// Starts the progress line when standard error is a console and quiet is
// false; StopProgressLine ends and clears it (nothing when none was started).
void StartProgressLine(bool quiet);
void StopProgressLine();
