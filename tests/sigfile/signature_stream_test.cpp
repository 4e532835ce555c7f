#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "sigfile/signature_stream.h"
#include "support/signature_bytes.h"

namespace {

// A small table with one guard slot behind it, so a test sees any write past
// the slots the reader was given.
constexpr int CAPACITY = 4;

struct Loaded {
    SignatureHeader header{};
    DirectoryList list{};
    FileRecord records[CAPACITY + 1]{};
    int32_t includeDriveLetter = 0;
    int32_t calculateChecksums = 0;
    LoadError error = LoadError::None;

    Loaded()
    {
        // What an earlier signature would have left behind.
        for (FileRecord& r : records) {
            std::memset(&r, 0x5A, sizeof r);
            r.path[RECORD_PATH_SIZE - 1] = '\0';
        }
        std::memset(&list, 0x5A, sizeof list);
    }

    bool GuardUntouched() const
    {
        const unsigned char* guard = reinterpret_cast<const unsigned char*>(&records[CAPACITY]);
        for (size_t i = 0; i < sizeof(FileRecord); ++i) {
            if (i == RECORD_PATH_SIZE - 1) continue;
            if (guard[i] != 0x5A) return false;
        }
        return true;
    }
};

Loaded Read(ByteSource& source, int32_t includeDriveLetter = 0, int32_t calculateChecksums = 0)
{
    Loaded out;
    SignatureTarget target = {&out.header,   &out.list,          out.records,
                              CAPACITY,      includeDriveLetter, calculateChecksums};
    out.error = ReadSignature(source, "title.sig", target);
    out.includeDriveLetter = target.includeDriveLetter;
    out.calculateChecksums = target.calculateChecksums;
    EXPECT_TRUE(out.GuardUntouched()) << "a record was written past the table";
    return out;
}

Loaded Read(const std::vector<unsigned char>& bytes, int32_t includeDriveLetter = 0,
            int32_t calculateChecksums = 0)
{
    MemorySource source(bytes.data(), bytes.size());
    return Read(source, includeDriveLetter, calculateChecksums);
}

LoadError ErrorOf(const std::vector<unsigned char>& bytes)
{
    return Read(bytes).error;
}

// A source that stops delivering after a number of bytes without reaching
// the end: what an I/O error looks like through stdio.
class FailingSource : public ByteSource {
public:
    FailingSource(const std::vector<unsigned char>& bytes, size_t goodBytes)
        : inner_(bytes.data(), bytes.size()), left_(goodBytes)
    {
    }
    size_t Read(void* buffer, size_t size) override
    {
        size_t n = size < left_ ? size : left_;
        size_t got = inner_.Read(buffer, n);
        left_ -= got;
        return got;
    }
    bool AtEnd() const override { return false; }

private:
    MemorySource inner_;
    size_t left_;
};

// A sink that takes a number of bytes and then refuses, either at once or
// only when flushed (as a buffered file on a full disk would).
class FailingSink : public ByteSink {
public:
    FailingSink(size_t goodBytes, bool failOnFlush) : left_(goodBytes), failOnFlush_(failOnFlush) {}
    size_t Write(const void*, size_t size) override
    {
        if (size <= left_) {
            left_ -= size;
            return size;
        }
        if (failOnFlush_) {
            overflowed_ = true;
            return size;
        }
        size_t n = left_;
        left_ = 0;
        return n;
    }
    bool Flush() override { return !overflowed_; }

private:
    size_t left_;
    bool failOnFlush_;
    bool overflowed_ = false;
};

SignatureBytes CurrentWithRecords(int count)
{
    SignatureBytes sig(LAYOUT_CURRENT);
    for (int i = 0; i < count; ++i) {
        sig.Record("\\dir\\file" + std::to_string(i) + ".txt", static_cast<uint32_t>(i));
    }
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
    FileRecord empty{};
    return std::memcmp(&record, &empty, sizeof empty) == 0;
}

}  // namespace

