// The text of the result file: a header line, an empty line, then one
// heading per kind of difference present and the path of each file below it.
// Portable, so that the bytes are the same wherever they are written.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/difference.h"
#include "model/record_table.h"

// What the report says beside the differences: what the scan could not
// look at, and whether it was cut short.
struct ReportNotes {
    int32_t skippedCount = 0;  // entries whose paths are too long
    // Signature records not compared because their folders could not be
    // read, and those folders, each as "path (the system's reason)".
    int64_t uncheckedCount = 0;
    std::vector<std::string> unreadFolders;
    std::vector<std::string> loopFolders;  // links not entered: they lead back up
    bool stopped = false;
    bool cutShort = false;  // by the file limit or by memory
    int64_t filesCovered = 0;  // then: how many files the scan recorded
};

// Writes the report for the first entryCount entries of table, which are
// sorted by kind. Missing files are named as the signature stored them
// (loadedTable), every other kind as found on disk (scanTable). Every line
// ends in CR LF whatever the platform, so open out in binary mode. When some
// differences were dropped below the cap, a line says how many; then a line
// for each kind of note; when a Stop or the limit cut the scan short, the
// last line says so.
//
// Returns false when any write or the final flush failed: the file is then
// incomplete and must not be shown as a report.
bool WriteReportText(std::FILE* out, const DifferenceTable& table, const RecordTable& scanTable,
                     const RecordTable& loadedTable, const ReportNotes& notes);
