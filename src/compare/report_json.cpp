#include "compare/report_json.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "model/path_order.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr uint64_t TICKS_PER_SECOND = 10000000;
constexpr int64_t SECONDS_PER_DAY = 86400;
// Days from 1601-01-01, where FILETIME counts from, to 1970-01-01.
constexpr int64_t DAYS_1601_TO_1970 = 134774;

// The civil date of a day counted from 1970-01-01, and back, for every
// date of the proleptic Gregorian calendar.
void CivilFromDays(int64_t z, int64_t& year, unsigned& month, unsigned& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// The Win32 attribute bits by name, in alphabetical order.
constexpr struct {
    uint32_t bit;
    const char* name;
} ATTRIBUTE_NAMES[] = {
    {0x20, "archive"},          {0x800, "compressed"},  {0x40, "device"},        {0x10, "directory"},
    {0x4000, "encrypted"},      {0x2, "hidden"},        {0x8000, "integrity_stream"}, {0x80, "normal"},
    {0x2000, "not_content_indexed"}, {0x20000, "no_scrub_data"}, {0x1000, "offline"}, {0x80000, "pinned"},
    {0x1, "readonly"},          {0x400000, "recall_on_data_access"}, {0x40000, "recall_on_open"},
    {0x400, "reparse_point"},   {0x200, "sparse_file"}, {0x4, "system"},         {0x100, "temporary"},
    {0x100000, "unpinned"},     {0x10000, "virtual"},
};

constexpr struct {
    uint32_t bit;
    const char* name;
} CHANGED_NAMES[] = {
    {CHANGED_SIZE, "size"},           {CHANGED_ATTRIBUTES, "attributes"}, {CHANGED_CREATED, "created"},
    {CHANGED_LAST_WRITE, "last_write"}, {CHANGED_CHECKSUM, "checksum"},   {CHANGED_SHA256, "sha256"},
};


// A record's values as the report gives them. A checksum of 0 is one never
// taken (or checksums off), and a scan's checksum cut short by a Stop is
// none: neither is written.
Json RecordJson(const RecordTable& table, int32_t index, bool checksums)
{
    const FileDetails& details = table.Details(index);
    Json names = Json::array();
    for (const auto& attribute : ATTRIBUTE_NAMES) {
        if (details.attributes & attribute.bit) names.push_back(attribute.name);
    }
    Json record;
    // The details are packed: their fields go by value.
    record["size"] = static_cast<uint64_t>(details.size);
    record["attributes"] = static_cast<uint32_t>(details.attributes);
    record["attribute_names"] = names;
    record["created"] = IsoTime(details.creationTime);
    record["last_write"] = IsoTime(details.lastWriteTime);
    if (checksums && details.checksum != 0 && !table.ChecksumNotTaken(index)) {
        record["checksum"] = static_cast<uint32_t>(details.checksum);
    }
    if (table.HasDigest(index)) {
        record["sha256"] = Hex(table.Digest(index), DIGEST_SIZE);
    }
    return record;
}

std::string Line(const Json& line)
{
    // Anything not valid UTF-8 becomes U+FFFD rather than a broken line.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}


}  // namespace

bool ParseHex(const std::string& text, uint8_t* bytes, size_t size)
{
    if (text.size() != 2 * size) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (value < 0) return false;
        bytes[i / 2] = static_cast<uint8_t>(i % 2 ? (bytes[i / 2] << 4) | value : value);
    }
    return true;
}

std::string Hex(const uint8_t* bytes, size_t size)
{
    static const char DIGITS[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += DIGITS[bytes[i] >> 4];
        out += DIGITS[bytes[i] & 15];
    }
    return out;
}

