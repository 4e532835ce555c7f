// Accept's side of the JSON Lines report: reading a reviewed report back
// and taking exactly its differences into the signature. The report is read
// a line at a time, twice: once to check it whole, once to apply it, and
// what each line does is held compactly (a byte a record, the new values of
// the changed ones, the added ones in a table), so that accept needs little
// more than the signature and the one it builds, however long the report. Portable:
// the code page conversion comes from the caller.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "compare/report_json.h"
#include "model/record_table.h"
#include "model/stop_token.h"

// The lines of a report, one at a time without its line end, from the
// start again after Restart.
class ReportLines {
public:
    virtual ~ReportLines() = default;
    virtual bool Next(std::string& line) = 0;
    virtual void Restart() = 0;
};

// The lines of a report's file, read as they are needed; none more once a
// Stop is asked for on stop (when given).
class FileLines : public ReportLines {
public:
    explicit FileLines(const std::string& path, const StopToken* stop = nullptr);
    bool Open() const { return static_cast<bool>(in_); }
    bool Next(std::string& line) override;
    void Restart() override;

private:
    std::ifstream in_;
    const StopToken* stop_;
};

// The lines of a text held whole (tests, the fuzzer).
class TextLines : public ReportLines {
public:
    explicit TextLines(std::string text) : text_(std::move(text)) {}
    bool Next(std::string& line) override;
    void Restart() override { at_ = 0; }

private:
    std::string text_;
    size_t at_ = 0;
};

// What the check of a whole report found.
struct ReviewedReport {
    std::string signatureSha256;
    int64_t added = 0;
    int64_t removed = 0;
};

// Checks a whole report; an empty text when it is sound, else why not: not
// JSON Lines, no summary line last, an incomplete comparison, a line that
// does not describe a difference.
std::string ReadReviewedReport(ReportLines& lines, TextConverter fromUtf8, ReviewedReport& report);

// Builds into out the signature loaded with exactly the reviewed changes of
// a report that ReadReviewedReport found sound: removed records left out,
// changed ones with their new values, added ones in path order, unchecked
// ones kept. A line is matched to a record spelt byte for byte as it is;
// among records spelt alike, to the first whose values are the line's old
// ones. An empty text when every change applies, else why not: a record
// whose present values are not the report's old ones, a path named twice, a
// removed or changed path not in the signature, an added one that is, or a
// signature past MAX_FILES. counts: added, removed, changed.
std::string ApplyReviewedChanges(const RecordTable& loaded, bool checksums, const ReviewedReport& report,
                                 ReportLines& lines, TextConverter fromUtf8, RecordTable& out, int64_t counts[3]);
