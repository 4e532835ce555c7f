// The .sig file format, shared by the reader and the writer.
//
// A file is a SignatureHeader followed by a directory block and then file
// records up to the end of the file: no count of records, no trailer. All
// integers are little-endian; the header and the directory block are the
// in-memory records byte for byte, reserved bytes included.
//
// Layout 3 (written for a signature of more than MAX_CLASSIC_FILES records,
// which copies of the program that read at most that many refuse by its
// number, and read):
//     layout 1 when the header's digestKind is DIGEST_NONE, layout 2 when it
//     is DIGEST_SHA256; nothing else differs
//
// Layout 2 (written when the signature holds SHA-256 digests, and read):
//     layout 1, with the header's and the directory list's digestKind both
//     DIGEST_SHA256, and behind each record's details 1 byte hasDigest (0 or
//     1) and the 32 digest bytes (zeros where hasDigest is 0)
//
// Layout 1 (written and read):
//     0     336   SignatureHeader, layoutVersion 1
//     336   7928  DirectoryList
//     8264  ...   records: int32 path length L (1..299), L path characters
//                 without their NUL, 36 bytes of FileDetails
//
// Layout 0 (older files, read only):
//     0     336   SignatureHeader, layoutVersion 0; legacyDriveLetterFlag 0
//                 means the recorded paths carry their drive letter
//     336   2644  LegacyDirectoryList (10 slots, no option bytes)
//     2980  ...   whole 336-byte FileRecords
//
// The header's fileCount is informative only: readers find the records by
// reading to the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/signature.h"

constexpr uint8_t LAYOUT_LEGACY = 0;
constexpr uint8_t LAYOUT_CURRENT = 1;
constexpr uint8_t LAYOUT_DIGESTS = 2;
constexpr uint8_t LAYOUT_LARGE = 3;

constexpr int LEGACY_DIRECTORY_SLOTS = 10;

#pragma pack(push, 1)

struct LegacyDirectoryList {
    int32_t count;
    char paths[LEGACY_DIRECTORY_SLOTS][DIRECTORY_PATH_SIZE];
    int32_t actions[LEGACY_DIRECTORY_SLOTS];
};

// A layout-0 record: the path in its whole field, then the details.
struct LegacyRecord {
    char path[RECORD_PATH_SIZE];
    FileDetails details;
};

#pragma pack(pop)

static_assert(sizeof(LegacyRecord) == 336, "layout 0 records are path and details");
static_assert(sizeof(LegacyDirectoryList) == 2644, "legacy directory block size");
static_assert(offsetof(LegacyDirectoryList, count) == 0, "legacy directory block layout");
static_assert(offsetof(LegacyDirectoryList, paths) == 4, "legacy directory block layout");
static_assert(offsetof(LegacyDirectoryList, actions) == 2604, "legacy directory block layout");

constexpr size_t HEADER_SIZE = sizeof(SignatureHeader);
constexpr size_t DIRECTORY_LIST_SIZE = sizeof(DirectoryList);
constexpr size_t LEGACY_DIRECTORY_LIST_SIZE = sizeof(LegacyDirectoryList);
constexpr size_t DETAILS_SIZE = sizeof(FileDetails);
constexpr size_t LEGACY_RECORD_SIZE = sizeof(LegacyRecord);
constexpr size_t DIGEST_PART_SIZE = 1 + DIGEST_SIZE;  // hasDigest and the digest
constexpr size_t PATH_LENGTH_SIZE = sizeof(int32_t);
constexpr int32_t MAX_RECORD_PATH_LENGTH = RECORD_PATH_SIZE - 1;

// Where the records begin in each layout; a file with no record at all is
// exactly this long.
constexpr size_t CURRENT_RECORDS_OFFSET = HEADER_SIZE + DIRECTORY_LIST_SIZE;
constexpr size_t LEGACY_RECORDS_OFFSET = HEADER_SIZE + LEGACY_DIRECTORY_LIST_SIZE;
static_assert(CURRENT_RECORDS_OFFSET == 8264, "layout 1 records start");
static_assert(LEGACY_RECORDS_OFFSET == 2980, "layout 0 records start");

// The outcome of reading a file. The numbered values are the numbers that
// the user sees in the load error messages.
enum class LoadError : int {
    None = 0,
    HeaderShort = 1,          // 01: fewer than 336 bytes of header
    BadMagic = 2,             // 02
    UnknownLayout = 3,        // 03: layoutVersion above 3, or a digest kind unknown
    LegacyDirectoriesShort = 4,
    DirectoriesShort = 5,
    CorruptDirectories = 6,   // 06: a count or a path slot out of bounds
    LegacyRecord = 7,         // 07: a layout-0 record that cannot be taken
    BadPathLength = 8,        // 08: layouts 1 to 3, length below 0 or above 299
    Record = 9,               // 09: layouts 1 to 3, a record not read whole, or more than MAX_FILES
    CannotOpen = 10,          // the file could not be opened at all
    OutOfMemory = 11,         // 11: the records need more memory than there is
    Stopped = 12,             // a Stop ended the load: no fault of the file
};

// The outcome of writing a file.
enum class SaveError : int {
    None = 0,
    CannotCreate,
    Header,
    DirectoryList,
    Records,
    Withdrawn,  // written whole, then not put in place (a Stop, say)
};

// The texts the user sees for each outcome; nullptr for None.
const char* LoadErrorText(LoadError error);
const char* SaveErrorText(SaveError error);

constexpr char LOAD_ERROR_TITLE[] = "Error reading signature file";
constexpr char SAVE_ERROR_TITLE[] = "Error creating signature file";
