// Builds signature files byte by byte, including damaged ones. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sigfile/format.h"

// Details that differ from record to record, derived from n.
FileDetails DetailsFor(uint32_t n);

class SignatureBytes {
public:
    // A header with the magic and the layout, and an empty directory block.
    explicit SignatureBytes(uint8_t layout);

    SignatureHeader header{};
    DirectoryList list{};          // the directory block of layout 1
    LegacyDirectoryList legacy{};  // the directory block of layout 0

    // Puts a directory into the next slot of the layout's block.
    SignatureBytes& Directory(const std::string& path, int32_t action);
    // Appends a well-formed record of the layout with DetailsFor(n).
    SignatureBytes& Record(const std::string& path, uint32_t n = 0);
    // Appends a layout-1 record with any stated length and path bytes.
    SignatureBytes& RawRecord(int32_t length, const std::string& pathBytes, uint32_t n = 0);
    // Appends bytes as they are.
    SignatureBytes& Raw(const void* data, size_t size);

    // The whole file; cut drops that many bytes from its end.
    std::vector<unsigned char> Bytes(size_t cut = 0) const;

private:
    std::vector<unsigned char> tail_;
};
