// The texts of the status panel that need no window system, which the
// console program prints too: the megabyte sizes, the file time and the
// status names.
#pragma once

#include <cstdint>

constexpr int PANEL_TEXT_SIZE = 64;

// Bytes as megabytes with one decimal, the value passed through single
// precision first so that it reads the way the panel always showed it.
void FormatMegabytes(uint64_t bytes, char* buffer, int bufferSize);

// A broken-down local time as "year-month-day hour:minute:second" without
// leading zeros.
void FormatFileTime(int year, int month, int day, int hour, int minute, int second,
                    char* buffer, int bufferSize);

// The Status field's text for an operation status, or nullptr for a value
// that has no text (the field then keeps what it shows).
const char* StatusText(int32_t operationStatus);
