// The parts of a signature and its limits.
//
// The header, the directory list and the details go to a .sig file byte for
// byte as they lie in memory, so every size and offset here is part of the
// file format and is checked at compile time. This header is portable: no
// Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MAX_DIRECTORIES = 30;
// The most records a signature or a scan holds.
constexpr int MAX_FILES = 4000000;
// The most that copies of Olvarin before MAX_FILES grew can read: a larger
// signature is saved in a layout those copies refuse as too new.
constexpr int MAX_CLASSIC_FILES = 100000;
constexpr int MAX_DIFFERENCES = 3000;
constexpr int MAX_SAVED_FILES = 50000;

constexpr int DIRECTORY_PATH_SIZE = 260;  // 259 characters and the NUL
constexpr int RECORD_PATH_SIZE = 300;     // 299 characters and the NUL
constexpr int SIGNATURE_NAME_SIZE = 258;
constexpr int MAGIC_SIZE = 35;

// Which content digest a signature holds beside the checksum: the header
// and the directory list both say, so that another kind can follow without
// a new layout.
constexpr uint8_t DIGEST_NONE = 0;
constexpr uint8_t DIGEST_SHA256 = 1;
constexpr int DIGEST_SIZE = 32;

// The identifying text at the start of every signature file: 34 characters
// and the NUL, compared over all 35 bytes on load.
constexpr char SIGNATURE_MAGIC[MAGIC_SIZE] = "Olvarin file. See www.olvarin.test";
static_assert(sizeof(SIGNATURE_MAGIC) == MAGIC_SIZE, "magic is 34 characters and a NUL");

#pragma pack(push, 1)

// A Win32 FILETIME, spelled out so that the portable core needs no Windows
// header: 100-ns units since 1601-01-01 UTC, low word first.
struct FileTime {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
};

// The moment as one number: 100-ns units since 1601 (UTC).
inline uint64_t Ticks(const FileTime& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct SignatureHeader {
    char magic[MAGIC_SIZE];
    uint8_t reserved1[15];
    char name[SIGNATURE_NAME_SIZE];
    int32_t directoryCount;
    int32_t fileCount;
    uint8_t reserved2[4];
    int64_t totalBytes;
    uint8_t legacyDriveLetterFlag;
    uint8_t layoutVersion;
    uint8_t digestKind;
    uint8_t reserved3[5];
};

enum DirectoryAction : int32_t {
    Empty = 0,
    Include = 1,
    Exclude = 2,
};

struct DirectoryList {
    int32_t count;
    uint8_t includeDriveLetter;
    uint8_t calculateChecksums;
    char paths[MAX_DIRECTORIES][DIRECTORY_PATH_SIZE];
    uint8_t digestKind;
    uint8_t reserved;
    int32_t actions[MAX_DIRECTORIES];
};

struct FileDetails {
    uint32_t attributes;
    FileTime creationTime;
    FileTime lastWriteTime;
    uint64_t size;
    uint32_t checksum;
    uint32_t reserved;
};

#pragma pack(pop)

static_assert(sizeof(FileTime) == 8, "FILETIME layout");

static_assert(sizeof(SignatureHeader) == 336, "header size");
static_assert(offsetof(SignatureHeader, magic) == 0, "header layout");
static_assert(offsetof(SignatureHeader, reserved1) == 35, "header layout");
static_assert(offsetof(SignatureHeader, name) == 50, "header layout");
static_assert(offsetof(SignatureHeader, directoryCount) == 308, "header layout");
static_assert(offsetof(SignatureHeader, fileCount) == 312, "header layout");
static_assert(offsetof(SignatureHeader, reserved2) == 316, "header layout");
static_assert(offsetof(SignatureHeader, totalBytes) == 320, "header layout");
static_assert(offsetof(SignatureHeader, legacyDriveLetterFlag) == 328, "header layout");
static_assert(offsetof(SignatureHeader, layoutVersion) == 329, "header layout");
static_assert(offsetof(SignatureHeader, digestKind) == 330, "header layout");
static_assert(offsetof(SignatureHeader, reserved3) == 331, "header layout");

static_assert(sizeof(DirectoryAction) == 4, "actions are stored as int32");
static_assert(sizeof(DirectoryList) == 7928, "directory list size");
static_assert(offsetof(DirectoryList, count) == 0, "directory list layout");
static_assert(offsetof(DirectoryList, includeDriveLetter) == 4, "directory list layout");
static_assert(offsetof(DirectoryList, calculateChecksums) == 5, "directory list layout");
static_assert(offsetof(DirectoryList, paths) == 6, "directory list layout");
static_assert(offsetof(DirectoryList, digestKind) == 7806, "directory list layout");
static_assert(offsetof(DirectoryList, reserved) == 7807, "directory list layout");
static_assert(offsetof(DirectoryList, actions) == 7808, "directory list layout");

static_assert(sizeof(FileDetails) == 36, "details size");
static_assert(offsetof(FileDetails, attributes) == 0, "details layout");
static_assert(offsetof(FileDetails, creationTime) == 4, "details layout");
static_assert(offsetof(FileDetails, lastWriteTime) == 12, "details layout");
static_assert(offsetof(FileDetails, size) == 20, "details layout");
static_assert(offsetof(FileDetails, checksum) == 28, "details layout");
static_assert(offsetof(FileDetails, reserved) == 32, "details layout");
