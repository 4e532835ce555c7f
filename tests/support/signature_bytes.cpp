#include "support/signature_bytes.h"

#include <cstring>

FileDetails DetailsFor(uint32_t n)
{
    return {0x20 | (n & 0x7), {0x10000000u + n, 0x01D00000u + (n >> 8)}, {0x20000000u + n, 0x01D10000u + (n >> 8)},
            1000ull * n + 7, 0xC0DE0000u ^ n, n % 3};
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
    bool old = header.layoutVersion == LAYOUT_LEGACY;
    int32_t& count = old ? legacy.count : list.count;
    std::strncpy(old ? legacy.paths[count] : list.paths[count], path.c_str(), DIRECTORY_PATH_SIZE - 1);
    (old ? legacy.actions : list.actions)[count++] = action;
    return *this;
}

SignatureBytes& SignatureBytes::Record(const std::string& path, uint32_t n)
{
    if (header.layoutVersion != LAYOUT_LEGACY) return RawRecord(static_cast<int32_t>(path.size()), path, n);
    FileRecord record{};
    std::strncpy(record.path, path.c_str(), RECORD_PATH_SIZE - 1);
    record.details = DetailsFor(n);
    return Raw(&record, sizeof record);
}

SignatureBytes& SignatureBytes::RawRecord(int32_t length, const std::string& pathBytes, uint32_t n)
{
    FileDetails details = DetailsFor(n);
    Raw(&length, sizeof length);
    Raw(pathBytes.data(), pathBytes.size());
    return Raw(&details, sizeof details);
}

SignatureBytes& SignatureBytes::Raw(const void* data, size_t size)
{
    tail_.insert(tail_.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    return *this;
}

std::vector<unsigned char> SignatureBytes::Bytes(size_t cut) const
{
    bool old = header.layoutVersion == LAYOUT_LEGACY;
    auto h = reinterpret_cast<const unsigned char*>(&header);
    auto l = old ? reinterpret_cast<const unsigned char*>(&legacy) : reinterpret_cast<const unsigned char*>(&list);
    std::vector<unsigned char> out(h, h + sizeof header);
    out.insert(out.end(), l, l + (old ? sizeof legacy : sizeof list));
    out.insert(out.end(), tail_.begin(), tail_.end());
    out.resize(out.size() - cut);
    return out;
}