TEST(SignatureRead, CurrentLayoutLoadsEverythingItHolds)
{
    SignatureBytes sig(LAYOUT_CURRENT);
    sig.header.directoryCount = 12;
    sig.header.fileCount = 3;
    sig.header.totalBytes = 123456789012345;
    sig.header.reserved1[3] = 0x77;
    sig.list.includeDriveLetter = 1;
    sig.list.calculateChecksums = 0xFF;  // any non-zero byte is on
    sig.list.reserved[1] = 0x42;
    sig.Directory("C:\\data", Include).Directory("C:\\data\\tmp", Exclude);
    sig.Record("\\data\\a.txt", 1).Record("\\data\\b.txt", 2);

    Loaded got = Read(sig.Bytes());
    ASSERT_EQ(got.error, LoadError::None);
    EXPECT_STREQ(got.header.name, "title.sig");
    EXPECT_EQ(got.header.directoryCount, 12);
    EXPECT_EQ(got.header.fileCount, 3);
    EXPECT_EQ(got.header.totalBytes, 123456789012345);
    EXPECT_EQ(got.header.reserved1[3], 0x77);
    EXPECT_EQ(std::memcmp(&got.list, &sig.list, sizeof sig.list), 0);
    EXPECT_EQ(got.includeDriveLetter, 1);
    EXPECT_NE(got.calculateChecksums, 0);
    ExpectRecord(got.records[0], "\\data\\a.txt", 1);
    ExpectRecord(got.records[1], "\\data\\b.txt", 2);
    // Nothing of the earlier signature survives after the file's records.
    EXPECT_TRUE(SlotEmpty(got.records[2]));
    EXPECT_TRUE(SlotEmpty(got.records[3]));
}

TEST(SignatureRead, HeaderErrorsAtTheirBoundaries)
{
    std::vector<unsigned char> good = SignatureBytes(LAYOUT_CURRENT).Bytes();
    EXPECT_EQ(ErrorOf(std::vector<unsigned char>(good.begin(), good.begin() + 335)), LoadError::HeaderShort);
    EXPECT_EQ(ErrorOf({}), LoadError::HeaderShort);

    std::vector<unsigned char> bad = good;
    bad[0] ^= 1;
    EXPECT_EQ(ErrorOf(bad), LoadError::BadMagic);
    bad = good;
    bad[MAGIC_SIZE - 1] = 'x';  // the magic's NUL is compared too
    EXPECT_EQ(ErrorOf(bad), LoadError::BadMagic);

    for (uint8_t layout : {2, 255}) {
        SignatureBytes newer(layout);
        EXPECT_EQ(ErrorOf(newer.Bytes()), LoadError::UnknownLayout) << int(layout);
    }
}

TEST(SignatureRead, DirectoryBlockShortInEitherLayout)
{
    EXPECT_EQ(ErrorOf(SignatureBytes(LAYOUT_CURRENT).Bytes(1)), LoadError::DirectoriesShort);
    EXPECT_EQ(ErrorOf(SignatureBytes(LAYOUT_LEGACY).Bytes(1)), LoadError::LegacyDirectoriesShort);
    EXPECT_EQ(ErrorOf(SignatureBytes(LAYOUT_CURRENT).Bytes()), LoadError::None);
    EXPECT_EQ(ErrorOf(SignatureBytes(LAYOUT_LEGACY).Bytes()), LoadError::None);
    EXPECT_EQ(SignatureBytes(LAYOUT_CURRENT).Bytes().size(), 8264u);
    EXPECT_EQ(SignatureBytes(LAYOUT_LEGACY).Bytes().size(), 2980u);
}

TEST(SignatureRead, DirectoryCountsOutsideTheBlockAreCorrupt)
{
    struct Case {
        uint8_t layout;
        int32_t count;
        LoadError expected;
    } cases[] = {
        {LAYOUT_CURRENT, 30, LoadError::None},
        {LAYOUT_CURRENT, 31, LoadError::CorruptDirectories},
        {LAYOUT_CURRENT, -1, LoadError::CorruptDirectories},
        {LAYOUT_LEGACY, 10, LoadError::None},
        {LAYOUT_LEGACY, 11, LoadError::CorruptDirectories},
        {LAYOUT_LEGACY, 30, LoadError::CorruptDirectories},
        {LAYOUT_LEGACY, -1, LoadError::CorruptDirectories},
    };
    for (const Case& c : cases) {
        SignatureBytes sig(c.layout);
        (c.layout == LAYOUT_LEGACY ? sig.legacy.count : sig.list.count) = c.count;
        EXPECT_EQ(ErrorOf(sig.Bytes()), c.expected) << "layout " << int(c.layout) << " count " << c.count;
    }
}

