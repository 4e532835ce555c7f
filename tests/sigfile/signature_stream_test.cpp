#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "model/path_order.h"
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
    // A record of layouts 1 to 3 with any stated length and path bytes; with
    // digests, a digest of n's bytes (hasDigest 1 for odd n).
    SignatureBytes& RawRecord(int32_t length, const std::string& path, uint32_t n = 0, uint8_t hasDigest = 2)
    {
        FileDetails details = DetailsFor(n);
        Raw(&length, sizeof length).Raw(path.data(), path.size()).Raw(&details, sizeof details);
        if (header.digestKind == DIGEST_NONE) return *this;
        unsigned char digest[1 + DIGEST_SIZE] = {static_cast<uint8_t>(hasDigest == 2 ? n % 2 : hasDigest)};
        std::memset(digest + 1, digest[0] * static_cast<int>(n), DIGEST_SIZE);
        return Raw(digest, sizeof digest);
    }
    // A well-formed record of the layout.
    SignatureBytes& Record(const std::string& path, uint32_t n = 0)
    {
        if (header.layoutVersion != LAYOUT_LEGACY) return RawRecord(static_cast<int32_t>(path.size()), path, n);
        LegacyRecord record = {};
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

// A small limit, so that the rows reach it.
constexpr int CAPACITY = 4;

struct Loaded {
    SignatureHeader header{};
    DirectoryList list{};
    RecordTable records;
    SignatureTarget target{&header, &list, &records, CAPACITY, 0, 0, 0};
    LoadError error = LoadError::None;
};

// Reads into a table that holds an earlier signature's records.
std::unique_ptr<Loaded> Read(ByteSource& source)
{
    auto out = std::make_unique<Loaded>();
    for (const char* path : {"\\earlier\\1", "\\earlier\\2", "\\earlier\\3"}) out->records.Append(path, 10, {});
    out->error = ReadSignature(source, "title.sig", out->target);
    return out;
}

std::unique_ptr<Loaded> Read(const Bytes& bytes)
{
    MemorySource source(bytes.data(), bytes.size());
    return Read(source);
}

// Delivers some bytes, then falls short before the end, as an I/O error does.
struct FailingSource : MemorySource {
    FailingSource(const Bytes& bytes, size_t goodBytes) : MemorySource(bytes.data(), goodBytes) {}
    bool AtEnd() const override { return false; }
};

// Takes some bytes, then refuses at once or only when flushed (a full disk).
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

constexpr uint8_t OLD = LAYOUT_LEGACY, NEW = LAYOUT_CURRENT, SHA = LAYOUT_DIGESTS, BIG = LAYOUT_LARGE;

// Layout 3 takes its digest kind from the caller, as the writer sets it.
SignatureBytes Sig(uint8_t layout, int records, int32_t directoryCount = 0, uint8_t digestKind = DIGEST_NONE)
{
    SignatureBytes sig(layout);
    (layout == LAYOUT_LEGACY ? sig.legacy.count : sig.list.count) = directoryCount;
    if (layout == BIG) sig.header.digestKind = sig.list.digestKind = digestKind;
    for (int i = 0; i < records; ++i) sig.Record("\\dir\\f" + std::to_string(i), static_cast<uint32_t>(i));
    return sig;
}

}  // namespace

