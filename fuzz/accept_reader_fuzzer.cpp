// Feeds arbitrary bytes to accept as a reviewed report of a fixed small
// signature, through the code accept runs: read, check, merge, save. A
// report it takes must leave a signature that loads back in path order
// within the limit; one it refuses must leave the signature as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compare/reviewed_report.h"
#include "model/path_order.h"
#include "sigfile/signature_stream.h"

namespace {

void Require(bool condition) { if (!condition) std::abort(); }

std::string Same(const std::string& text) { return text; }

FileTime At(uint64_t ticks) { return {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)}; }

// The signature the report tests compare with, so that their reports,
// which name it by the digest "ab", are the seeds.
struct Fixed {
    SignatureHeader header{};
    DirectoryList list{};
    RecordTable table;
    std::vector<unsigned char> bytes;

    Fixed()
    {
        const struct { const char* path; uint64_t size; uint32_t checksum; int digest; } records[] = {
            {"\\a\\gone", 1, 7, 1}, {"\\a\\same", 2, 9, 2}, {"\\b\\grown\x01\"\\", 3, 5, 3}, {"\\b\\touched", 4, 6, -1}};
        table.Clear(true);
        for (const auto& r : records) {
            FileRecord record = {};
            std::strcpy(record.path, r.path);
            record.details = {0x21, At(r.size * 10000001), At(r.size * 20000003), r.size, r.checksum, 0};
            record.hasDigest = r.digest >= 0;
            record.digest[0] = static_cast<uint8_t>(r.digest);
            table.Append(record);
        }
        std::memcpy(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
        list.calculateChecksums = 1;
        list.digestKind = DIGEST_SHA256;
        SetSavedLayout(header, true, table.Count());
        bytes = Save(table);
    }

    std::vector<unsigned char> Save(const RecordTable& records) const
    {
        MemorySink sink;
        Require(WriteSignature(sink, header, list, records) == SaveError::None);
        return sink.bytes();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Fixed fixed;
    static RecordTable accepted, reloaded;
    TextLines lines(std::string(reinterpret_cast<const char*>(data), size));
    ReviewedReport report;
    std::string problem = ReadReviewedReport(lines, Same, report);
    if (problem.empty() && report.signatureSha256 != "ab") problem = "another signature";
    int64_t counts[3];
    if (problem.empty()) problem = ApplyReviewedChanges(fixed.table, true, report, lines, Same, accepted, counts);
    if (!problem.empty()) {
        Require(fixed.Save(fixed.table) == fixed.bytes);
        accepted.Clear();
        return 0;
    }
    const std::vector<unsigned char> saved = fixed.Save(accepted);
    MemorySource source(saved.data(), saved.size());
    SignatureHeader header;
    DirectoryList list;
    SignatureTarget target = {&header, &list, &reloaded, MAX_FILES, 0, 0, 0};
    Require(ReadSignature(source, "fuzz.sig", target) == LoadError::None);
    Require(reloaded.Count() == accepted.Count() && reloaded.Count() <= MAX_FILES &&
            reloaded.Count() == fixed.table.Count() + counts[0] - counts[1]);
    for (int32_t i = 1; i < accepted.Count(); ++i) {
        Require(ComparePaths(accepted.Path(i - 1), accepted.Path(i)) <= 0);
    }
    // Nothing kept to the next input, which libFuzzer would take for a leak.
    accepted.Clear(), reloaded.Clear();
    return 0;
}