TEST(SignatureRead, DirectoryPathWithoutItsNulIsCorrupt)
{
    // Layout 1 copies every slot, so even an unused one must end.
    SignatureBytes current(LAYOUT_CURRENT);
    std::memset(current.list.paths[29], 'a', DIRECTORY_PATH_SIZE);
    EXPECT_EQ(ErrorOf(current.Bytes()), LoadError::CorruptDirectories);
    current.list.paths[29][DIRECTORY_PATH_SIZE - 1] = '\0';
    EXPECT_EQ(ErrorOf(current.Bytes()), LoadError::None);

    // Layout 0 copies only the used slots.
    SignatureBytes legacy(LAYOUT_LEGACY);
    legacy.Directory("C:\\a", Include).Directory("C:\\b", Include);
    std::memset(legacy.legacy.paths[5], 'a', DIRECTORY_PATH_SIZE);
    EXPECT_EQ(ErrorOf(legacy.Bytes()), LoadError::None);
    std::memset(legacy.legacy.paths[1], 'a', DIRECTORY_PATH_SIZE);
    EXPECT_EQ(ErrorOf(legacy.Bytes()), LoadError::CorruptDirectories);
}

TEST(SignatureRead, PathLengthBoundaries)
{
    std::string longest(299, 'p');
    Loaded got = Read(CurrentWithRecords(0).RawRecord(299, longest, 5).Bytes());
    ASSERT_EQ(got.error, LoadError::None);
    EXPECT_EQ(std::strlen(got.records[0].path), 299u);
    EXPECT_EQ(got.records[0].path[299], '\0');

    EXPECT_EQ(ErrorOf(CurrentWithRecords(1).RawRecord(300, std::string(300, 'p')).Bytes()),
              LoadError::BadPathLength);
    EXPECT_EQ(ErrorOf(CurrentWithRecords(1).RawRecord(-1, "").Bytes()), LoadError::BadPathLength);
    EXPECT_EQ(ErrorOf(CurrentWithRecords(1).RawRecord(INT32_MIN, "").Bytes()), LoadError::BadPathLength);
}

TEST(SignatureRead, EmptyPathIsAnErrorUnlessTheFileEndsInsideItsRecord)
{
    // In the middle and as the last record of the file.
    EXPECT_EQ(ErrorOf(CurrentWithRecords(1).RawRecord(0, "").Record("\\z").Bytes()), LoadError::Record);
    EXPECT_EQ(ErrorOf(CurrentWithRecords(1).RawRecord(0, "").Bytes()), LoadError::Record);
    // A path of NULs reads as an empty slot just the same.
    EXPECT_EQ(ErrorOf(CurrentWithRecords(1).RawRecord(3, std::string(3, '\0')).Bytes()), LoadError::Record);

    Loaded cut = Read(CurrentWithRecords(1).RawRecord(0, "").Bytes(1));
    EXPECT_EQ(cut.error, LoadError::None);
    ExpectRecord(cut.records[0], "\\dir\\file0.txt", 0);
    EXPECT_EQ(cut.records[1].path[0], '\0');
}

TEST(SignatureRead, FileEndingInsideARecordLoadsWhatArrived)
{
    SignatureBytes sig = CurrentWithRecords(1).Record("\\last.txt", 9);
    const size_t lastRecord = 4 + 9 + 36;
    // Inside the details, inside the path, inside the length.
    for (size_t cut : {size_t(1), size_t(36), size_t(36 + 5), lastRecord - 2}) {
        Loaded got = Read(sig.Bytes(cut));
        ASSERT_EQ(got.error, LoadError::None) << "cut " << cut;
        ExpectRecord(got.records[0], "\\dir\\file0.txt", 0);
    }
    Loaded inDetails = Read(sig.Bytes(1));
    EXPECT_STREQ(inDetails.records[1].path, "\\last.txt");
    FileDetails expected = DetailsFor(9);
    EXPECT_EQ(std::memcmp(&inDetails.records[1].details, &expected, 35), 0);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&inDetails.records[1].details)[35], 0);

    Loaded inPath = Read(sig.Bytes(36 + 5));
    EXPECT_STREQ(inPath.records[1].path, "\\las");
}

