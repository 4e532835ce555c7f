#include "compare/reviewed_report.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/path_order.h"
#include "scan/record_sort.h"

namespace {

using Json = nlohmann::ordered_json;

bool ReadUnsigned(const Json& object, const char* key, uint64_t limit, uint64_t& value)
{
    auto found = object.find(key);
    if (found == object.end() || !found->is_number_unsigned()) return false;
    value = found->get<uint64_t>();
    return value <= limit;
}

bool ReadText(const Json& object, const char* key, std::string& value)
{
    auto found = object.find(key);
    if (found == object.end() || !found->is_string()) return false;
    value = found->get<std::string>();
    return true;
}

// One record of a difference line; false when a value is missing or wrong.
bool ReadRecord(const Json& line, const char* key, FileRecord& record)
{
    auto found = line.find(key);
    if (found == line.end() || !found->is_object()) return false;
    const Json& object = *found;
    uint64_t size, attributes, checksum = 0;
    std::string created, lastWrite, digest;
    if (!ReadUnsigned(object, "size", UINT64_MAX, size) || !ReadUnsigned(object, "attributes", UINT32_MAX, attributes) ||
        !ReadText(object, "created", created) || !ReadText(object, "last_write", lastWrite) ||
        !ParseIsoTime(created, record.details.creationTime) || !ParseIsoTime(lastWrite, record.details.lastWriteTime)) {
        return false;
    }
    if (object.contains("checksum") && (!ReadUnsigned(object, "checksum", UINT32_MAX, checksum) || checksum == 0)) {
        return false;
    }
    record.hasDigest = object.contains("sha256") ? 1 : 0;
    if (record.hasDigest && (!ReadText(object, "sha256", digest) || !ParseHex(digest, record.digest, DIGEST_SIZE))) {
        return false;
    }
    record.details.size = size;
    record.details.attributes = static_cast<uint32_t>(attributes);
    record.details.checksum = static_cast<uint32_t>(checksum);
    return true;
}

// Whether the signature still holds the values the report calls old.
bool HoldsOldValues(const RecordTable& loaded, int32_t index, bool checksums, const FileRecord& before)
{
    const FileDetails& now = loaded.Details(index);
    const FileDetails& then = before.details;
    const bool checksumSame = then.checksum != 0 ? now.checksum == then.checksum : (!checksums || now.checksum == 0);
    const bool digestSame = before.hasDigest ? loaded.HasDigest(index) &&
                                                   std::memcmp(loaded.Digest(index), before.digest, DIGEST_SIZE) == 0
                                             : !loaded.HasDigest(index);
    return now.size == then.size && now.attributes == then.attributes &&
           std::memcmp(&now.creationTime, &then.creationTime, sizeof now.creationTime) == 0 &&
           std::memcmp(&now.lastWriteTime, &then.lastWriteTime, sizeof now.lastWriteTime) == 0 && checksumSame &&
           digestSame;
}
// One line of a report, read whole.
enum class LineKind { Blank, Summary, Difference };

struct Change {
    int32_t kind = 0;  // Extra (added), Missing (removed), Size (changed) or Unchecked
    std::string path;  // in the signature's code page
    FileRecord before = {};
    FileRecord after = {};
};

// Reads one line; an empty text when it is a blank line, the summary (into
// report and complete) or a difference (into change), else what is wrong.
std::string ReadLine(std::string line, TextConverter fromUtf8, LineKind& kind, Change& change, ReviewedReport& report,
                     bool& complete)
{
    kind = LineKind::Blank;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // an editor's line ends
    if (line.find_first_not_of(" \t") == std::string::npos) return "";  // where a line was deleted
    const Json value = Json::parse(line, nullptr, false);
    std::string type, action, path;
    if (value.is_discarded() || !value.is_object() || !ReadText(value, "type", type)) {
        return "is not a JSON object with a type";
    }
    if (type == "summary") {
        auto found = value.find("complete");
        if (!ReadText(value, "signature_sha256", report.signatureSha256) || found == value.end() ||
            !found->is_boolean()) {
            return "is a summary without signature_sha256 or complete";
        }
        complete = found->get<bool>();
        kind = LineKind::Summary;
        return "";
    }
    change = Change();
    if (type != "difference" || !ReadText(value, "action", action) || !ReadText(value, "path", path)) {
        return "is neither a difference nor the summary";
    }
    change.kind = action == "added"       ? Extra
                  : action == "removed"   ? Missing
                  : action == "changed"   ? Size
                  : action == "unchecked" ? Unchecked
                                          : 0;
    change.path = fromUtf8(path);
    if (change.kind == 0 || change.path.empty() || change.path.size() >= RECORD_PATH_SIZE ||
        change.path.find('\0') != std::string::npos ||
        (change.kind != Extra && !ReadRecord(value, "old", change.before)) ||
        (change.kind != Missing && change.kind != Unchecked && !ReadRecord(value, "new", change.after))) {
        return "does not describe a difference whole";
    }
    kind = LineKind::Difference;
    return "";
}

// The first record of the signature whose path equals path up to letter
// case, or loaded.Count(): the signature is in path order.
int32_t FirstAtOrAfter(const RecordTable& loaded, const std::string& path)
{
    const RecordPath wanted = {path.data(), path.data() + path.size(), static_cast<uint16_t>(path.size()), 0};
    int32_t low = 0, high = loaded.Count();
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (ComparePaths(loaded.Path(middle), wanted) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

bool SamePath(const RecordTable& loaded, int32_t index, const std::string& path, bool exact)
{
    if (index >= loaded.Count()) return false;
    char stored[RECORD_PATH_SIZE];
    const size_t length = loaded.CopyPath(index, stored);
    return exact ? path.compare(0, std::string::npos, stored, length) == 0 : ComparePathTexts(stored, path.c_str()) == 0;
}

// What the report does to the signature, held compactly: a byte a record
// (kept, removed or changed), the new values of the changed ones, and the
// added ones in a table of their own.
struct Digest {
    uint8_t has;
    uint8_t bytes[DIGEST_SIZE];
};

struct Decisions {
    std::vector<uint8_t> kinds;         // 0: kept, else Missing or Size
    std::vector<int32_t> changedAt;     // by record: its new values' place, once any change is seen
    std::vector<FileDetails> values;
    std::vector<Digest> digests;        // beside values, in a signature that holds digests
    RecordTable added;
};

// Applies one line: an empty text, or why it does not apply.
std::string Decide(const RecordTable& loaded, bool checksums, const Change& change, Decisions& decisions)
{
    if (change.kind == Unchecked) return "";  // kept as the signature holds it
    bool spelt = false, agrees = false;
    for (int32_t i = FirstAtOrAfter(loaded, change.path); SamePath(loaded, i, change.path, false); ++i) {
        if (!SamePath(loaded, i, change.path, true)) continue;
        spelt = true;
        if (change.kind == Extra) break;
        const bool holds = HoldsOldValues(loaded, i, checksums, change.before);
        agrees = agrees || holds;
        uint8_t& kind = decisions.kinds[static_cast<size_t>(i)];
        if (holds && kind == 0) {
            kind = static_cast<uint8_t>(change.kind);
            if (change.kind == Size) {
                if (decisions.changedAt.empty()) decisions.changedAt.assign(decisions.kinds.size(), -1);
                decisions.changedAt[static_cast<size_t>(i)] = static_cast<int32_t>(decisions.values.size());
                decisions.values.push_back(change.after.details);
                if (loaded.HoldsDigests()) {
                    Digest digest = {change.after.hasDigest, {}};
                    std::memcpy(digest.bytes, change.after.digest, DIGEST_SIZE);
                    decisions.digests.push_back(digest);
                }
            }
            return "";
        }
    }
    if (change.kind == Extra) {
        if (spelt) return change.path + " is already in the signature";
        FileRecord record = change.after;
        std::memcpy(record.path, change.path.c_str(), change.path.size() + 1);
        record.details.reserved = 0;
        decisions.added.Append(record);
        return "";
    }
    if (!spelt) return change.path + " is not in the signature";
    return agrees ? change.path + " is named twice" : change.path + ": the signature no longer holds the report's old values";
}

}  // namespace

FileLines::FileLines(const std::string& path, const StopToken* stop) : in_(path, std::ios::binary), stop_(stop) {}

bool FileLines::Next(std::string& line)
{
    return (stop_ == nullptr || !stop_->Requested()) && std::getline(in_, line);
}

void FileLines::Restart()
{
    in_.clear();
    in_.seekg(0);
}

bool TextLines::Next(std::string& line)
{
    if (at_ >= text_.size()) return false;
    const size_t end = std::min(text_.find('\n', at_), text_.size());
    line.assign(text_, at_, end - at_);
    at_ = end + 1;
    return true;
}

std::string ReadReviewedReport(ReportLines& lines, TextConverter fromUtf8, ReviewedReport& report)
{
    report = ReviewedReport();
    lines.Restart();
    bool summarised = false, complete = false;
    std::string line;
    for (int number = 1; lines.Next(line); ++number) {
        const std::string where = "line " + std::to_string(number) + " ";
        LineKind kind;
        Change change;
        const bool wasSummarised = summarised;
        const std::string problem = ReadLine(line, fromUtf8, kind, change, report, complete);
        if (!problem.empty()) return where + problem;
        if (kind == LineKind::Blank) continue;
        if (wasSummarised) return where + "follows the summary line";
        if (kind == LineKind::Summary) {
            if (!complete) return "the comparison it reports was not complete (stopped, or at the file limit)";
            summarised = true;
            continue;
        }
        report.added += change.kind == Extra ? 1 : 0;
        report.removed += change.kind == Missing ? 1 : 0;
    }
    return summarised ? "" : "it has no summary line: the comparison that wrote it did not finish";
}

std::string ApplyReviewedChanges(const RecordTable& loaded, bool checksums, const ReviewedReport& report,
                                 ReportLines& lines, TextConverter fromUtf8, RecordTable& out, int64_t counts[3])
{
    counts[0] = counts[1] = counts[2] = 0;
    if (loaded.Count() - report.removed + report.added > MAX_FILES) {
        return "the signature would hold more than " + std::to_string(MAX_FILES) + " files, the most one can hold";
    }
    Decisions decisions;
    decisions.kinds.assign(static_cast<size_t>(loaded.Count()), 0);
    decisions.added.Clear(loaded.HoldsDigests(), true);
    lines.Restart();
    ReviewedReport again;
    bool complete;
    std::string line;
    while (lines.Next(line)) {
        LineKind kind;
        Change change;
        if (!ReadLine(line, fromUtf8, kind, change, again, complete).empty()) return "the report changed while read";
        if (kind != LineKind::Difference) continue;
        const std::string problem = Decide(loaded, checksums, change, decisions);
        if (!problem.empty()) return problem;
    }
    RecordTable& added = decisions.added;
    SortRecords(added);
    char previous[RECORD_PATH_SIZE] = "", path[RECORD_PATH_SIZE];
    for (int32_t j = 0; j < added.Count(); ++j) {
        added.CopyPath(j, path);
        if (j > 0 && std::strcmp(previous, path) == 0) return std::string(path) + " is named twice";
        std::memcpy(previous, path, sizeof path);
    }

    // Both in path order: the signature's records as decided, the added
    // ones each before the first record that does not sort before it.
    out.Clear(loaded.HoldsDigests());
    int32_t j = 0;
    for (int32_t i = 0; i <= loaded.Count(); ++i) {
        for (; j < added.Count() && (i == loaded.Count() || ComparePaths(added.Path(j), loaded.Path(i)) < 0); ++j) {
            out.Append(added.Get(j));
            ++counts[0];
        }
        if (i == loaded.Count()) break;
        const uint8_t kind = decisions.kinds[static_cast<size_t>(i)];
        if (kind == Missing) {
            ++counts[1];
        } else if (kind == Size) {
            const size_t at = static_cast<size_t>(decisions.changedAt[static_cast<size_t>(i)]);
            FileRecord record = {};
            loaded.CopyPath(i, record.path);
            record.details = decisions.values[at];
            record.details.reserved = 0;
            if (!decisions.digests.empty()) {
                record.hasDigest = decisions.digests[at].has;
                std::memcpy(record.digest, decisions.digests[at].bytes, DIGEST_SIZE);
            }
            out.Append(record);
            ++counts[2];
        } else {
            out.Append(loaded.Get(i));
        }
    }
    return "";
}
