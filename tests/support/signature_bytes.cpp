#include "support/signature_bytes.h"

#include <cstring>
#include <stdexcept>

FileDetails DetailsFor(uint32_t n)
{
    FileDetails d{};
    d.attributes = 0x20 | (n & 0x7);
    d.creationTime = {0x10000000u + n, 0x01D00000u + (n >> 8)};
    d.lastWriteTime = {0x20000000u + n, 0x01D10000u + (n >> 8)};
    d.size = 1000ull * n + 7;
    d.checksum = 0xC0DE0000u ^ n;
    d.reserved = n % 3;
    return d;
}

SignatureBytes::SignatureBytes(uint8_t layout)
{
    std::memcpy(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
    std::strcpy(header.name, "stored name");
    header.layoutVersion = layout;
    header.legacyDriveLetterFlag = 1;
}

SignatureBytes& SignatureBytes::Directory(const std::string& path, int32_t action)
{
    if (header.layoutVersion == LAYOUT_LEGACY) {
        std::strncpy(legacy.paths[legacy.count], path.c_str(), DIRECTORY_PATH_SIZE - 1);
        legacy.actions[legacy.count] = action;
        legacy.count++;
    } else {
        std::strncpy(list.paths[list.count], path.c_str(), DIRECTORY_PATH_SIZE - 1);
        list.actions[list.count] = action;
        list.count++;
    }
    return *this;
}

SignatureBytes& SignatureBytes::Record(const std::string& path, uint32_t n)
{
    if (header.layoutVersion == LAYOUT_LEGACY) {
        FileRecord record{};
        std::strncpy(record.path, path.c_str(), RECORD_PATH_SIZE - 1);
        record.details = DetailsFor(n);
        return Raw(&record, sizeof record);
    }
    return RawRecord(static_cast<int32_t>(path.size()), path, n);
}

SignatureBytes& SignatureBytes::RawRecord(int32_t length, const std::string& pathBytes, uint32_t n)
{
    FileDetails details = DetailsFor(n);
    Raw(&length, sizeof length);
    Raw(pathBytes);
    return Raw(&details, sizeof details);
}

SignatureBytes& SignatureBytes::Raw(const void* data, size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    tail_.insert(tail_.end(), bytes, bytes + size);
    return *this;
}

std::vector<unsigned char> SignatureBytes::Bytes(size_t cut) const
{
    std::vector<unsigned char> out;
    const unsigned char* h = reinterpret_cast<const unsigned char*>(&header);
    out.insert(out.end(), h, h + sizeof header);
    if (header.layoutVersion == LAYOUT_LEGACY) {
        const unsigned char* l = reinterpret_cast<const unsigned char*>(&legacy);
        out.insert(out.end(), l, l + sizeof legacy);
    } else {
        const unsigned char* l = reinterpret_cast<const unsigned char*>(&list);
        out.insert(out.end(), l, l + sizeof list);
    }
    out.insert(out.end(), tail_.begin(), tail_.end());
    if (cut > out.size()) {
        throw std::logic_error("cut longer than the file");
    }
    out.resize(out.size() - cut);
    return out;
}