TEST(SignatureRead, ShortReadBeforeTheEndIsARecordError)
{
    std::vector<unsigned char> current = CurrentWithRecords(3).Bytes();
    FailingSource failCurrent(current, CURRENT_RECORDS_OFFSET + 50);
    EXPECT_EQ(Read(failCurrent).error, LoadError::Record);
    FailingSource failInLength(current, CURRENT_RECORDS_OFFSET + 2);
    EXPECT_EQ(Read(failInLength).error, LoadError::Record);

    SignatureBytes legacy(LAYOUT_LEGACY);
    legacy.Record("\\a", 1).Record("\\b", 2);
    std::vector<unsigned char> bytes = legacy.Bytes();
    FailingSource failLegacy(bytes, LEGACY_RECORDS_OFFSET + 400);
    EXPECT_EQ(Read(failLegacy).error, LoadError::LegacyRecord);
}

TEST(SignatureRead, LegacyLayoutTakesDirectoriesAndTheDriveLetterFlag)
{
    SignatureBytes sig(LAYOUT_LEGACY);
    sig.header.legacyDriveLetterFlag = 0;
    sig.Directory("C:\\old", Include).Directory("C:\\old\\skip", Exclude);
    sig.Record("C:\\old\\a.txt", 1).Record("C:\\old\\b.txt", 2);

    for (int32_t checksums : {0, 1}) {
        Loaded got = Read(sig.Bytes(), 0, checksums);
        ASSERT_EQ(got.error, LoadError::None);
        EXPECT_EQ(got.header.layoutVersion, LAYOUT_LEGACY);
        EXPECT_EQ(got.includeDriveLetter, 1);
        EXPECT_EQ(got.calculateChecksums, checksums);
        EXPECT_EQ(got.list.count, 2);
        EXPECT_STREQ(got.list.paths[0], "C:\\old");
        EXPECT_STREQ(got.list.paths[1], "C:\\old\\skip");
        EXPECT_EQ(got.list.actions[0], Include);
        EXPECT_EQ(got.list.actions[1], Exclude);
        EXPECT_EQ(got.list.includeDriveLetter, 0);
        EXPECT_EQ(got.list.calculateChecksums, 0);
        EXPECT_EQ(got.list.paths[2][0], '\0');
        ExpectRecord(got.records[0], "C:\\old\\a.txt", 1);
        ExpectRecord(got.records[1], "C:\\old\\b.txt", 2);
        EXPECT_TRUE(SlotEmpty(got.records[2]));
    }

    sig.header.legacyDriveLetterFlag = 1;
    EXPECT_EQ(Read(sig.Bytes(), 1, 0).includeDriveLetter, 0);
}

TEST(SignatureRead, LegacyRecordsThatWouldHideOrOverrunAreRefused)
{
    FileRecord unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    SignatureBytes noNul(LAYOUT_LEGACY);
    noNul.Record("\\a").Raw(&unterminated, sizeof unterminated);
    EXPECT_EQ(ErrorOf(noNul.Bytes()), LoadError::LegacyRecord);

    FileRecord empty{};
    SignatureBytes emptyPath(LAYOUT_LEGACY);
    emptyPath.Record("\\a").Raw(&empty, sizeof empty).Record("\\hidden");
    EXPECT_EQ(ErrorOf(emptyPath.Bytes()), LoadError::LegacyRecord);

    // Cut short by the end of the file: the bytes stay, and the path gets
    // its NUL inside its field.
    Loaded cut = Read(noNul.Bytes(10));
    ASSERT_EQ(cut.error, LoadError::None);
    EXPECT_EQ(std::strlen(cut.records[1].path), 299u);
    EXPECT_EQ(cut.records[1].details.attributes, 0x78787878u);
}

TEST(SignatureRead, MoreRecordsThanTheTableHoldsAreRefused)
{
    Loaded full = Read(CurrentWithRecords(CAPACITY).Bytes());
    EXPECT_EQ(full.error, LoadError::None);
    ExpectRecord(full.records[CAPACITY - 1], "\\dir\\file3.txt", 3);
    EXPECT_EQ(ErrorOf(CurrentWithRecords(CAPACITY + 1).Bytes()), LoadError::Record);
    // A length cut short at the end is no record, as anywhere else.
    EXPECT_EQ(ErrorOf(CurrentWithRecords(CAPACITY).Raw("\x05\x00", 2).Bytes()), LoadError::None);

    SignatureBytes legacy(LAYOUT_LEGACY);
    for (int i = 0; i < CAPACITY; ++i) legacy.Record("\\f" + std::to_string(i), i);
    EXPECT_EQ(ErrorOf(legacy.Bytes()), LoadError::None);
    legacy.Raw("\\", 1);
    EXPECT_EQ(ErrorOf(legacy.Bytes()), LoadError::LegacyRecord);
}

