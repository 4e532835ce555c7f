#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "sigfile/signature_stream.h"
#include "support/signature_bytes.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A small table with one guard slot behind it, so a test sees any write past
// the slots the reader was given.
constexpr int CAPACITY = 4;

struct Loaded {
    SignatureHeader header{};
    DirectoryList list{};
    FileRecord records[CAPACITY + 1]{};
    SignatureTarget target{&header, &list, records, CAPACITY, 0, 0};
    LoadError error = LoadError::None;
};

// Reads into a table that holds what an earlier signature left behind.
Loaded Read(ByteSource& source, int32_t includeDriveLetter = 0, int32_t calculateChecksums = 0)
{
    Loaded out;
    std::memset(out.records, 0x5A, sizeof out.records);
    for (FileRecord& r : out.records) r.path[RECORD_PATH_SIZE - 1] = '\0';
    FileRecord guard = out.records[CAPACITY];
    out.target.includeDriveLetter = includeDriveLetter;
    out.target.calculateChecksums = calculateChecksums;
    out.error = ReadSignature(source, "title.sig", out.target);
    EXPECT_EQ(std::memcmp(&guard, &out.records[CAPACITY], sizeof guard), 0) << "written past the table";
    return out;
}

Loaded Read(const Bytes& bytes, int32_t includeDriveLetter = 0, int32_t calculateChecksums = 0)
{
    MemorySource source(bytes.data(), bytes.size());
    return Read(source, includeDriveLetter, calculateChecksums);
}

// Delivers some bytes and then falls short without reaching the end, as an
// I/O error looks through stdio.
class FailingSource : public MemorySource {
public:
    FailingSource(const Bytes& bytes, size_t goodBytes) : MemorySource(bytes.data(), goodBytes) {}
    bool AtEnd() const override { return false; }
};

// Takes some bytes and then refuses, at once or only when flushed (as a
// buffered file on a full disk would).
class FailingSink : public ByteSink {
public:
    FailingSink(size_t goodBytes, bool failOnFlush) : left_(goodBytes), failOnFlush_(failOnFlush) {}
    size_t Write(const void*, size_t size) override
    {
        size_t n = size <= left_ ? size : left_;
        left_ -= n;
        overflowed_ = overflowed_ || n < size;
        return failOnFlush_ ? size : n;
    }
    bool Flush() override { return !overflowed_; }

private:
    size_t left_;
    bool failOnFlush_;
    bool overflowed_ = false;
};

SignatureBytes Current(int records)
{
    SignatureBytes sig(LAYOUT_CURRENT);
    for (int i = 0; i < records; ++i) sig.Record("\\dir\\file" + std::to_string(i) + ".txt", static_cast<uint32_t>(i));
    return sig;
}

SignatureBytes Legacy(int records)
{
    SignatureBytes sig(LAYOUT_LEGACY);
    for (int i = 0; i < records; ++i) sig.Record("\\f" + std::to_string(i), static_cast<uint32_t>(i));
    return sig;
}

SignatureBytes WithDirectoryCount(uint8_t layout, int32_t count)
{
    SignatureBytes sig(layout);
    (layout == LAYOUT_LEGACY ? sig.legacy.count : sig.list.count) = count;
    return sig;
}

void ExpectRecord(const FileRecord& record, const std::string& path, uint32_t n)
{
    EXPECT_STREQ(record.path, path.c_str());
    FileDetails expected = DetailsFor(n);
    EXPECT_EQ(std::memcmp(&record.details, &expected, sizeof expected), 0) << path;
}

bool SlotEmpty(const FileRecord& record)
{
    static const FileRecord empty{};
    return std::memcmp(&record, &empty, sizeof empty) == 0;
}

}  // namespace

