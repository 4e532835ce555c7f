#include "sigfile/signature_stream.h"

#include <cstring>
#include <mutex>
#include <new>

#include "model/app_state.h"
#include "scan/record_sort.h"

namespace {

bool HasNul(const char* field, size_t size)
{
    return std::memchr(field, '\0', size) != nullptr;
}

// The digests a header of a known layout says its records carry.
uint8_t DigestKindOf(const SignatureHeader& header)
{
    if (header.layoutVersion == LAYOUT_DIGESTS) {
        return DIGEST_SHA256;
    }
    return header.layoutVersion == LAYOUT_LARGE ? header.digestKind : DIGEST_NONE;
}

// Takes one record read from a file into the table: its path up to its
// first NUL (a record of an empty path is none), and its digest when that
// arrived whole.
LoadError Keep(SignatureTarget& target, const char* path, size_t length, const FileDetails& details,
               const uint8_t* digest)
{
    size_t used = strnlen(path, length);
    if (used == 0) {
        return LoadError::None;
    }
    try {
        int32_t index = target.records->Append(path, used, details);
        target.records->SetDigest(index, digest);
    } catch (const std::bad_alloc&) {
        return LoadError::OutOfMemory;
    }
    return LoadError::None;
}

// Every slot of the list is copied as a whole, so every slot must hold its
// NUL, used or not: the consumers take each path as a C string.
bool DirectoryListIsSound(const DirectoryList& list)
{
    if (list.count < 0 || list.count > MAX_DIRECTORIES) {
        return false;
    }
    for (const auto& path : list.paths) {
        if (!HasNul(path, DIRECTORY_PATH_SIZE)) {
            return false;
        }
    }
    return true;
}

LoadError ReadDirectoryList(ByteSource& source, SignatureTarget& target)
{
    DirectoryList& list = *target.directoryList;
    if (source.Read(&list, DIRECTORY_LIST_SIZE) != DIRECTORY_LIST_SIZE) {
        return LoadError::DirectoriesShort;
    }
    // The option bytes are read as signed bytes: 0 off, anything else on.
    target.includeDriveLetter = static_cast<int8_t>(list.includeDriveLetter);
    target.calculateChecksums = static_cast<int8_t>(list.calculateChecksums);
    const uint8_t digestKind = DigestKindOf(*target.header);
    // Digests come with checksums; the list and the header must agree on them.
    target.useSha256 = digestKind == DIGEST_SHA256 ? 1 : 0;
    if (target.useSha256 != 0) {
        target.calculateChecksums = 1;
    }
    if (!DirectoryListIsSound(list) || (digestKind != DIGEST_NONE && list.digestKind != digestKind)) {
        return LoadError::CorruptDirectories;
    }
    list.digestKind = digestKind;  // without digests the byte says nothing, whatever it held
    return LoadError::None;
}

LoadError ReadLegacyDirectoryList(ByteSource& source, SignatureTarget& target)
{
    LegacyDirectoryList legacy;
    if (source.Read(&legacy, LEGACY_DIRECTORY_LIST_SIZE) != LEGACY_DIRECTORY_LIST_SIZE) {
        return LoadError::LegacyDirectoriesShort;
    }
    // The old block has ten slots; a count beyond them names slots that are
    // not there.
    if (legacy.count < 0 || legacy.count > LEGACY_DIRECTORY_SLOTS) {
        return LoadError::CorruptDirectories;
    }
    for (int i = 0; i < legacy.count; ++i) {
        if (!HasNul(legacy.paths[i], DIRECTORY_PATH_SIZE)) {
            return LoadError::CorruptDirectories;
        }
    }
    DirectoryList& list = *target.directoryList;
    list.count = legacy.count;
    for (int i = 0; i < legacy.count; ++i) {
        std::strcpy(list.paths[i], legacy.paths[i]);
        list.actions[i] = legacy.actions[i];
    }
    // Old files say "drive letter included" with a zero; they carry no
    // checksum option, so that one stays as it is.
    target.includeDriveLetter = target.header->legacyDriveLetterFlag == 0 ? 1 : 0;
    // The list carries the options in force, as a Create leaves it, so that
    // saving this signature again keeps them.
    list.includeDriveLetter = static_cast<uint8_t>(target.includeDriveLetter & 0xFF);
    list.calculateChecksums = static_cast<uint8_t>(target.calculateChecksums & 0xFF);
    return LoadError::None;
}

// Layouts 1 to 3. A record is taken whole only when its length, its path,
// its details and (with digests) its digest part all arrived and its path is
// not empty; a record that was not is an error unless the file ended inside
// it, in which case what arrived stays and the signature ends there. A
// digest that did not arrive whole is no digest.
LoadError ReadRecords(ByteSource& source, SignatureTarget& target)
{
    const size_t digestPart = DigestKindOf(*target.header) == DIGEST_SHA256 ? DIGEST_PART_SIZE : 0;
    bool previousWhole = true;
    for (int32_t i = 0;; ++i) {
        if (source.AtEnd()) {
            return LoadError::None;
        }
        if (!previousWhole) {
            return LoadError::Record;
        }
        int32_t length = 0;
        if (source.Read(&length, PATH_LENGTH_SIZE) != PATH_LENGTH_SIZE) {
            return source.AtEnd() ? LoadError::None : LoadError::Record;
        }
        if (i >= target.recordLimit) {
            // A whole record more than a signature may hold.
            return LoadError::Record;
        }
        if (length < 0 || length > MAX_RECORD_PATH_LENGTH) {
            return LoadError::BadPathLength;
        }
        // Only the bytes that arrived are used; details cut short are zeros
        // after them.
        char path[RECORD_PATH_SIZE];
        FileDetails details;
        uint8_t digest[DIGEST_PART_SIZE];
        size_t pathRead = source.Read(path, static_cast<size_t>(length));
        size_t detailsRead = source.Read(&details, DETAILS_SIZE);
        std::memset(reinterpret_cast<char*>(&details) + detailsRead, 0, DETAILS_SIZE - detailsRead);
        size_t digestRead = source.Read(digest, digestPart);
        if (digestRead > 0 && digest[0] > 1) {
            return LoadError::Record;  // neither "no digest" nor "a digest"
        }
        // A path whose first byte is NUL would be no record at all and
        // hide that one went missing; it counts as a path that did not
        // arrive, like a length of 0.
        previousWhole = length > 0 && pathRead == static_cast<size_t>(length) && path[0] != '\0' &&
                        detailsRead == DETAILS_SIZE && digestRead == digestPart;
        const bool digestWhole = digestPart != 0 && digestRead == digestPart && digest[0] == 1;
        LoadError kept = Keep(target, path, pathRead, details, digestWhole ? digest + 1 : nullptr);
        if (kept != LoadError::None) {
            return kept;
        }
    }
}

// Layout 0: whole 336-byte records.
LoadError ReadLegacyRecords(ByteSource& source, SignatureTarget& target)
{
    bool previousWhole = true;
    for (int32_t i = 0;; ++i) {
        if (source.AtEnd()) {
            return LoadError::None;
        }
        if (!previousWhole) {
            return LoadError::LegacyRecord;
        }
        if (i >= target.recordLimit) {
            // Any byte past the last record a signature may hold is a record
            // that has nowhere to go.
            unsigned char probe;
            if (source.Read(&probe, 1) == 0 && source.AtEnd()) {
                return LoadError::None;
            }
            return LoadError::LegacyRecord;
        }
        LegacyRecord record = {};
        size_t got = source.Read(&record, LEGACY_RECORD_SIZE);
        previousWhole = got == LEGACY_RECORD_SIZE;
        // An empty path would end the signature early and hide what
        // follows; a path without its NUL would run into the details. A
        // record cut short by the end of the file keeps the bytes that
        // arrived.
        if (previousWhole && (!HasNul(record.path, RECORD_PATH_SIZE) || record.path[0] == '\0')) {
            return LoadError::LegacyRecord;
        }
        LoadError kept = Keep(target, record.path, got < RECORD_PATH_SIZE ? got : RECORD_PATH_SIZE - 1,
                              record.details, nullptr);
        if (kept != LoadError::None) {
            return kept;
        }
    }
}

}  // namespace

