#include "sigfile/byte_stream.h"

#include <cstring>

FileSource::FileSource(std::FILE* file) : file_(file)
{
    std::setvbuf(file_, nullptr, _IOFBF, SIGNATURE_STREAM_BUFFER_SIZE);
}

size_t FileSource::Read(void* buffer, size_t size)
{
    return std::fread(buffer, 1, size, file_);
}

bool FileSource::AtEnd() const
{
    return std::feof(file_) != 0;
}

FileSink::FileSink(std::FILE* file) : file_(file)
{
    std::setvbuf(file_, nullptr, _IOFBF, SIGNATURE_STREAM_BUFFER_SIZE);
}

size_t FileSink::Write(const void* data, size_t size)
{
    return std::fwrite(data, 1, size, file_);
}

bool FileSink::Flush()
{
    return std::fflush(file_) == 0 && std::ferror(file_) == 0;
}

MemorySource::MemorySource(const void* data, size_t size)
    : data_(static_cast<const unsigned char*>(data)), size_(size)
{
}

size_t MemorySource::Read(void* buffer, size_t size)
{
    size_t available = size_ - position_;
    size_t count = size;
    if (count > available) {
        count = available;
        atEnd_ = true;
    }
    if (count > 0) {
        std::memcpy(buffer, data_ + position_, count);
        position_ += count;
    }
    return count;
}

size_t MemorySink::Write(const void* data, size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    return size;
}
