#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "compare/reviewed_report.h"
#include "support/reference_walk.h"

namespace {

std::string Same(const std::string& text) { return text; }

FileTime At(uint64_t ticks) { return {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)}; }

FileRecord Record(const std::string& path, uint64_t size, uint32_t checksum = 0, int digest = -1)
{
    FileRecord r = {};
    path.copy(r.path, RECORD_PATH_SIZE - 1);
    r.details = {0x21, At(size * 10000001), At(size * 20000003), size, checksum, 0};
    r.hasDigest = digest >= 0;
    r.digest[0] = static_cast<uint8_t>(digest);
    return r;
}

std::vector<std::string> lines;

void Collect(void* tables, int32_t kind, int32_t s, int32_t l)
{
    auto* t = static_cast<RecordTable*>(tables);
    lines.push_back(DifferenceLine(kind, t[0], s, t[1], l, ContentCheck::Digests, true, Same));
}

// Reads a report as accept does; every report read is also a seed file for
// the accept fuzzer, written to OLVARIN_FUZZ_SEEDS.
std::string ReadSeeded(const std::string& text, TextConverter fromUtf8, ReviewedReport& report)
{
    static int row = 0;
    if (const char* seeds = std::getenv("OLVARIN_FUZZ_SEEDS"))
        std::ofstream(std::string(seeds) + "/report" + std::to_string(row++) + ".jsonl", std::ios::binary) << text;
    TextLines lines(text);
    return ReadReviewedReport(lines, fromUtf8, report);
}

// Reads a sound report and applies it, as accept does.
std::string Accept(const RecordTable& loaded, const std::string& text, RecordTable& out, int64_t counts[3])
{
    ReviewedReport reviewed;
    EXPECT_EQ(ReadSeeded(text, Same, reviewed), "");
    TextLines lines(text);
    return ApplyReviewedChanges(loaded, true, reviewed, lines, Same, out, counts);
}

std::string Summary(bool complete)
{
    ReportSummary summary;
    summary.signatureSha256 = "ab", summary.complete = complete;
    return SummaryLine(summary);
}

}  // namespace