TEST(SignatureWrite, RecordsAreLaidOutByteForByte)
{
    SignatureHeader header{};
    std::memcpy(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
    DirectoryList list{};
    FileRecord records[2]{};
    std::strcpy(records[0].path, "\\ab");
    records[0].details = DetailsFor(4);

    MemorySink sink;
    ASSERT_EQ(WriteSignature(sink, header, list, records, 2), SaveError::None);
    const std::vector<unsigned char>& bytes = sink.bytes();
    ASSERT_EQ(bytes.size(), 8264u + 4 + 3 + 36);
    EXPECT_EQ(std::memcmp(bytes.data(), &header, sizeof header), 0);
    const unsigned char* record = bytes.data() + 8264;
    const unsigned char expectedStart[] = {3, 0, 0, 0, '\\', 'a', 'b'};
    EXPECT_EQ(std::memcmp(record, expectedStart, sizeof expectedStart), 0);
    EXPECT_EQ(std::memcmp(record + 7, &records[0].details, 36), 0);
}

TEST(SignatureWrite, EachFailureIsToldByThePartItStruck)
{
    SignatureHeader header{};
    DirectoryList list{};
    FileRecord records[3]{};
    std::strcpy(records[0].path, "\\a");
    std::strcpy(records[1].path, "\\b");

    struct Case {
        size_t goodBytes;
        SaveError expected;
    } cases[] = {
        {0, SaveError::Header},
        {335, SaveError::Header},
        {336, SaveError::DirectoryList},
        {8263, SaveError::DirectoryList},
        {8264, SaveError::Records},
        {8264 + 42 + 41, SaveError::Records},
        {8264 + 42 + 42, SaveError::None},
    };
    for (const Case& c : cases) {
        for (bool onFlush : {false, true}) {
            FailingSink sink(c.goodBytes, onFlush);
            EXPECT_EQ(WriteSignature(sink, header, list, records, 3), c.expected)
                << c.goodBytes << (onFlush ? " on flush" : "");
        }
    }
}

class SignatureState : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSignature(nullptr);
        std::memset(appState.LoadedTable, 0, sizeof appState.LoadedTable);
    }

    static void FillTable(int count)
    {
        for (int i = 0; i < count; ++i) {
            std::snprintf(appState.LoadedTable[i].path, RECORD_PATH_SIZE, "\\d\\%06d.bin", i);
            appState.LoadedTable[i].details = DetailsFor(static_cast<uint32_t>(i));
        }
    }

    static std::vector<unsigned char> Save(const char* title)
    {
        MemorySink sink;
        EXPECT_EQ(SaveSignatureStream(sink, title), SaveError::None);
        return sink.bytes();
    }

    static LoadError Load(const std::vector<unsigned char>& bytes, const char* title)
    {
        MemorySource source(bytes.data(), bytes.size());
        return LoadSignatureStream(source, title);
    }
};

TEST_F(SignatureState, EmptySignatureIsHeaderAndListOnlyAndLoadsBackEmpty)
{
    std::vector<unsigned char> bytes = Save("empty.sig");
    EXPECT_EQ(bytes.size(), 8264u);
    // Saving leaves the shared state alone; the Windows side renames it once
    // the file is safely in place.
    EXPECT_STREQ(appState.header.name, "No signature loaded");

    FillTable(3);
    ASSERT_EQ(Load(bytes, "empty.sig"), LoadError::None);
    EXPECT_STREQ(appState.header.name, "empty.sig");
    EXPECT_EQ(appState.header.fileCount, 0);
    EXPECT_TRUE(SlotEmpty(appState.LoadedTable[0]));
    EXPECT_TRUE(SlotEmpty(appState.LoadedTable[2]));
}

