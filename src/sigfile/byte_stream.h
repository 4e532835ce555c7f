// The byte streams that signature files are read from and written to: a
// stdio file, or memory (for tests and the fuzzer; there is no fmemopen on
// every platform we build for).
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

// Reads with the semantics of stdio: Read returns how many bytes arrived,
// and AtEnd (the end-of-file indicator) is set once a read has tried to go
// past the last byte, not by a read that ends exactly on it. A short read
// with AtEnd still clear means an I/O error.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual size_t Read(void* buffer, size_t size) = 0;
    virtual bool AtEnd() const = 0;
};

// Write returns how many bytes were taken; Flush pushes buffered bytes out
// and reports whether every byte so far made it.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual size_t Write(const void* data, size_t size) = 0;
    virtual bool Flush() = 0;
};

// Size of the stdio buffer for signature files; the records go through in
// small pieces.
constexpr size_t SIGNATURE_STREAM_BUFFER_SIZE = 64 * 1024;

// A file opened by the caller in binary mode; the caller closes it. The
// constructor gives the stream a large buffer, so it must run before the
// first read or write.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file);
    size_t Read(void* buffer, size_t size) override;
    bool AtEnd() const override;

private:
    std::FILE* file_;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file);
    size_t Write(const void* data, size_t size) override;
    bool Flush() override;

private:
    std::FILE* file_;
};

// Reads a block of memory that the caller keeps alive.
class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size);
    size_t Read(void* buffer, size_t size) override;
    bool AtEnd() const override { return atEnd_; }

private:
    const unsigned char* data_;
    size_t size_;
    size_t position_ = 0;
    bool atEnd_ = false;
};

class MemorySink : public ByteSink {
public:
    size_t Write(const void* data, size_t size) override;
    bool Flush() override { return true; }
    const std::vector<unsigned char>& bytes() const { return bytes_; }
    // Empties it, keeping its room for the next bytes.
    void Clear() { bytes_.clear(); }

private:
    std::vector<unsigned char> bytes_;
};
