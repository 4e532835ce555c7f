// Writes the fuzzer's seed files into the folder given: sound files of both
// layouts and one file for each load error that plain bytes can cause. Each
// file is read back first, so a seed never claims an outcome it lacks.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_table.h"
#include "sigfile/signature_stream.h"
#include "support/signature_bytes.h"

namespace {

SignatureHeader header;
DirectoryList list;
FileRecord records[FUZZ_TABLE_CAPACITY];

bool Write(const std::string& folder, const char* name, const std::vector<unsigned char>& bytes,
           LoadError expected)
{
    MemorySource source(bytes.data(), bytes.size());
    SignatureTarget target = {&header, &list, records, FUZZ_TABLE_CAPACITY, 0, 0};
    LoadError got = ReadSignature(source, name, target);
    if (got != expected) {
        std::fprintf(stderr, "%s reads as outcome %d, not %d\n", name, static_cast<int>(got),
                     static_cast<int>(expected));
        return false;
    }
    std::string path = folder + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

SignatureBytes Current(int records)
{
    SignatureBytes sig(LAYOUT_CURRENT);
    sig.header.fileCount = records;
    sig.list.includeDriveLetter = 1;
    sig.list.calculateChecksums = 1;
    sig.Directory("C:\\data", Include).Directory("C:\\data\\cache", Exclude);
    for (int i = 0; i < records; ++i) {
        sig.Record("\\data\\file" + std::to_string(i) + ".txt", static_cast<uint32_t>(i));
    }
    return sig;
}

SignatureBytes Legacy(int records)
{
    SignatureBytes sig(LAYOUT_LEGACY);
    sig.header.legacyDriveLetterFlag = 0;
    sig.Directory("C:\\old", Include).Directory("C:\\old\\tmp", Exclude);
    for (int i = 0; i < records; ++i) {
        sig.Record("C:\\old\\file" + std::to_string(i) + ".txt", static_cast<uint32_t>(i));
    }
    return sig;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    bool ok = true;

    ok &= Write(folder, "current.sig", Current(3).Bytes(), LoadError::None);
    ok &= Write(folder, "current-empty.sig", SignatureBytes(LAYOUT_CURRENT).Bytes(), LoadError::None);
    ok &= Write(folder, "current-cut.sig", Current(3).Bytes(20), LoadError::None);
    ok &= Write(folder, "current-many.sig", Current(12).Bytes(), LoadError::Record);
    ok &= Write(folder, "legacy.sig", Legacy(3).Bytes(), LoadError::None);
    ok &= Write(folder, "legacy-cut.sig", Legacy(2).Bytes(100), LoadError::None);

    ok &= Write(folder, "error-01.sig", Current(0).Bytes(CURRENT_RECORDS_OFFSET - HEADER_SIZE + 1), LoadError::HeaderShort);
    std::vector<unsigned char> badMagic = Current(1).Bytes();
    badMagic[0] ^= 0x20;
    ok &= Write(folder, "error-02.sig", badMagic, LoadError::BadMagic);
    SignatureBytes newer = Current(1);
    newer.header.layoutVersion = 2;
    ok &= Write(folder, "error-03.sig", newer.Bytes(), LoadError::UnknownLayout);
    ok &= Write(folder, "error-04.sig", Legacy(0).Bytes(1), LoadError::LegacyDirectoriesShort);
    ok &= Write(folder, "error-05.sig", Current(0).Bytes(1), LoadError::DirectoriesShort);
    SignatureBytes tooManyDirectories = Current(1);
    tooManyDirectories.list.count = 31;
    ok &= Write(folder, "error-06.sig", tooManyDirectories.Bytes(), LoadError::CorruptDirectories);
    SignatureBytes emptyLegacyPath = Legacy(1);
    emptyLegacyPath.Raw(std::string(sizeof(FileRecord), '\0')).Record("C:\\old\\after.txt", 9);
    ok &= Write(folder, "error-07.sig", emptyLegacyPath.Bytes(), LoadError::LegacyRecord);
    ok &= Write(folder, "error-08.sig", Current(1).RawRecord(300, std::string(300, 'p')).Bytes(), LoadError::BadPathLength);
    ok &= Write(folder, "error-09.sig", Current(1).RawRecord(0, "").Record("\\data\\after.txt", 9).Bytes(), LoadError::Record);

    return ok ? 0 : 1;
}