TEST_F(SignatureState, SaveWritesEveryRecordWhateverTheHeaderCounts)
{
    // More than the old 50,000-record cap, and a header that counts fewer.
    const int count = 60000;
    FillTable(count);
    appState.header.fileCount = 12;
    appState.header.totalBytes = 99;
    appState.directoryList.count = 1;
    appState.directoryList.calculateChecksums = 1;
    std::strcpy(appState.directoryList.paths[0], "C:\\d");
    appState.directoryList.actions[0] = Include;
    std::vector<unsigned char> bytes = Save("big.sig");

    std::memset(appState.LoadedTable, 0, sizeof appState.LoadedTable);
    ResetSignature(nullptr);
    ASSERT_EQ(Load(bytes, "big.sig"), LoadError::None);
    EXPECT_EQ(appState.header.fileCount, 12);
    EXPECT_EQ(appState.header.totalBytes, 99);
    EXPECT_EQ(appState.header.layoutVersion, 1);
    EXPECT_EQ(appState.calculateChecksums, 1);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    EXPECT_STREQ(appState.directoryList.paths[0], "C:\\d");
    ExpectRecord(appState.LoadedTable[0], "\\d\\000000.bin", 0);
    ExpectRecord(appState.LoadedTable[count - 1], "\\d\\059999.bin", count - 1);
    EXPECT_TRUE(SlotEmpty(appState.LoadedTable[count]));
}

TEST_F(SignatureState, SaveStopsAtTheFirstEmptySlot)
{
    FillTable(5);
    appState.LoadedTable[2].path[0] = '\0';
    appState.header.fileCount = 5;
    EXPECT_EQ(Save("gap.sig").size(), 8264u + 2 * (4 + 13 + 36));
}

TEST_F(SignatureState, FullTableRoundTripsAndOneMoreRecordIsRefused)
{
    FillTable(MAX_FILES);
    std::vector<unsigned char> bytes = Save("full.sig");
    ASSERT_EQ(Load(bytes, "full.sig"), LoadError::None);
    ExpectRecord(appState.LoadedTable[MAX_FILES - 1], "\\d\\099999.bin", MAX_FILES - 1);

    FileDetails details{};
    int32_t length = 2;
    bytes.insert(bytes.end(), reinterpret_cast<unsigned char*>(&length),
                 reinterpret_cast<unsigned char*>(&length) + 4);
    bytes.insert(bytes.end(), {'\\', 'x'});
    bytes.insert(bytes.end(), reinterpret_cast<unsigned char*>(&details),
                 reinterpret_cast<unsigned char*>(&details) + sizeof details);
    EXPECT_EQ(Load(bytes, "full.sig"), LoadError::Record);
}

TEST_F(SignatureState, LegacyFileSavedAgainTurnsBothOptionsOff)
{
    SignatureBytes legacy(LAYOUT_LEGACY);
    legacy.header.legacyDriveLetterFlag = 0;
    legacy.Directory("C:\\old", Include).Record("C:\\old\\a", 1);
    appState.calculateChecksums = 1;
    ASSERT_EQ(Load(legacy.Bytes(), "old.sig"), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter, 1);
    EXPECT_EQ(appState.calculateChecksums, 1);

    std::vector<unsigned char> again = Save("again.sig");
    EXPECT_EQ(reinterpret_cast<const SignatureHeader*>(again.data())->layoutVersion, 1);
    ASSERT_EQ(Load(again, "again.sig"), LoadError::None);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    EXPECT_EQ(appState.calculateChecksums, 0);
    EXPECT_STREQ(appState.directoryList.paths[0], "C:\\old");
    ExpectRecord(appState.LoadedTable[0], "C:\\old\\a", 1);
}

TEST(SignatureFileStream, RealFileFollowsTheSameEndOfFileRules)
{
    // Through stdio, a read that ends exactly on the last byte does not set
    // the end-of-file indicator, so a trailing empty-path record still fails.
    const char* name = "signature_stream_test.sig";
    std::vector<unsigned char> bytes = CurrentWithRecords(2).RawRecord(0, "").Bytes();
    for (size_t cut : {size_t(0), size_t(1)}) {
        std::FILE* out = std::fopen(name, "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size() - cut, out);
        std::fclose(out);

        std::FILE* in = std::fopen(name, "rb");
        ASSERT_NE(in, nullptr);
        FileSource source(in);
        Loaded got = Read(source);
        std::fclose(in);
        EXPECT_EQ(got.error, cut == 0 ? LoadError::Record : LoadError::None) << "cut " << cut;
    }
    std::remove(name);
}

TEST(SignatureMessages, EveryLoadErrorCarriesItsNumber)
{
    for (int n = 1; n <= 9; ++n) {
        std::string text = LoadErrorText(static_cast<LoadError>(n));
        char number[8];
        std::snprintf(number, sizeof number, "(%02d)", n);
        EXPECT_NE(text.find(number), std::string::npos) << text;
    }
    EXPECT_STREQ(LoadErrorText(LoadError::CannotOpen), SaveErrorText(SaveError::CannotCreate));
}
