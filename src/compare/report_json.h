// The machine-readable report: JSON Lines, one object a line, every
// difference and then a summary. Portable: the code page conversions come
// from the caller. Accept reads it back (reviewed_report.h).
#pragma once

#include <cstdint>
#include <string>

#include "compare/difference_walk.h"
#include "model/record_table.h"

// Turns a text of one encoding into another: the signature's ANSI code page
// into UTF-8 (always valid UTF-8 out), or back.
using TextConverter = std::string (*)(const std::string& text);

// Bytes as lower-case hex digits, as sha256sum spells a digest, and back
// (exactly size bytes, lower-case digits only).
std::string Hex(const uint8_t* bytes, size_t size);
bool ParseHex(const std::string& text, uint8_t* bytes, size_t size);

// 100-ns units since 1601 as "2026-03-29T01:59:59.1234567Z", and back;
// false for a text not of that form.
std::string IsoTime(const FileTime& time);
bool ParseIsoTime(const std::string& text, FileTime& time);

// One difference as the walk gives it, as a JSON line without its line
// end; an Unchecked record as an "unchecked" line with its old values.
// checksums: the signature's records carry checksums.
std::string DifferenceLine(int32_t kind, const RecordTable& scan, int32_t s, const RecordTable& loaded, int32_t l,
                           ContentCheck content, bool checksums, TextConverter toUtf8);

struct ReportSummary {
    std::string version;
    std::string host;            // UTF-8
    std::string signature;       // UTF-8
    std::string signatureSha256;  // hex
    std::string started;
    std::string finished;
    int64_t filesInSignature = 0;
    int64_t filesScanned = 0;
    int64_t added = 0;
    int64_t removed = 0;
    int64_t changed = 0;
    int64_t skippedLongPaths = 0;
    int64_t unreadFolders = 0;
    int64_t unchecked = 0;  // signature records under those folders
    int64_t loops = 0;
    bool complete = true;
    bool fileLimitReached = false;
    int exitCode = 0;
    // With a trusted key: its fingerprint, and whether the seal verified.
    std::string sealKey;
    bool sealVerified = false;
};
std::string SummaryLine(const ReportSummary& summary);
