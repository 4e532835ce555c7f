// Feeds arbitrary bytes to the signature reader. Every file that loads must
// hand on texts that end inside their fields and save and load back alike.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sigfile/signature_stream.h"

namespace {

// Small, so that inputs reach the record limit; the seeds are made for it.
constexpr int CAPACITY = 4;

struct Loaded {
    SignatureHeader header;
    DirectoryList list;
    RecordTable records;
} first, second;

void Require(bool condition) { if (!condition) std::abort(); }

bool Terminated(const char* field, size_t size) { return std::memchr(field, '\0', size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemorySource source(data, size);
    // The incoming options vary with the input so that both values reach
    // the layout-0 path, which keeps one of them.
    int32_t incoming = size > 0 ? data[size - 1] & 1 : 0;
    SignatureTarget target = {&first.header, &first.list, &first.records, CAPACITY, incoming, incoming, 0};
    LoadError error = ReadSignature(source, "fuzz.sig", target);
    Require(error >= LoadError::None && error <= LoadError::Record);
    if (error != LoadError::None) return first.records.Clear(), 0;
    Require(Terminated(first.header.name, SIGNATURE_NAME_SIZE));
    Require(first.list.count >= 0 && first.list.count <= MAX_DIRECTORIES);
    for (const auto& path : first.list.paths) Require(Terminated(path, DIRECTORY_PATH_SIZE));
    Require(first.records.Count() <= CAPACITY);
    for (int32_t i = 0; i < first.records.Count(); ++i) {
        RecordPath path = first.records.Path(i);
        Require(path.folderLength + path.nameLength > 0 && path.folderLength + path.nameLength < RECORD_PATH_SIZE &&
                !std::memchr(path.folder, 0, path.folderLength) && !std::memchr(path.name, 0, path.nameLength));
    }

    // Save what was loaded, in the layout the program would, and load it
    // back: the same signature, record for record, digests included.
    const bool digests = first.list.digestKind == DIGEST_SHA256;
    Require(digests == (target.useSha256 != 0) && (digests || first.list.digestKind == DIGEST_NONE));
    SetSavedLayout(first.header, digests, first.records.Count());
    static MemorySink sink;  // its room kept from input to input
    sink.Clear();
    Require(WriteSignature(sink, first.header, first.list, first.records) == SaveError::None);
    MemorySource again(sink.bytes().data(), sink.bytes().size());
    SignatureTarget target2 = {&second.header, &second.list, &second.records, CAPACITY, 0, 0, 0};
    Require(ReadSignature(again, "fuzz.sig", target2) == LoadError::None);
    Require(std::memcmp(&first.header, &second.header, sizeof first.header) == 0 &&
            std::memcmp(&first.list, &second.list, sizeof first.list) == 0);
    Require(target2.includeDriveLetter == static_cast<int8_t>(first.list.includeDriveLetter) &&
            target2.calculateChecksums == (digests ? 1 : static_cast<int8_t>(first.list.calculateChecksums)));
    Require(second.records.Count() == first.records.Count());
    for (int32_t i = 0; i < first.records.Count(); ++i) {
        FileRecord a = first.records.Get(i), b = second.records.Get(i);
        Require(std::memcmp(&a, &b, sizeof a) == 0);
    }
    // Everything an input took goes back before the next: libFuzzer reads
    // an input that keeps memory as a possible leak and runs it again.
    first.records.Clear(), second.records.Clear();
    return 0;
}