void SetSavedLayout(SignatureHeader& header, bool digests, int32_t recordCount)
{
    if (recordCount > MAX_CLASSIC_FILES) {
        header.layoutVersion = LAYOUT_LARGE;
    } else {
        header.layoutVersion = digests ? LAYOUT_DIGESTS : LAYOUT_CURRENT;
    }
    header.digestKind = digests ? DIGEST_SHA256 : DIGEST_NONE;
}

void SetSignatureName(SignatureHeader& header, const char* fileTitle)
{
    size_t length = std::strlen(fileTitle);
    if (length > SIGNATURE_NAME_SIZE - 1) {
        length = SIGNATURE_NAME_SIZE - 1;
    }
    std::memcpy(header.name, fileTitle, length);
    header.name[length] = '\0';
}

LoadError ReadSignature(ByteSource& source, const char* fileTitle, SignatureTarget& target)
{
    SignatureHeader& header = *target.header;
    if (source.Read(&header, HEADER_SIZE) != HEADER_SIZE) {
        return LoadError::HeaderShort;
    }
    if (std::memcmp(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE) != 0) {
        return LoadError::BadMagic;
    }
    // A layout or digest kind this program does not know comes from a
    // newer one.
    const bool digestKnown = header.digestKind == DIGEST_SHA256 ||
                             (header.layoutVersion == LAYOUT_LARGE && header.digestKind == DIGEST_NONE);
    if (header.layoutVersion > LAYOUT_LARGE || (header.layoutVersion >= LAYOUT_DIGESTS && !digestKnown)) {
        return LoadError::UnknownLayout;
    }
    SetSignatureName(header, fileTitle);

    std::memset(target.directoryList, 0, sizeof *target.directoryList);
    target.useSha256 = 0;
    LoadError error = header.layoutVersion != LAYOUT_LEGACY ? ReadDirectoryList(source, target)
                                                             : ReadLegacyDirectoryList(source, target);
    if (error != LoadError::None) {
        return error;
    }

    target.records->Clear(target.useSha256 != 0);
    error = header.layoutVersion != LAYOUT_LEGACY ? ReadRecords(source, target) : ReadLegacyRecords(source, target);
    if (error != LoadError::None) {
        return error;
    }
    // Whatever wrote the file, the comparison walks its records in path order.
    try {
        PutInPathOrder(*target.records);
    } catch (const std::bad_alloc&) {
        return LoadError::OutOfMemory;
    }
    return LoadError::None;
}