TEST(ReportJson, TimesSpellOneWayAndReadBack)
{
    const struct { uint64_t ticks; const char* text; } cases[] = {
        {0, "1601-01-01T00:00:00.0000000Z"},
        {132223104000000000ull + 1, "2020-01-01T00:00:00.0000001Z"},
        {134192231991234567ull, "2026-03-29T01:59:59.1234567Z"},
        {125962992000000000ull, "2000-02-29T12:00:00.0000000Z"},  // the last day of a 400-year cycle
        {125911583999999999ull, "1999-12-31T23:59:59.9999999Z"},
        {31292352000000000ull, "1700-03-01T00:00:00.0000000Z"},  // the first day after a century's end
        {~0ull, "+060056-05-28T05:36:10.9551615Z"},  // past 9999 in the expanded form
        {2650467744000000000ull, "+010000-01-01T00:00:00.0000000Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsoTime(At(c.ticks)), c.text);
        FileTime back = {};
        EXPECT_TRUE(ParseIsoTime(c.text, back) && back.dwLowDateTime == At(c.ticks).dwLowDateTime &&
                    back.dwHighDateTime == At(c.ticks).dwHighDateTime) << c.text;
    }
    FileTime t;
    for (const char* bad : {"2021-02-29T00:00:00.0000000Z", "2020-01-01T00:00:00.000000Z", "2020-01-01T00:00:00Z",
                            "2020-01-01T00:00:00.0000000Z ", "1600-12-31T23:59:59.9999999Z", "+060056-05-28T05:36:11.0000000Z",
                            "60056-05-28T05:36:10.9551615Z", "+9999-12-31T00:00:00.0000000Z"})
        EXPECT_FALSE(ParseIsoTime(bad, t)) << bad;
}

// A line for every difference, control characters escaped; the lines read
// back (through a JSON parser) and accepted give the scan's own records, and
// a deleted line is a change left out.
TEST(ReportJson, ALineForEveryDifferenceAndAcceptingThemAllGivesTheScan)
{
    RecordTable tables[2], accepted;  // the scan, the signature
    const std::vector<FileRecord> signature = {Record("\\a\\gone", 1, 7, 1), Record("\\a\\same", 2, 9, 2),
                                               Record("\\b\\grown\x01\"\\", 3, 5, 3), Record("\\b\\touched", 4, 6)};
    std::vector<FileRecord> scan = {Record("\\a\\new", 5, 8, 5), signature[1], Record("\\b\\grown\x01\"\\", 30, 5, 4),
                                    signature[3]};
    scan[3].details.attributes = 0x1;
    FillTable(tables[0], scan), FillTable(tables[1], signature);
    lines.clear();
    VisitDifferences(tables[0], tables[1], ContentCheck::Digests, Collect, tables);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[2].find(R"("path":"\\b\\grown\u0001\"\\",)"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find(R"("changed":["size","created","last_write","sha256"],)"), std::string::npos) << lines[2];
    EXPECT_NE(lines[0].find(R"("new":{"size":5,"attributes":33,"attribute_names":["archive","readonly"],)"
                            R"("created":"1601-01-01T00:00:05.0000005Z","last_write":"1601-01-01T00:00:10.0000015Z",)"
                            R"("checksum":8,"sha256":"05)" + std::string(62, '0') + "\"}"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[3].find("sha256"), std::string::npos) << lines[3];

    std::string report;
    for (const std::string& line : lines) report += line + "\n";
    ReviewedReport reviewed;
    int64_t counts[3];
    ASSERT_EQ(Accept(tables[1], report + Summary(true) + "\r\n\n", accepted, counts), "");
    EXPECT_EQ(counts[0] * 100 + counts[1] * 10 + counts[2], 112);
    ASSERT_EQ(accepted.Count(), tables[0].Count());
    for (int32_t i = 0; i < accepted.Count(); ++i) {
        FileRecord a = accepted.Get(i), b = tables[0].Get(i);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << a.path;
    }
    ASSERT_EQ(Accept(tables[1], lines[1] + "\n\n" + lines[3] + "\n" + Summary(true), accepted, counts), "");
    EXPECT_EQ(accepted.Count(), 3);
    EXPECT_EQ(accepted.Get(2).details.attributes, 1u);  // gone is removed, grown as it was

    // Refused: no summary last, an incomplete run, a type that is no text, a
    // sum of 0, a digest that is no hex, values the signature no longer
    // holds, an added path already there or twice.
    const std::string noOld = R"({"type":"difference","action":"changed","path":"\\x","new":{}})";
    auto first = [&](const std::string& from, const std::string& to) {  // the first line, edited
        return std::string(lines[0]).replace(lines[0].find(from), from.size(), to);
    };
    for (const std::string& bad : {report, report + Summary(false), Summary(true) + "\n" + lines[0], "{" + Summary(true),
                                   std::string(R"({"type":1})"), noOld + "\n" + Summary(true),
                                   first("\"checksum\":8", "\"checksum\":0") + "\n" + Summary(true),
                                   first("\"sha256\":\"05", "\"sha256\":\"0g") + "\n" + Summary(true)})
        EXPECT_NE(ReadSeeded(bad, Same, reviewed), "") << bad;
    const std::string z = first("\\\\a\\\\new", "\\\\z");
    EXPECT_NE(Accept(tables[1], lines[0] + "\n" + z + "\n" + z + "\n" + Summary(true), accepted, counts), "");
    EXPECT_NE(Accept(tables[0], report + Summary(true), accepted, counts), "");
    const std::string stale = std::string(lines[2]).replace(lines[2].find("\"checksum\":5"), 12, "\"checksum\":6");
    EXPECT_NE(Accept(tables[1], stale + "\n" + Summary(true), accepted, counts), "");
}

// Names equal up to case are other files, and names the code page spells
// alike are several records: the comparison pairs the alike spelt first,
// and accept takes the record whose old values the line gives.
TEST(ReportJson, NamesEqualUpToCaseOrSpeltAlikeAreComparedAndAcceptedAsTheirOwnFiles)
{
    RecordTable tables[3], accepted;  // the scan, the signature, the accepted one
    const std::vector<FileRecord> signature = {Record("\\a?.txt", 1, 7, 1), Record("\\a?.txt", 2, 8, 2), Record("\\x.txt", 3, 9, 3)};
    FillTable(tables[0], {signature[0], Record("\\a?.txt", 20, 8, 2), Record("\\X.TXT", 4, 4, 4), signature[2]});
    FillTable(tables[1], signature);
    for (int round = 0; round < 2; ++round) {
        lines.clear();
        VisitDifferences(tables[0], tables[round == 0 ? 1 : 2], ContentCheck::Digests, Collect, tables);
        if (round == 1) break;
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_NE(lines[0].find(R"("action":"changed","path":"\\a?.txt")"), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find(R"("action":"added","path":"\\X.TXT")"), std::string::npos) << lines[1];
        int64_t counts[3];
        ASSERT_EQ(Accept(tables[1], lines[0] + "\n" + lines[1] + "\n" + Summary(true), accepted, counts), "");
        tables[2].TakeFrom(accepted);
    }
    EXPECT_EQ(lines.size(), 0u);  // the accepted signature compares clean
}
