#include "model/app_state.h"

#include <cstring>

namespace {

constexpr char NO_SIGNATURE_NAME[] = "No signature loaded";
constexpr char NONE_TEXT[] = "None";

}  // namespace

void CopyKeepingEnd(char* buffer, size_t bufferSize, const char* text)
{
    size_t length = std::strlen(text);
    size_t room = bufferSize - 1;
    if (length <= room) {
        std::memcpy(buffer, text, length + 1);
        return;
    }
    std::memcpy(buffer, "...", 3);
    std::memcpy(buffer + 3, text + length - (room - 3), room - 3);
    buffer[room] = '\0';
}

void AppState::PublishText(char* field, int fieldSize, const char* text)
{
    std::lock_guard<std::mutex> lock(textLock);
    CopyKeepingEnd(field, static_cast<size_t>(fieldSize), text);
}

void AppState::ReadPublishedText(const char* field, char* buffer, int bufferSize)
{
    std::lock_guard<std::mutex> lock(textLock);
    std::strncpy(buffer, field, static_cast<size_t>(bufferSize) - 1);
    buffer[bufferSize - 1] = '\0';
}

void AppState::ClearCurrentFile()
{
    currentFileTimeLow.store(0, std::memory_order_relaxed);
    currentFileTimeHigh.store(0, std::memory_order_relaxed);
    currentAttributes.store(0, std::memory_order_relaxed);
    currentFileSize.store(0, std::memory_order_relaxed);
    currentChecksum.store(0, std::memory_order_relaxed);
    PublishText(currentDirectory, STATUS_TEXT_SIZE, NONE_TEXT);
    PublishText(currentFile, STATUS_TEXT_SIZE, NONE_TEXT);
}

void AppState::ClearScanCounts()
{
    scanDirectoryCount.store(0, std::memory_order_relaxed);
    scanFileCount.store(0, std::memory_order_relaxed);
    scanTotalBytes.store(0, std::memory_order_relaxed);
    scanSkippedCount.store(0, std::memory_order_relaxed);
    ClearCurrentFile();
}

void AppState::PublishCurrentFile(const char* path, const FileDetails& details)
{
    PublishText(currentFile, STATUS_TEXT_SIZE, path);
    currentFileTimeLow.store(details.creationTime.dwLowDateTime, std::memory_order_relaxed);
    currentFileTimeHigh.store(details.creationTime.dwHighDateTime, std::memory_order_relaxed);
    currentAttributes.store(details.attributes, std::memory_order_relaxed);
    currentFileSize.store(static_cast<int64_t>(details.size), std::memory_order_relaxed);
}

void ResetSignature(AppState& state)
{
    {
        std::lock_guard<std::mutex> lock(state.textLock);
        std::memset(&state.header, 0, sizeof state.header);
        std::memcpy(state.header.name, NO_SIGNATURE_NAME, sizeof NO_SIGNATURE_NAME);
        std::memcpy(state.header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
        state.header.layoutVersion = 1;
    }
    state.operationStatus.store(Stopped, std::memory_order_relaxed);
    state.ClearScanCounts();
    state.signatureLoaded.store(0, std::memory_order_relaxed);
    state.includeDriveLetter.store(0, std::memory_order_relaxed);
    state.calculateChecksums.store(0, std::memory_order_relaxed);
    state.useSha256.store(0, std::memory_order_relaxed);
    std::memset(&state.directoryList, 0, sizeof state.directoryList);
    // A save after a reset, or after a load that failed part way, must
    // write no record of an earlier signature.
    state.LoadedTable.Clear();
}
