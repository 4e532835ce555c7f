#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "sigfile/signature_stream.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Details that differ from record to record, derived from n.
FileDetails DetailsFor(uint32_t n)
{
    return {0x20 | (n & 0x7), {0x10000000u + n, 0x01D00000u + (n >> 8)}, {0x20000000u + n, 0x01D10000u + (n >> 8)},
            1000ull * n + 7, 0xC0DE0000u ^ n, n % 3};
}

// A signature file built byte by byte, damaged ones included.
struct SignatureBytes {
    SignatureHeader header{};
    DirectoryList list{};          // the directory block of layout 1
    LegacyDirectoryList legacy{};  // the directory block of layout 0
    std::vector<unsigned char> tail;

    explicit SignatureBytes(uint8_t layout)
    {
        std::memcpy(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
        std::strcpy(header.name, "stored name");
        header.layoutVersion = layout;
        header.legacyDriveLetterFlag = 1;
        header.digestKind = list.digestKind = layout == LAYOUT_DIGESTS ? DIGEST_SHA256 : DIGEST_NONE;
    }
    SignatureBytes& Raw(const void* data, size_t size)
    {
        tail.insert(tail.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
        return *this;
    }
    // A layout-1 or -2 record with any stated length and path bytes; in
    // layout 2 a digest of n's bytes (hasDigest 1 for odd n).
    SignatureBytes& RawRecord(int32_t length, const std::string& path, uint32_t n = 0, uint8_t hasDigest = 2)
    {
        FileDetails details = DetailsFor(n);
        Raw(&length, sizeof length).Raw(path.data(), path.size()).Raw(&details, sizeof details);
        if (header.layoutVersion != LAYOUT_DIGESTS) return *this;
        unsigned char digest[1 + DIGEST_SIZE] = {static_cast<uint8_t>(hasDigest == 2 ? n % 2 : hasDigest)};
        std::memset(digest + 1, digest[0] * static_cast<int>(n), DIGEST_SIZE);
        return Raw(digest, sizeof digest);
    }
    // A well-formed record of the layout.
    SignatureBytes& Record(const std::string& path, uint32_t n = 0)
    {
        if (header.layoutVersion != LAYOUT_LEGACY) return RawRecord(static_cast<int32_t>(path.size()), path, n);
        FileRecord record = {};
        std::strncpy(record.path, path.c_str(), RECORD_PATH_SIZE - 1);
        record.details = DetailsFor(n);
        return Raw(&record, LEGACY_RECORD_SIZE);
    }
    // The whole file; cut drops that many bytes from its end.
    std::vector<unsigned char> Bytes(size_t cut = 0) const
    {
        bool old = header.layoutVersion == LAYOUT_LEGACY;
        auto h = reinterpret_cast<const unsigned char*>(&header);
        auto l = old ? reinterpret_cast<const unsigned char*>(&legacy) : reinterpret_cast<const unsigned char*>(&list);
        std::vector<unsigned char> out(h, h + sizeof header);
        out.insert(out.end(), l, l + (old ? sizeof legacy : sizeof list));
        out.insert(out.end(), tail.begin(), tail.end());
        out.resize(out.size() - cut);
        return out;
    }
};

// A small table with one guard slot behind it, so a test sees any write past
// the slots the reader was given.
constexpr int CAPACITY = 4;

struct Loaded {
    SignatureHeader header{};
    DirectoryList list{};
    FileRecord records[CAPACITY + 1]{};
    SignatureTarget target{&header, &list, records, CAPACITY, 0, 0, 0};
    LoadError error = LoadError::None;
};

// Reads into a table that holds what an earlier signature left behind.
Loaded Read(ByteSource& source, int32_t calculateChecksums = 0)
{
    Loaded out;
    std::memset(out.records, 0x5A, sizeof out.records);
    for (FileRecord& r : out.records) r.path[RECORD_PATH_SIZE - 1] = '\0';
    FileRecord guard = out.records[CAPACITY];
    out.target.calculateChecksums = calculateChecksums;
    out.error = ReadSignature(source, "title.sig", out.target);
    EXPECT_EQ(std::memcmp(&guard, &out.records[CAPACITY], sizeof guard), 0) << "written past the table";
    return out;
}

Loaded Read(const Bytes& bytes, int32_t calculateChecksums = 0)
{
    MemorySource source(bytes.data(), bytes.size());
    return Read(source, calculateChecksums);
}

// Delivers some bytes, then falls short without reaching the end, as an I/O
// error looks through stdio.
struct FailingSource : MemorySource {
    FailingSource(const Bytes& bytes, size_t goodBytes) : MemorySource(bytes.data(), goodBytes) {}
    bool AtEnd() const override { return false; }
};

// Takes some bytes and then refuses, at once or only when flushed (as a
// buffered file on a full disk would).
struct FailingSink : ByteSink {
    size_t left;
    bool failOnFlush, overflowed = false;
    FailingSink(size_t goodBytes, bool onFlush) : left(goodBytes), failOnFlush(onFlush) {}
    size_t Write(const void*, size_t size) override
    {
        size_t n = std::min(size, left);
        left -= n, overflowed = overflowed || n < size;
        return failOnFlush ? size : n;
    }
    bool Flush() override { return !overflowed; }
};

SignatureBytes Sig(uint8_t layout, int records, int32_t directoryCount = 0)
{
    SignatureBytes sig(layout);
    (layout == LAYOUT_LEGACY ? sig.legacy.count : sig.list.count) = directoryCount;
    for (int i = 0; i < records; ++i) sig.Record("\\dir\\f" + std::to_string(i), static_cast<uint32_t>(i));
    return sig;
}



constexpr uint8_t OLD = LAYOUT_LEGACY, NEW = LAYOUT_CURRENT, SHA = LAYOUT_DIGESTS;

}  // namespace

// Every row is also a seed file for the fuzzer, written when
// OLVARIN_FUZZ_SEEDS names a folder.
TEST(SignatureRead, EachDamageGivesItsErrorAtItsBoundary)
{
    const Bytes good = Sig(NEW, 0).Bytes();
    FileRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    const FileRecord empty{};
    const std::string p299(299, 'p'), p300(300, 'p');
    using E = LoadError;
    const struct { const char* what; std::function<Bytes()> bytes; LoadError expected; } cases[] = {
        {"empty file", [] { return Bytes{}; }, E::HeaderShort},
        {"header one byte short", [&] { return Bytes(good.begin(), good.begin() + 335); }, E::HeaderShort},
        {"magic", [&] { Bytes b = good; b[0] ^= 1; return b; }, E::BadMagic},
        {"magic's NUL", [&] { Bytes b = good; b[MAGIC_SIZE - 1] = 'x'; return b; }, E::BadMagic},
        {"layout 3", [] { return SignatureBytes(3).Bytes(); }, E::UnknownLayout},
        {"layout 2, digest kind unknown", [] { SignatureBytes s(SHA); s.header.digestKind = 2; return s.Bytes(); }, E::UnknownLayout},
        {"layout 2, list says no digests", [] { SignatureBytes s(SHA); s.list.digestKind = 0; return s.Bytes(); }, E::CorruptDirectories},
        {"layout 2 block short", [] { return Sig(SHA, 0).Bytes(1); }, E::DirectoriesShort},
        {"layout 2, 31 directories", [] { return Sig(SHA, 0, 31).Bytes(); }, E::CorruptDirectories},
        {"layout 2, path length 300", [&] { return Sig(SHA, 1).RawRecord(300, p300).Bytes(); }, E::BadPathLength},
        {"layout 2, digest flag 2", [] { return Sig(SHA, 1).RawRecord(2, "\\x", 0, 2 + 1).Record("\\z").Bytes(); }, E::Record},
        {"layout 2, ends in digest", [] { return Sig(SHA, 2).Bytes(1); }, E::None},
        {"layout 2, ends at flag", [] { return Sig(SHA, 2).Bytes(DIGEST_SIZE); }, E::None},
        {"layout 2, cut record mid-file", [] { return Sig(SHA, 1).RawRecord(0, "").Record("\\z").Bytes(); }, E::Record},
        {"layout 2 table full", [] { return Sig(SHA, CAPACITY).Bytes(); }, E::None},
        {"layout 2, one record too many", [] { return Sig(SHA, CAPACITY + 1).Bytes(); }, E::Record},
        {"legacy block short", [] { return Sig(OLD, 0).Bytes(1); }, E::LegacyDirectoriesShort},
        {"block short", [] { return Sig(NEW, 0).Bytes(1); }, E::DirectoriesShort},
        {"30 directories", [] { return Sig(NEW, 0, 30).Bytes(); }, E::None},
        {"31 directories", [] { return Sig(NEW, 0, 31).Bytes(); }, E::CorruptDirectories},
        {"-1 directories", [] { return Sig(NEW, 0, -1).Bytes(); }, E::CorruptDirectories},
        {"10 legacy directories", [] { return Sig(OLD, 0, 10).Bytes(); }, E::None},
        {"11 legacy directories", [] { return Sig(OLD, 0, 11).Bytes(); }, E::CorruptDirectories},
        {"-1 legacy directories", [] { return Sig(OLD, 0, -1).Bytes(); }, E::CorruptDirectories},
        // Layout 1 copies every directory slot, so even an unused one must
        // end; layout 0 copies only the used ones.
        {"unused slot without NUL",
         [] { SignatureBytes s(NEW); std::memset(s.list.paths[29], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
         E::CorruptDirectories},
        {"unused legacy slot without NUL",
         [] { SignatureBytes s = Sig(OLD, 0, 1); std::memset(s.legacy.paths[5], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
         E::None},
        {"used legacy slot without NUL",
         [] { SignatureBytes s = Sig(OLD, 0, 2); std::memset(s.legacy.paths[1], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
         E::CorruptDirectories},
        {"path length 299", [&] { return Sig(NEW, 1).RawRecord(299, p299).Bytes(); }, E::None},
        {"path length 300", [&] { return Sig(NEW, 1).RawRecord(300, p300).Bytes(); }, E::BadPathLength},
        {"path length -1", [] { return Sig(NEW, 1).RawRecord(-1, "").Bytes(); }, E::BadPathLength},
        {"length 0 mid-file", [] { return Sig(NEW, 1).RawRecord(0, "").Record("\\z").Bytes(); }, E::Record},
        {"length 0 as last record", [] { return Sig(NEW, 1).RawRecord(0, "").Bytes(); }, E::Record},
        {"path of NULs", [] { return Sig(NEW, 1).RawRecord(3, std::string(3, '\0')).Bytes(); }, E::Record},
        {"length 0, file ends inside it", [] { return Sig(NEW, 1).RawRecord(0, "").Bytes(1); }, E::None},
        {"ends in details", [] { return Sig(NEW, 1).Record("\\last.txt").Bytes(1); }, E::None},
        {"ends in path", [] { return Sig(NEW, 1).Record("\\last.txt").Bytes(36 + 5); }, E::None},
        {"ends in length", [] { return Sig(NEW, 1).Record("\\last.txt").Bytes(36 + 9 + 2); }, E::None},
        {"legacy path without NUL", [&] { return Sig(OLD, 1).Raw(&unterminated, LEGACY_RECORD_SIZE).Bytes(); },
         E::LegacyRecord},
        {"legacy empty path hiding records",
         [&] { return Sig(OLD, 1).Raw(&empty, LEGACY_RECORD_SIZE).Record("\\hidden").Bytes(); }, E::LegacyRecord},
        {"table full", [] { return Sig(NEW, CAPACITY).Bytes(); }, E::None},
        {"one record too many", [] { return Sig(NEW, CAPACITY + 1).Bytes(); }, E::Record},
        {"table full, then a cut length", [] { return Sig(NEW, CAPACITY).Raw("\x05\x00", 2).Bytes(); }, E::None},
        {"legacy table full", [] { return Sig(OLD, CAPACITY).Bytes(); }, E::None},
        {"legacy record too many", [] { return Sig(OLD, CAPACITY).Raw("\\", 1).Bytes(); }, E::LegacyRecord},
    };
    const char* seeds = std::getenv("OLVARIN_FUZZ_SEEDS");
    int row = 0;
    for (const auto& c : cases) {
        Bytes bytes = c.bytes();
        EXPECT_EQ(Read(bytes).error, c.expected) << c.what;
        char number[8];  // every error a user can see carries its number
        std::snprintf(number, sizeof number, "(%02d)", static_cast<int>(c.expected));
        EXPECT_TRUE(c.expected == E::None || std::strstr(LoadErrorText(c.expected), number)) << c.what;
        if (seeds == nullptr) continue;
        std::FILE* seed = std::fopen((std::string(seeds) + "/row" + std::to_string(row++) + ".sig").c_str(), "wb");
        ASSERT_NE(seed, nullptr) << seeds;
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), seed);
        std::fclose(seed);
    }
}

TEST(SignatureRead, ARecordCutShortByTheEndKeepsWhatArrivedButAReadErrorFails)
{
    SignatureBytes sig = Sig(NEW, 1).Record("\\last.txt", 9);
    FileRecord expected = {"\\last.txt", DetailsFor(9), 0, {}};
    reinterpret_cast<unsigned char*>(&expected)[sizeof expected - 1] = 0;
    Loaded inDetails = Read(sig.Bytes(1));
    EXPECT_EQ(std::memcmp(&inDetails.records[1], &expected, sizeof expected), 0);
    EXPECT_STREQ(Read(sig.Bytes(36 + 5)).records[1].path, "\\las");
    // A layout-0 record cut short gets its NUL inside its field.
    FileRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    Loaded legacy = Read(Sig(OLD, 1).Raw(&unterminated, LEGACY_RECORD_SIZE).Bytes(10));
    ASSERT_EQ(legacy.error, LoadError::None);
    EXPECT_EQ(std::strlen(legacy.records[1].path), 299u);

    // A short read before the end is an error, not the end.
    const Bytes current = Sig(NEW, 3).Bytes(), old = Sig(OLD, 2).Bytes();
    FailingSource inRecord(current, CURRENT_RECORDS_OFFSET + 50), inLength(current, CURRENT_RECORDS_OFFSET + 2);
    FailingSource inLegacy(old, LEGACY_RECORDS_OFFSET + 400);
    EXPECT_EQ(Read(inRecord).error, LoadError::Record);
    EXPECT_EQ(Read(inLength).error, LoadError::Record);
    EXPECT_EQ(Read(inLegacy).error, LoadError::LegacyRecord);
}

TEST(SignatureWrite, EachFailureIsToldByThePartItStruck)
{
    SignatureHeader header{};
    DirectoryList list{};
    FileRecord records[3] = {{"\\a", {}, 0, {}}, {"\\b", {}, 0, {}}, {}};
    const struct { size_t goodBytes; SaveError expected; } cases[] = {
        {0, SaveError::Header}, {335, SaveError::Header}, {336, SaveError::DirectoryList},
        {8263, SaveError::DirectoryList}, {8264, SaveError::Records}, {8264 + 42 + 41, SaveError::Records},
        {8264 + 42 + 42, SaveError::None},
    };
    for (const auto& c : cases) {
        for (bool onFlush : {false, true}) {
            FailingSink sink(c.goodBytes, onFlush);
            EXPECT_EQ(WriteSignature(sink, header, list, records, 3), c.expected) << c.goodBytes << " " << onFlush;
        }
    }
}

// Through the shared state: a full table, far beyond the old 50,000-record
// cap, whatever the header counts; one more is refused; a legacy file saved
// again has both options off; saving stops at the first empty slot and
// leaves the state's name alone (the Windows side renames it once the file
// is in place).
TEST(SignatureState, FullTablesRoundTripAndLegacyFilesSaveAsTheCurrentLayout)
{
    auto save = [](const char* title) {
        MemorySink sink;
        EXPECT_EQ(SaveSignatureStream(sink, title), SaveError::None);
        return sink.bytes();
    };
    auto load = [](const Bytes& bytes) {  // through a real file, as the program reads one
        std::FILE* file = std::fopen("signature_stream_test.sig", "wb");
        std::fclose((std::fwrite(bytes.data(), 1, bytes.size(), file), file));
        FileSource source(file = std::fopen("signature_stream_test.sig", "rb"));
        LoadError error = LoadSignatureStream(source, "loaded.sig");
        std::fclose(file), std::remove("signature_stream_test.sig");
        return error;
    };
    ResetSignature(nullptr);
    for (int i = 0; i < MAX_FILES; ++i) {
        std::snprintf(appState.LoadedTable[i].path, RECORD_PATH_SIZE, "\\d\\%06d.bin", i);
        appState.LoadedTable[i].details = DetailsFor(static_cast<uint32_t>(i));
    }
    appState.directoryList.calculateChecksums = 1;
    Bytes bytes = save("full.sig");
    EXPECT_STREQ(appState.header.name, "No signature loaded");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(save(std::string(300, 't').c_str()).data()) + 50), std::string(257, 't'));
    std::memset(appState.LoadedTable, 0, sizeof appState.LoadedTable);
    ASSERT_EQ(load(bytes), LoadError::None);
    EXPECT_STREQ(appState.header.name, "loaded.sig");
    EXPECT_EQ(appState.calculateChecksums, 1);
    FileRecord last = {"\\d\\099999.bin", DetailsFor(MAX_FILES - 1), 0, {}}, first = {"C:\\old\\a", DetailsFor(1), 0, {}};
    EXPECT_EQ(std::memcmp(&appState.LoadedTable[MAX_FILES - 1], &last, sizeof last), 0);
    Bytes more = SignatureBytes(NEW).Record("\\x").Bytes();
    bytes.insert(bytes.end(), more.begin() + CURRENT_RECORDS_OFFSET, more.end());
    EXPECT_EQ(load(bytes), LoadError::Record);

    // Layout 0 says "drive letter included" with a zero and has no checksum
    // option, so that one stays as it was; its directories move over, with
    // the options in force, so that saving it again keeps them.
    SignatureBytes legacy(OLD);  // its flag 1: no drive letter
    legacy.legacy = {2, {"C:\\old", "C:\\old\\skip"}, {Include, Exclude}};
    ASSERT_EQ(load(legacy.Bytes()), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    legacy.header.legacyDriveLetterFlag = 0;
    ASSERT_EQ(load(legacy.Record("C:\\old\\a", 1).Record("C:\\old\\b", 2).Bytes()), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter + appState.calculateChecksums, 2);
    DirectoryList list{2, 1, 1, {"C:\\old", "C:\\old\\skip"}, DIGEST_NONE, 0, {Include, Exclude}};
    EXPECT_EQ(std::memcmp(&appState.directoryList, &list, sizeof list), 0);
    appState.LoadedTable[1].path[0] = '\0';
    bytes = save("again.sig");
    EXPECT_EQ(bytes.size(), CURRENT_RECORDS_OFFSET + 4 + 8 + 36);
    ASSERT_EQ(load(bytes), LoadError::None);
    EXPECT_EQ(appState.header.layoutVersion, NEW);
    EXPECT_EQ(appState.includeDriveLetter + appState.calculateChecksums, 2);
    EXPECT_EQ(std::memcmp(&appState.LoadedTable[0], &first, sizeof first), 0);
    EXPECT_EQ(appState.LoadedTable[1].path[0] + appState.LoadedTable[1].details.size, 0u);  // nothing left
}

// Layout 2 turns checksums and SHA-256 on and keeps every digest: saved,
// loaded and saved again, it comes out byte for byte as it went in.
TEST(SignatureState, Layout2RoundTripsByteForByte)
{
    auto roundTrip = [](const Bytes& bytes) {
        MemorySource source(bytes.data(), bytes.size());
        EXPECT_EQ(LoadSignatureStream(source, "stored name"), LoadError::None);
        MemorySink sink;
        EXPECT_EQ(SaveSignatureStream(sink, "stored name"), SaveError::None);
        return sink.bytes();
    };
    ResetSignature(nullptr);
    const Bytes bytes = Sig(SHA, 3, 0).Bytes();
    EXPECT_EQ(roundTrip(bytes), bytes);
    EXPECT_EQ(appState.calculateChecksums + appState.useSha256, 2);
    EXPECT_EQ(appState.LoadedTable[1].hasDigest + appState.LoadedTable[1].digest[DIGEST_SIZE - 1], 2);
    EXPECT_EQ(roundTrip(roundTrip(bytes)), bytes);
}
