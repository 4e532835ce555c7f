#include "sigfile/signature_file.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "scan/sha256.h"
#include "sigfile/signature_stream.h"

const char* FileTitle(const char* path)
{
    const char* title = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\' || *at == '/' || *at == ':') {
            title = at + 1;
        }
    }
    return title;
}

bool CopyBeside(const char* path, char* temporary)
{
    temporary[0] = '\0';
    if (MakeTemporaryFileBeside(path, temporary) && CopyFileA(path, temporary, FALSE)) {
        return true;
    }
    if (temporary[0] != '\0') DeleteFileA(temporary);
    return false;
}

bool PutInPlace(const char* temporary, const char* path)
{
    if (MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileA(temporary);
    return false;
}

bool FlushToDisk(std::FILE* file)
{
    return std::fflush(file) == 0 &&
           FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != 0;
}

bool MakeTemporaryFileBeside(const char* path, char* temporary)
{
    char folder[MAX_PATH];
    size_t length = std::strlen(path);
    if (length >= sizeof folder) {
        return false;
    }
    std::memcpy(folder, path, length + 1);
    char* slash = std::strrchr(folder, '\\');
    char* otherSlash = std::strrchr(folder, '/');
    if (otherSlash != nullptr && (slash == nullptr || otherSlash > slash)) {
        slash = otherSlash;
    }
    if (slash != nullptr) {
        slash[1] = '\0';
    } else {
        std::strcpy(folder, ".");
    }
    return GetTempFileNameA(folder, "sig", 0, temporary) != 0;
}

namespace {

// Hands on what it reads and takes the digest of every byte that passed;
// once a Stop is asked for, it hands on nothing more.
class DigestingSource : public ByteSource {
public:
    DigestingSource(ByteSource& inner, const StopToken* stop) : inner_(inner), stop_(stop) { Sha256Begin(sha_); }
    size_t Read(void* buffer, size_t size) override
    {
        if (stop_ != nullptr && stop_->Requested()) return 0;
        size_t got = inner_.Read(buffer, size);
        Sha256Add(sha_, buffer, got);
        return got;
    }
    bool AtEnd() const override { return inner_.AtEnd() && (stop_ == nullptr || !stop_->Requested()); }
    void End(unsigned char* digest) { Sha256End(sha_, digest); }

private:
    ByteSource& inner_;
    const StopToken* stop_;
    Sha256 sha_;
};

}  // namespace

SaveError SaveSignatureFile(AppState& state, const char* path, const char* fileTitle, SaveSinkWrapper wrap,
                            const std::function<bool(const char* temporary)>& mayPutInPlace)
{
    char temporary[MAX_PATH];
    if (!MakeTemporaryFileBeside(path, temporary)) {
        return SaveError::CannotCreate;
    }
    std::FILE* file = std::fopen(temporary, "wb");
    if (file == nullptr) {
        DeleteFileA(temporary);
        return SaveError::CannotCreate;
    }
    SaveError error;
    {
        FileSink sink(file);
        ByteSink& out = wrap != nullptr ? wrap(sink) : sink;
        error = SaveSignatureStream(state, out, fileTitle);
    }
    if (error == SaveError::None && !FlushToDisk(file)) {
        error = SaveError::Records;
    }
    if (std::fclose(file) != 0 && error == SaveError::None) {
        error = SaveError::Records;
    }
    if (error == SaveError::None && mayPutInPlace && !mayPutInPlace(temporary)) {
        error = SaveError::Withdrawn;
    }
    if (error == SaveError::None &&
        !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        // The chosen name cannot take the file (read-only, in use, a folder).
        error = SaveError::CannotCreate;
    }
    if (error != SaveError::None) {
        DeleteFileA(temporary);
    }
    return error;
}

namespace {

LoadError LoadFromPath(AppState& state, const char* path, const char* fileTitle, unsigned char* fileDigest,
                       const StopToken* stop)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return LoadError::CannotOpen;
    }
    LoadError error;
    {
        FileSource source(file);
        DigestingSource digesting(source, stop);
        error = LoadSignatureStream(state, digesting, fileTitle);
        // The reader stops at the end of the records: whatever is left
        // would be unread bytes, of which a sound file has none.
        unsigned char rest[4096];
        while (fileDigest != nullptr && error == LoadError::None && digesting.Read(rest, sizeof rest) > 0) {
        }
        if (fileDigest != nullptr) digesting.End(fileDigest);
    }
    std::fclose(file);
    return error;
}

}  // namespace

bool SaveSignatureTo(AppState& state, OperationObserver& observer, const char* path, const char* fileTitle)
{
    SaveError error = SaveSignatureFile(state, path, fileTitle);
    if (error != SaveError::None) {
        observer.Tell({MessageId::SaveFailed, static_cast<int64_t>(error)});
        return false;
    }
    NameSavedSignature(state, fileTitle);
    return true;
}

bool LoadSignatureFrom(AppState& state, OperationObserver& observer, const char* path, const char* fileTitle,
                       unsigned char* fileDigest, const StopToken* stop)
{
    LoadError error = LoadFromPath(state, path, fileTitle, fileDigest, stop);
    if (stop != nullptr && stop->Requested()) {
        error = error == LoadError::None ? LoadError::Stopped : error;
    } else if (error == LoadError::None) {
        return true;
    } else {
        observer.Tell({MessageId::LoadFailed, static_cast<int64_t>(error)});
    }
    ResetSignature(state);
    return false;
}
