// The text of the result file: a header line, an empty line, then one
// heading per kind of difference present and the path of each file below it.
// Portable, so that the bytes are the same wherever they are written.
#pragma once

#include <cstdio>

#include "model/difference.h"
#include "model/record_table.h"

// Writes the report for the first entryCount entries of table, which are
// sorted by kind. Missing files are named as the signature stored them
// (loadedTable), every other kind as found on disk (scanTable). Every line
// ends in CR LF whatever the platform, so open out in binary mode. When some
// differences were dropped below the cap, a line says how many; when the
// scan left entries out (skippedCount), a line says how many; when a Stop
// cut the scan short (stopped), the last line says so.
//
// Returns false when any write or the final flush failed: the file is then
// incomplete and must not be shown as a report.
bool WriteReportText(std::FILE* out, const DifferenceTable& table, const RecordTable& scanTable,
                     const RecordTable& loadedTable, int32_t skippedCount, bool stopped);