// Every row is also a seed file for the fuzzer, written when
// OLVARIN_FUZZ_SEEDS names a folder.
TEST(SignatureRead, EachDamageGivesItsErrorAtItsBoundary)
{
    const Bytes good = Current(0).Bytes();
    FileRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    const FileRecord empty{};
    const size_t lastRecord = 4 + 9 + 36;  // "\\last.txt"

    const struct {
        const char* what;
        std::function<Bytes()> bytes;
        LoadError expected;
    } cases[] = {
        {"empty file", [] { return Bytes{}; }, LoadError::HeaderShort},
        {"header one byte short", [&] { return Bytes(good.begin(), good.begin() + 335); }, LoadError::HeaderShort},
        {"magic", [&] { Bytes b = good; b[0] ^= 1; return b; }, LoadError::BadMagic},
        {"magic's NUL", [&] { Bytes b = good; b[MAGIC_SIZE - 1] = 'x'; return b; }, LoadError::BadMagic},
        {"layout 2", [] { return SignatureBytes(2).Bytes(); }, LoadError::UnknownLayout},
        {"layout 255", [] { return SignatureBytes(255).Bytes(); }, LoadError::UnknownLayout},
        {"legacy block short", [] { return Legacy(0).Bytes(1); }, LoadError::LegacyDirectoriesShort},
        {"block short", [] { return Current(0).Bytes(1); }, LoadError::DirectoriesShort},
        {"empty signature", [] { return Current(0).Bytes(); }, LoadError::None},
        {"empty legacy signature", [] { return Legacy(0).Bytes(); }, LoadError::None},
        {"30 directories", [] { return WithDirectoryCount(LAYOUT_CURRENT, 30).Bytes(); }, LoadError::None},
        {"31 directories", [] { return WithDirectoryCount(LAYOUT_CURRENT, 31).Bytes(); }, LoadError::CorruptDirectories},
        {"-1 directories", [] { return WithDirectoryCount(LAYOUT_CURRENT, -1).Bytes(); }, LoadError::CorruptDirectories},
        {"10 legacy directories", [] { return WithDirectoryCount(LAYOUT_LEGACY, 10).Bytes(); }, LoadError::None},
        {"11 legacy directories", [] { return WithDirectoryCount(LAYOUT_LEGACY, 11).Bytes(); }, LoadError::CorruptDirectories},
        {"-1 legacy directories", [] { return WithDirectoryCount(LAYOUT_LEGACY, -1).Bytes(); }, LoadError::CorruptDirectories},
        // Layout 1 copies every directory slot, so even an unused one must end.
        {"unused slot without NUL",
         [] { SignatureBytes s(LAYOUT_CURRENT); std::memset(s.list.paths[29], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
         LoadError::CorruptDirectories},
        // Layout 0 copies only the used ones.
        {"unused legacy slot without NUL",
         [] { SignatureBytes s(LAYOUT_LEGACY); s.Directory("C:\\a", Include);
              std::memset(s.legacy.paths[5], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
         LoadError::None},
        {"used legacy slot without NUL",
         [] { SignatureBytes s(LAYOUT_LEGACY); s.Directory("C:\\a", Include).Directory("C:\\b", Include);
              std::memset(s.legacy.paths[1], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
         LoadError::CorruptDirectories},
        {"path length 299", [] { return Current(1).RawRecord(299, std::string(299, 'p')).Bytes(); }, LoadError::None},
        {"path length 300", [] { return Current(1).RawRecord(300, std::string(300, 'p')).Bytes(); }, LoadError::BadPathLength},
        {"path length -1", [] { return Current(1).RawRecord(-1, "").Bytes(); }, LoadError::BadPathLength},
        {"path length INT32_MIN", [] { return Current(1).RawRecord(INT32_MIN, "").Bytes(); }, LoadError::BadPathLength},
        {"length 0 mid-file", [] { return Current(1).RawRecord(0, "").Record("\\z").Bytes(); }, LoadError::Record},
        {"length 0 as last record", [] { return Current(1).RawRecord(0, "").Bytes(); }, LoadError::Record},
        {"path of NULs", [] { return Current(1).RawRecord(3, std::string(3, '\0')).Bytes(); }, LoadError::Record},
        {"length 0, file ends inside it", [] { return Current(1).RawRecord(0, "").Bytes(1); }, LoadError::None},
        {"ends in details", [] { return Current(1).Record("\\last.txt").Bytes(1); }, LoadError::None},
        {"ends in path", [] { return Current(1).Record("\\last.txt").Bytes(36 + 5); }, LoadError::None},
        {"ends in length", [=] { return Current(1).Record("\\last.txt").Bytes(lastRecord - 2); }, LoadError::None},
        {"legacy path without NUL",
         [&] { return Legacy(1).Raw(&unterminated, sizeof unterminated).Bytes(); }, LoadError::LegacyRecord},
        {"legacy empty path hiding records",
         [&] { return Legacy(1).Raw(&empty, sizeof empty).Record("\\hidden").Bytes(); }, LoadError::LegacyRecord},
        {"table full", [] { return Current(CAPACITY).Bytes(); }, LoadError::None},
        {"one record too many", [] { return Current(CAPACITY + 1).Bytes(); }, LoadError::Record},
        {"table full, then a cut length", [] { return Current(CAPACITY).Raw("\x05\x00", 2).Bytes(); }, LoadError::None},
        {"legacy table full", [] { return Legacy(CAPACITY).Bytes(); }, LoadError::None},
        {"legacy record too many", [] { return Legacy(CAPACITY).Raw("\\", 1).Bytes(); }, LoadError::LegacyRecord},
    };
    const char* seeds = std::getenv("OLVARIN_FUZZ_SEEDS");
    int row = 0;
    for (const auto& c : cases) {
        Bytes bytes = c.bytes();
        EXPECT_EQ(Read(bytes).error, c.expected) << c.what;
        if (seeds == nullptr) continue;
        std::FILE* seed = std::fopen((std::string(seeds) + "/row" + std::to_string(row++) + ".sig").c_str(), "wb");
        ASSERT_NE(seed, nullptr) << seeds;
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), seed);
        std::fclose(seed);
    }
}

TEST(SignatureRead, BothLayoutsLoadEverythingTheyHoldAndNothingOfTheEarlierSignature)
{
    SignatureBytes sig(LAYOUT_CURRENT);
    sig.header.reserved1[3] = 0x77;
    sig.header.fileCount = 3;
    sig.header.totalBytes = 123456789012345;
    sig.list.includeDriveLetter = 1;
    sig.list.calculateChecksums = 0xFF;  // any non-zero byte is on
    sig.Directory("C:\\data", Include).Directory("C:\\data\\tmp", Exclude);
    sig.Record("\\data\\a.txt", 1).RawRecord(299, std::string(299, 'p'), 2);
    Loaded got = Read(sig.Bytes());
    ASSERT_EQ(got.error, LoadError::None);
    // All of the header but the name, which is the file's title.
    const size_t nameAt = offsetof(SignatureHeader, name), afterName = nameAt + SIGNATURE_NAME_SIZE;
    EXPECT_EQ(std::memcmp(&got.header, &sig.header, nameAt), 0);
    EXPECT_STREQ(got.header.name, "title.sig");
    EXPECT_EQ(std::memcmp(reinterpret_cast<char*>(&got.header) + afterName,
                          reinterpret_cast<char*>(&sig.header) + afterName, HEADER_SIZE - afterName), 0);
    EXPECT_EQ(std::memcmp(&got.list, &sig.list, sizeof sig.list), 0);
    EXPECT_EQ(got.target.includeDriveLetter, 1);
    EXPECT_NE(got.target.calculateChecksums, 0);
    ExpectRecord(got.records[0], "\\data\\a.txt", 1);
    ExpectRecord(got.records[1], std::string(299, 'p'), 2);
    EXPECT_TRUE(SlotEmpty(got.records[2]) && SlotEmpty(got.records[3]));

    // Layout 0 says "drive letter included" with a zero and has no checksum
    // option: that one stays as it was.
    SignatureBytes old(LAYOUT_LEGACY);
    old.header.legacyDriveLetterFlag = 0;
    old.Directory("C:\\old", Include).Directory("C:\\old\\skip", Exclude);
    old.Record("C:\\old\\a.txt", 1).Record("C:\\old\\b.txt", 2);
    for (int32_t checksums : {0, 1}) {
        got = Read(old.Bytes(), 0, checksums);
        ASSERT_EQ(got.error, LoadError::None);
        EXPECT_EQ(got.target.includeDriveLetter, 1);
        EXPECT_EQ(got.target.calculateChecksums, checksums);
        DirectoryList list{};
        list.count = 2;
        std::strcpy(list.paths[0], "C:\\old");
        std::strcpy(list.paths[1], "C:\\old\\skip");
        list.actions[0] = Include;
        list.actions[1] = Exclude;
        EXPECT_EQ(std::memcmp(&got.list, &list, sizeof list), 0);
        ExpectRecord(got.records[1], "C:\\old\\b.txt", 2);
        EXPECT_TRUE(SlotEmpty(got.records[2]));
    }
    old.header.legacyDriveLetterFlag = 1;
    EXPECT_EQ(Read(old.Bytes(), 1, 0).target.includeDriveLetter, 0);
}

TEST(SignatureRead, ARecordCutShortByTheEndKeepsWhatArrivedButAReadErrorFails)
{
    SignatureBytes sig = Current(1).Record("\\last.txt", 9);
    Loaded inDetails = Read(sig.Bytes(1));
    FileDetails expected = DetailsFor(9);
    std::memset(reinterpret_cast<char*>(&expected) + DETAILS_SIZE - 1, 0, 1);
    EXPECT_STREQ(inDetails.records[1].path, "\\last.txt");
    EXPECT_EQ(std::memcmp(&inDetails.records[1].details, &expected, DETAILS_SIZE), 0);
    EXPECT_STREQ(Read(sig.Bytes(36 + 5)).records[1].path, "\\las");
    EXPECT_EQ(Read(Current(1).RawRecord(0, "").Bytes(1)).records[1].path[0], '\0');

    // A layout-0 record cut short gets its NUL inside its field.
    FileRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    Loaded legacy = Read(Legacy(1).Raw(&unterminated, sizeof unterminated).Bytes(10));
    ASSERT_EQ(legacy.error, LoadError::None);
    EXPECT_EQ(std::strlen(legacy.records[1].path), 299u);

    // A short read before the end is an error, not the end.
    Bytes current = Current(3).Bytes();
    for (size_t good : {CURRENT_RECORDS_OFFSET + 50, CURRENT_RECORDS_OFFSET + 2}) {
        FailingSource source(current, good);
        EXPECT_EQ(Read(source).error, LoadError::Record) << good;
    }
    Bytes old = Legacy(2).Bytes();
    FailingSource source(old, LEGACY_RECORDS_OFFSET + 400);
    EXPECT_EQ(Read(source).error, LoadError::LegacyRecord);
}

TEST(SignatureWrite, EachFailureIsToldByThePartItStruck)
{
    SignatureHeader header{};
    DirectoryList list{};
    FileRecord records[3]{};
    std::strcpy(records[0].path, "\\a");
    std::strcpy(records[1].path, "\\b");
    const struct { size_t goodBytes; SaveError expected; } cases[] = {
        {0, SaveError::Header},           {335, SaveError::Header},
        {336, SaveError::DirectoryList},  {8263, SaveError::DirectoryList},
        {8264, SaveError::Records},       {8264 + 42 + 41, SaveError::Records},
        {8264 + 42 + 42, SaveError::None},
    };
    for (const auto& c : cases) {
        for (bool onFlush : {false, true}) {
            FailingSink sink(c.goodBytes, onFlush);
            EXPECT_EQ(WriteSignature(sink, header, list, records, 3), c.expected) << c.goodBytes << " " << onFlush;
        }
    }
}

namespace {

void FillTable(int count)
{
    std::memset(appState.LoadedTable, 0, sizeof appState.LoadedTable);
    for (int i = 0; i < count; ++i) {
        std::snprintf(appState.LoadedTable[i].path, RECORD_PATH_SIZE, "\\d\\%06d.bin", i);
        appState.LoadedTable[i].details = DetailsFor(static_cast<uint32_t>(i));
    }
}

Bytes Save(const char* title)
{
    MemorySink sink;
    EXPECT_EQ(SaveSignatureStream(sink, title), SaveError::None);
    return sink.bytes();
}

LoadError Load(const Bytes& bytes, const char* title)
{
    MemorySource source(bytes.data(), bytes.size());
    return LoadSignatureStream(source, title);
}

}  // namespace

TEST(SignatureState, AFullTableRoundTripsWhateverTheHeaderCountsAndOneMoreIsRefused)
{
    ResetSignature(nullptr);
    FillTable(MAX_FILES);  // far beyond the old 50,000-record cap
    appState.header.fileCount = 12;
    appState.header.totalBytes = 99;
    appState.directoryList.calculateChecksums = 1;
    std::strcpy(appState.directoryList.paths[0], "C:\\d");
    Bytes bytes = Save("full.sig");

    FillTable(0);
    ResetSignature(nullptr);
    ASSERT_EQ(Load(bytes, "full.sig"), LoadError::None);
    EXPECT_STREQ(appState.header.name, "full.sig");
    EXPECT_EQ(appState.header.fileCount, 12);
    EXPECT_EQ(appState.header.totalBytes, 99);
    EXPECT_EQ(appState.calculateChecksums, 1);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    EXPECT_STREQ(appState.directoryList.paths[0], "C:\\d");
    ExpectRecord(appState.LoadedTable[0], "\\d\\000000.bin", 0);
    ExpectRecord(appState.LoadedTable[MAX_FILES - 1], "\\d\\099999.bin", MAX_FILES - 1);

    Bytes more = SignatureBytes(LAYOUT_CURRENT).Record("\\x").Bytes();
    bytes.insert(bytes.end(), more.begin() + CURRENT_RECORDS_OFFSET, more.end());
    EXPECT_EQ(Load(bytes, "full.sig"), LoadError::Record);

    FillTable(5);  // saving stops at the first empty slot
    appState.LoadedTable[2].path[0] = '\0';
    EXPECT_EQ(Save("gap.sig").size(), CURRENT_RECORDS_OFFSET + 2 * (4 + 13 + 36));
}

TEST(SignatureState, ALegacyFileSavedAgainTurnsBothOptionsOffAndAnEmptyOneLoadsBackEmpty)
{
    ResetSignature(nullptr);
    SignatureBytes legacy(LAYOUT_LEGACY);
    legacy.header.legacyDriveLetterFlag = 0;
    legacy.Directory("C:\\old", Include).Record("C:\\old\\a", 1);
    appState.calculateChecksums = 1;
    ASSERT_EQ(Load(legacy.Bytes(), "old.sig"), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter, 1);
    EXPECT_EQ(appState.calculateChecksums, 1);

    ASSERT_EQ(Load(Save("again.sig"), "again.sig"), LoadError::None);
    EXPECT_EQ(appState.header.layoutVersion, LAYOUT_CURRENT);
    EXPECT_EQ(appState.includeDriveLetter + appState.calculateChecksums, 0);
    ExpectRecord(appState.LoadedTable[0], "C:\\old\\a", 1);

    // Saving leaves the shared state's name alone: the Windows side renames
    // it once the file is in place.
    ResetSignature(nullptr);
    FillTable(0);
    Bytes empty = Save("empty.sig");
    EXPECT_EQ(empty.size(), CURRENT_RECORDS_OFFSET);
    EXPECT_STREQ(appState.header.name, "No signature loaded");
    FillTable(3);
    ASSERT_EQ(Load(empty, "empty.sig"), LoadError::None);
    EXPECT_TRUE(SlotEmpty(appState.LoadedTable[0]) && SlotEmpty(appState.LoadedTable[2]));
}

TEST(SignatureFileStream, ARealFileFollowsTheSameEndOfFileRulesAndEveryErrorHasItsNumber)
{
    // Through stdio, a read that ends exactly on the last byte does not set
    // the end-of-file indicator, so a trailing empty-path record still fails.
    const char* name = "signature_stream_test.sig";
    Bytes bytes = Current(2).RawRecord(0, "").Bytes();
    for (size_t cut : {0, 1}) {
        std::FILE* out = std::fopen(name, "wb");
        std::fwrite(bytes.data(), 1, bytes.size() - cut, out);
        std::fclose(out);
        std::FILE* in = std::fopen(name, "rb");
        FileSource source(in);
        EXPECT_EQ(Read(source).error, cut == 0 ? LoadError::Record : LoadError::None) << "cut " << cut;
        std::fclose(in);
    }
    std::remove(name);

    for (int n = 1; n <= 9; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, "(%02d)", n);
        EXPECT_NE(std::string(LoadErrorText(static_cast<LoadError>(n))).find(number), std::string::npos) << n;
    }
}