SaveError WriteSignature(ByteSink& sink, const SignatureHeader& header, const DirectoryList& list,
                         const RecordTable& records)
{
    // Flushing after each part lets a failure that the buffer would hide
    // until later still be told by the part that suffered it.
    if (sink.Write(&header, HEADER_SIZE) != HEADER_SIZE || !sink.Flush()) {
        return SaveError::Header;
    }
    if (sink.Write(&list, DIRECTORY_LIST_SIZE) != DIRECTORY_LIST_SIZE || !sink.Flush()) {
        return SaveError::DirectoryList;
    }
    const size_t digestPart = DigestKindOf(header) == DIGEST_SHA256 ? DIGEST_PART_SIZE : 0;
    for (int32_t i = 0; i < records.Count(); ++i) {
        const RecordPath path = records.Path(i);
        const int32_t length = path.folderLength + path.nameLength;
        uint8_t digest[DIGEST_PART_SIZE];
        if (digestPart != 0) {
            digest[0] = records.HasDigest(i) ? 1 : 0;
            std::memcpy(digest + 1, records.Digest(i), DIGEST_SIZE);
        }
        if (sink.Write(&length, PATH_LENGTH_SIZE) != PATH_LENGTH_SIZE ||
            sink.Write(path.folder, path.folderLength) != path.folderLength ||
            sink.Write(path.name, path.nameLength) != path.nameLength ||
            sink.Write(&records.Details(i), DETAILS_SIZE) != DETAILS_SIZE ||
            sink.Write(digest, digestPart) != digestPart) {
            return SaveError::Records;
        }
    }
    if (!sink.Flush()) {
        return SaveError::Records;
    }
    return SaveError::None;
}