// Every row is also a seed file for the fuzzer, written to OLVARIN_FUZZ_SEEDS.
TEST(SignatureRead, EachDamageGivesItsErrorAtItsBoundary)
{
    const Bytes good = Sig(NEW, 0).Bytes();
    LegacyRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    const LegacyRecord empty{};
    const std::string p299(299, 'p'), p300(300, 'p');
    using E = LoadError;
    const struct { const char* what; std::function<Bytes()> bytes; LoadError expected; } cases[] = {
        {"empty file", [] { return Bytes{}; }, E::HeaderShort},
        {"header one byte short", [&] { return Bytes(good.begin(), good.begin() + 335); }, E::HeaderShort},
        {"magic", [&] { Bytes b = good; b[0] ^= 1; return b; }, E::BadMagic},
        {"magic's NUL", [&] { Bytes b = good; b[MAGIC_SIZE - 1] = 'x'; return b; }, E::BadMagic},
        {"layout 4", [] { return SignatureBytes(4).Bytes(); }, E::UnknownLayout},
        {"layout 3, digest kind unknown", [] { return Sig(BIG, 0, 0, 2).Bytes(); }, E::UnknownLayout},
        {"layout 3, list disagrees", [] { SignatureBytes s = Sig(BIG, 0, 0, 1); s.list.digestKind = 0; return s.Bytes(); }, E::CorruptDirectories},
        {"layout 3, one record too many", [] { return Sig(BIG, CAPACITY + 1, 0, 1).Bytes(); }, E::Record},
        {"layout 2, digest kind unknown", [] { SignatureBytes s(SHA); s.header.digestKind = 2; return s.Bytes(); }, E::UnknownLayout},
        {"layout 2, list says no digests", [] { SignatureBytes s(SHA); s.list.digestKind = 0; return s.Bytes(); }, E::CorruptDirectories},
        {"layout 2, digest flag 2", [] { return Sig(SHA, 1).RawRecord(2, "\\x", 0, 2 + 1).Record("\\z").Bytes(); }, E::Record},
        {"layout 2, ends in digest", [] { return Sig(SHA, 2).Bytes(1); }, E::None},
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
        {"unused slot without NUL", [] { SignatureBytes s(NEW); std::memset(s.list.paths[29], 'a', DIRECTORY_PATH_SIZE);
                                         return s.Bytes(); }, E::CorruptDirectories},
        {"unused legacy slot without NUL", [] { SignatureBytes s = Sig(OLD, 0, 1);
                                                std::memset(s.legacy.paths[5], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); }, E::None},
        {"used legacy slot without NUL", [] { SignatureBytes s = Sig(OLD, 0, 2);
                                              std::memset(s.legacy.paths[0], 'a', DIRECTORY_PATH_SIZE); return s.Bytes(); },
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
        {"legacy path without NUL", [&] { return Sig(OLD, 1).Raw(&unterminated, LEGACY_RECORD_SIZE).Bytes(); }, E::LegacyRecord},
        {"legacy empty path hiding records", [&] { return Sig(OLD, 1).Raw(&empty, LEGACY_RECORD_SIZE).Record("\\hidden").Bytes(); },
         E::LegacyRecord},
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
        EXPECT_EQ(Read(bytes)->error, c.expected) << c.what;
        if (seeds != nullptr)
            std::ofstream(std::string(seeds) + "/row" + std::to_string(row++) + ".sig", std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
}

// Nothing of the earlier signature survives; a digest cut short is none.
TEST(SignatureRead, ARecordCutShortByTheEndKeepsWhatArrivedButAReadErrorFails)
{
    SignatureBytes sig = Sig(NEW, 1).Record("\\last.txt", 9);
    auto inDetails = Read(sig.Bytes(1));
    ASSERT_EQ(inDetails->records.Count(), 2);
    FileRecord last = inDetails->records.Get(1), expected = {"\\last.txt", DetailsFor(9), 0, {}};
    reinterpret_cast<unsigned char*>(&expected.details)[DETAILS_SIZE - 1] = 0;
    EXPECT_EQ(std::memcmp(&last, &expected, sizeof expected), 0);
    EXPECT_STREQ(Read(sig.Bytes(36 + 5))->records.Get(1).path, "\\las");
    for (size_t cut : {0, 1, DIGEST_SIZE, DIGEST_SIZE + 1}) {
        auto digest = Read(Sig(SHA, 2).Bytes(cut));
        EXPECT_EQ(digest->records.Count(), 2);
        EXPECT_EQ(digest->records.HasDigest(1), cut == 0) << cut;
    }
    // A layout-0 record cut short gets its end inside its field.
    LegacyRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    auto legacy = Read(Sig(OLD, 1).Raw(&unterminated, LEGACY_RECORD_SIZE).Bytes(10));
    ASSERT_EQ(legacy->error, LoadError::None);
    EXPECT_EQ(std::strlen(legacy->records.Get(1).path), 299u);

    // A short read before the end is an error, not the end; so are records
    // that memory cannot hold.
    const Bytes current = Sig(NEW, 3).Bytes(), old = Sig(OLD, 2).Bytes();
    FailingSource inRecord(current, CURRENT_RECORDS_OFFSET + 50), inLength(current, CURRENT_RECORDS_OFFSET + 2),
        inLegacy(old, LEGACY_RECORDS_OFFSET + 400);
    EXPECT_EQ(Read(inRecord)->error, LoadError::Record);
    EXPECT_EQ(Read(inLength)->error, LoadError::Record);
    EXPECT_EQ(Read(inLegacy)->error, LoadError::LegacyRecord);
    Loaded starved;
    MemorySource source(current.data(), current.size());
    starved.records.SetMemoryLimit(1);
    EXPECT_EQ(ReadSignature(source, "title.sig", starved.target), LoadError::OutOfMemory);
}

// Records out of path order are put in order as they load, digests with
// them; records of one path keep the file's order.
TEST(SignatureRead, RecordsOutOfPathOrderArePutInOrderKeepingEqualPathsAsStored)
{
    SignatureBytes sig(SHA);
    auto loaded = Read(sig.Record("\\b", 1).Record("\\A", 2).Record("\\a", 3).Record("\\c", 4).Bytes());
    ASSERT_EQ(loaded->error, LoadError::None);
    std::string order;
    for (int32_t i = 0; i < loaded->records.Count(); ++i) {
        const FileRecord r = loaded->records.Get(i);
        order += std::string(r.path) + std::to_string(r.details.checksum ^ 0xC0DE0000u) + std::to_string(r.digest[0]) + " ";
    }
    EXPECT_EQ(order, "\\A20 \\a33 \\b11 \\c40 ");
}

TEST(SignatureWrite, EachFailureIsToldByThePartItStruck)
{
    SignatureHeader header{};
    DirectoryList list{};
    RecordTable records;
    records.Append("\\a", 2, {}), records.Append("\\b", 2, {});
    const struct { size_t goodBytes; SaveError expected; } cases[] = {
        {0, SaveError::Header}, {335, SaveError::Header}, {336, SaveError::DirectoryList},
        {8263, SaveError::DirectoryList}, {8264, SaveError::Records}, {8264 + 42 + 41, SaveError::Records},
        {8264 + 42 + 42, SaveError::None},
    };
    for (const auto& c : cases) {
        for (bool onFlush : {false, true}) {
            FailingSink sink(c.goodBytes, onFlush);
            EXPECT_EQ(WriteSignature(sink, header, list, records), c.expected) << c.goodBytes << " " << onFlush;
        }
    }
}

namespace {

Bytes Save(AppState& appState, const char* title)
{
    MemorySink sink;
    EXPECT_EQ(SaveSignatureStream(appState, sink, title), SaveError::None);
    return sink.bytes();
}

LoadError Load(AppState& appState, const Bytes& bytes)  // through a real file, as the program reads one
{
    std::FILE* file = std::fopen("signature_stream_test.sig", "wb");
    std::fclose((std::fwrite(bytes.data(), 1, bytes.size(), file), file));
    FileSource source(file = std::fopen("signature_stream_test.sig", "rb"));
    LoadError error = LoadSignatureStream(appState, source, "loaded.sig");
    std::fclose(file), std::remove("signature_stream_test.sig");
    return error;
}

}  // namespace

// Through the signature state: a legacy file saved again keeps the options as
// loaded, and a save leaves the state's name alone (the caller renames once
// the file is in place). After a failed load a save writes no old record.
TEST(SignatureState, LegacyFilesSaveAsTheCurrentLayoutAndAFailedLoadLeavesNoRecord)
{
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    ResetSignature(appState);
    // Layout 0 says "drive letter included" with a zero and has no checksum
    // option, so that one stays as it was; its directories move over, with
    // the options in force, so that saving it again keeps them.
    SignatureBytes legacy(OLD);  // its flag 1: no drive letter
    legacy.legacy = {2, {"C:\\old", "C:\\old\\skip"}, {Include, Exclude}};
    ASSERT_EQ(Load(appState, legacy.Bytes()), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    legacy.header.legacyDriveLetterFlag = 0;
    appState.calculateChecksums = 1;
    ASSERT_EQ(Load(appState, legacy.Record("C:\\old\\a", 1).Bytes()), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter + appState.calculateChecksums, 2);
    DirectoryList list{2, 1, 1, {"C:\\old", "C:\\old\\skip"}, DIGEST_NONE, 0, {Include, Exclude}};
    EXPECT_EQ(std::memcmp(&appState.directoryList, &list, sizeof list), 0);
    FileRecord first = {"C:\\old\\a", DetailsFor(1), 0, {}}, loaded = appState.LoadedTable.Get(0);
    EXPECT_EQ(std::memcmp(&loaded, &first, sizeof first), 0);
    const Bytes bytes = Save(appState, "again.sig");
    EXPECT_STREQ(appState.header.name, "loaded.sig");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Save(appState, std::string(300, 't').c_str()).data()) + 50), std::string(257, 't'));
    EXPECT_EQ(bytes.size(), CURRENT_RECORDS_OFFSET + 4 + 8 + 36);
    EXPECT_EQ(bytes[offsetof(SignatureHeader, layoutVersion)], NEW);

    ASSERT_EQ(Load(appState, Sig(NEW, 0, 31).Bytes()), LoadError::CorruptDirectories);
    ResetSignature(appState);
    EXPECT_EQ(Save(appState, "after.sig").size(), CURRENT_RECORDS_OFFSET);
}

// Up to 100,000 records a signature is saved in layout 1 or 2 as always;
// past that in layout 3, which older copies refuse as too new (03) instead of
// calling the rest damage. Each comes back byte for byte, digests included.
TEST(SignatureState, LayoutsRoundTripByteForByteAndLayout3OnlyPastTheClassicLimit)
{
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    ResetSignature(appState);
    for (int records : {3, MAX_CLASSIC_FILES, MAX_CLASSIC_FILES + 1}) {
        for (uint8_t digests : {0, 1}) {
            SignatureBytes sig = records > MAX_CLASSIC_FILES ? Sig(BIG, 0, 0, digests) : SignatureBytes(digests ? SHA : NEW);
            // Folders shared and not, no folder at all, and the longest paths, in bytes of the code
            // page; in path order, as a save writes them.
            std::vector<std::pair<std::string, int>> paths;
            for (int i = 0; i < records; ++i)
                paths.emplace_back(i % 7 == 0 ? std::to_string(i) : i % 7 == 1 ? ("\\caf\xE9\\" + std::string(290, '\xFF') + std::to_string(i)).substr(0, 299)
                                                : "\\d" + std::to_string(i % 50) + "\\f" + std::to_string(i), i);
            std::sort(paths.begin(), paths.end(), [](const auto& a, const auto& b) { return ComparePathTexts(a.first.c_str(), b.first.c_str()) < 0; });
            for (const auto& path : paths) sig.Record(path.first, path.second);
            const Bytes bytes = sig.Bytes();
            MemorySource source(bytes.data(), bytes.size());
            ASSERT_EQ(LoadSignatureStream(appState, source, "stored name"), LoadError::None);
            EXPECT_EQ(appState.calculateChecksums + appState.useSha256, digests ? 2 : 0);
            EXPECT_EQ(Save(appState, "stored name"), bytes) << records << " " << int{digests};
            EXPECT_EQ(bytes[offsetof(SignatureHeader, layoutVersion)],
                      records > MAX_CLASSIC_FILES ? BIG : digests ? SHA : NEW);
        }
    }
    for (int32_t i : {0, 1, 2}) EXPECT_EQ(appState.LoadedTable.HasDigest(i), (appState.LoadedTable.Details(i).checksum & 1) == 1);
}