std::string IsoTime(const FileTime& time)
{
    const uint64_t ticks = Ticks(time);
    const uint64_t seconds = ticks / TICKS_PER_SECOND;
    int64_t year;
    unsigned month, day;
    CivilFromDays(static_cast<int64_t>(seconds / SECONDS_PER_DAY) - DAYS_1601_TO_1970, year, month, day);
    const unsigned secondOfDay = static_cast<unsigned>(seconds % SECONDS_PER_DAY);
    // Past 9999 in ISO 8601's expanded form: a sign and six digits.
    char text[48];
    std::snprintf(text, sizeof text, year > 9999 ? "+%06lld-%02u-%02uT%02u:%02u:%02u.%07uZ" : "%04lld-%02u-%02uT%02u:%02u:%02u.%07uZ",
                  static_cast<long long>(year), month, day,
                  secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60,
                  static_cast<unsigned>(ticks % TICKS_PER_SECOND));
    return text;
}

bool ParseIsoTime(const std::string& text, FileTime& time)
{
    long long year;
    unsigned month, day, hour, minute, second, fraction;
    char zone;
    int used = 0;
    const bool expanded = !text.empty() && text[0] == '+';
    if (std::sscanf(text.c_str() + (expanded ? 1 : 0), expanded ? "%6lld-%2u-%2uT%2u:%2u:%2u.%7u%c%n" : "%4lld-%2u-%2uT%2u:%2u:%2u.%7u%c%n",
                    &year, &month, &day, &hour, &minute, &second, &fraction, &zone, &used) != 8 ||
        static_cast<size_t>(used) + (expanded ? 1 : 0) != text.size() || zone != 'Z' || year < 1601 || month < 1 || month > 12 ||
        day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    const int64_t days = DaysFromCivil(year, month, day) + DAYS_1601_TO_1970;
    const uint64_t ticks = (static_cast<uint64_t>(days) * SECONDS_PER_DAY + hour * 3600u + minute * 60u + second) *
                               TICKS_PER_SECOND + fraction;
    time = {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
    // Only the one spelling of each moment: no day 31 of a short month, no
    // moment past the last a FILETIME holds, no fraction of fewer digits.
    return IsoTime(time) == text;
}

std::string DifferenceLine(int32_t kind, const RecordTable& scan, int32_t s, const RecordTable& loaded, int32_t l,
                           ContentCheck content, bool checksums, TextConverter toUtf8)
{
    const bool added = kind == Extra, removed = kind == Missing || kind == Unchecked;
    char path[RECORD_PATH_SIZE];
    // A change is named as the signature spells it, so that accept finds it.
    if (added) {
        scan.CopyPath(s, path);
    } else {
        loaded.CopyPath(l, path);
    }
    Json line;
    line["type"] = "difference";
    line["action"] = added ? "added" : kind == Unchecked ? "unchecked" : removed ? "removed" : "changed";
    line["path"] = toUtf8(path);
    if (!added && !removed) {
        const uint32_t changed = ChangedFields(scan, s, loaded, l, content);
        Json names = Json::array();
        for (const auto& field : CHANGED_NAMES) {
            if (changed & field.bit) names.push_back(field.name);
        }
        line["changed"] = names;
    }
    if (!added) line["old"] = RecordJson(loaded, l, checksums);
    if (!removed) line["new"] = RecordJson(scan, s, checksums);
    return Line(line);
}

std::string SummaryLine(const ReportSummary& summary)
{
    Json line;
    line["type"] = "summary";
    line["version"] = summary.version;
    line["host"] = summary.host;
    line["signature"] = summary.signature;
    line["signature_sha256"] = summary.signatureSha256;
    line["started"] = summary.started;
    line["finished"] = summary.finished;
    line["files_in_signature"] = summary.filesInSignature;
    line["files_scanned"] = summary.filesScanned;
    line["added"] = summary.added;
    line["removed"] = summary.removed;
    line["changed"] = summary.changed;
    line["skipped_long_paths"] = summary.skippedLongPaths;
    line["unread_folders"] = summary.unreadFolders;
    line["unchecked"] = summary.unchecked;
    line["loops"] = summary.loops;
    line["complete"] = summary.complete;
    line["file_limit_reached"] = summary.fileLimitReached;
    line["exit_code"] = summary.exitCode;
    if (!summary.sealKey.empty()) {
        line["seal"] = {{"key_sha256", summary.sealKey}, {"verified", summary.sealVerified}};
    }
    return Line(line);
}