LoadError LoadSignatureStream(AppState& state, ByteSource& source, const char* fileTitle)
{
    SignatureHeader header;
    SignatureTarget target = {&header,
                              &state.directoryList,
                              &state.LoadedTable,
                              MAX_FILES,
                              state.includeDriveLetter.load(std::memory_order_relaxed),
                              state.calculateChecksums.load(std::memory_order_relaxed),
                              state.useSha256.load(std::memory_order_relaxed)};
    LoadError error = ReadSignature(source, fileTitle, target);
    if (error != LoadError::None) {
        return error;
    }
    {
        std::lock_guard<std::mutex> lock(state.textLock);
        state.header = header;
    }
    state.includeDriveLetter.store(target.includeDriveLetter, std::memory_order_relaxed);
    state.calculateChecksums.store(target.calculateChecksums, std::memory_order_relaxed);
    state.useSha256.store(target.useSha256, std::memory_order_relaxed);
    return LoadError::None;
}

SaveError SaveSignatureStream(AppState& state, ByteSink& sink, const char* fileTitle)
{
    SignatureHeader header;
    {
        std::lock_guard<std::mutex> lock(state.textLock);
        header = state.header;
    }
    SetSignatureName(header, fileTitle);
    SetSavedLayout(header, state.directoryList.digestKind == DIGEST_SHA256, state.LoadedTable.Count());
    return WriteSignature(sink, header, state.directoryList, state.LoadedTable);
}

void NameSavedSignature(AppState& state, const char* fileTitle)
{
    std::lock_guard<std::mutex> lock(state.textLock);
    SetSignatureName(state.header, fileTitle);
    SetSavedLayout(state.header, state.directoryList.digestKind == DIGEST_SHA256,
                   state.LoadedTable.Count());
}

const char* LoadErrorText(LoadError error)
{
    switch (error) {
    case LoadError::None:
        return nullptr;
    case LoadError::HeaderShort:
        return "Error: Could not read signature info from the signature file (01)";
    case LoadError::BadMagic:
        return "Error: Corrupt signature file (02)";
    case LoadError::UnknownLayout:
        return "Error: File layout is not supported.\n"
               "File was probably created by a newer version of Olvarin (03)";
    case LoadError::LegacyDirectoriesShort:
        return "Error: Could not read the directory list from the signature file (04)";
    case LoadError::DirectoriesShort:
        return "Error: Could not read the directory list from the signature file (05)";
    case LoadError::CorruptDirectories:
        return "Error: Corrupt signature file (06)";
    case LoadError::LegacyRecord:
        return "Error: Could not read the file details from the signature file (07)";
    case LoadError::BadPathLength:
        return "Error: Invalid length data found in signature file (08)";
    case LoadError::Record:
        return "Error: Error while reading the file details from the signature file (09)";
    case LoadError::CannotOpen:
        return "Error: Could not create the signature file";
    case LoadError::OutOfMemory:
        return "Error: Not enough memory to load the signature file (11)";
    case LoadError::Stopped:
        return "Stopped before the signature file was read whole";
    }
    return nullptr;
}

const char* SaveErrorText(SaveError error)
{
    switch (error) {
    case SaveError::None:
        return nullptr;
    case SaveError::CannotCreate:
        return "Error: Could not create the signature file";
    case SaveError::Header:
        return "Error: Could not write signature info to file";
    case SaveError::DirectoryList:
        return "Error: Could not write directory list to signature file";
    case SaveError::Records:
        return "Error: Could not write file details to signature file";
    case SaveError::Withdrawn:
        return "The signature file was left as it was";
    }
    return nullptr;
}
