#include "model/app_state.h"

#include <cstring>

AppState& appState = *new AppState();

namespace {

DisableStopButtonHook disableStopButton = nullptr;

constexpr char NO_SIGNATURE_NAME[] = "No signature loaded";
constexpr char NONE_TEXT[] = "None";

}  // namespace

void SetDisableStopButtonHook(DisableStopButtonHook hook)
{
    disableStopButton = hook;
}

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

void PublishText(char* field, int fieldSize, const char* text)
{
    std::lock_guard<std::mutex> lock(appState.textLock);
    CopyKeepingEnd(field, static_cast<size_t>(fieldSize), text);
}

void ReadPublishedText(const char* field, char* buffer, int bufferSize)
{
    std::lock_guard<std::mutex> lock(appState.textLock);
    std::strncpy(buffer, field, static_cast<size_t>(bufferSize) - 1);
    buffer[bufferSize - 1] = '\0';
}

void ClearCurrentFile()
{
    appState.currentFileTimeLow.store(0, std::memory_order_relaxed);
    appState.currentFileTimeHigh.store(0, std::memory_order_relaxed);
    appState.currentAttributes.store(0, std::memory_order_relaxed);
    appState.currentFileSize.store(0, std::memory_order_relaxed);
    appState.currentChecksum.store(0, std::memory_order_relaxed);
    PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, NONE_TEXT);
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, NONE_TEXT);
}

void ClearScanCounts()
{
    appState.scanDirectoryCount.store(0, std::memory_order_relaxed);
    appState.scanFileCount.store(0, std::memory_order_relaxed);
    appState.scanTotalBytes.store(0, std::memory_order_relaxed);
    appState.scanSkippedCount.store(0, std::memory_order_relaxed);
    ClearCurrentFile();
}

void PublishCurrentFile(const char* path, const FileDetails& details)
{
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, path);
    appState.currentFileTimeLow.store(details.creationTime.dwLowDateTime, std::memory_order_relaxed);
    appState.currentFileTimeHigh.store(details.creationTime.dwHighDateTime, std::memory_order_relaxed);
    appState.currentAttributes.store(details.attributes, std::memory_order_relaxed);
    appState.currentFileSize.store(static_cast<int64_t>(details.size), std::memory_order_relaxed);
}

void ResetSignature(HWND__* window)
{
    {
        std::lock_guard<std::mutex> lock(appState.textLock);
        std::memset(&appState.header, 0, sizeof appState.header);
        std::memcpy(appState.header.name, NO_SIGNATURE_NAME, sizeof NO_SIGNATURE_NAME);
        std::memcpy(appState.header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
        appState.header.layoutVersion = 1;
    }
    appState.operationStatus.store(Stopped, std::memory_order_relaxed);
    ClearScanCounts();
    appState.signatureLoaded.store(0, std::memory_order_relaxed);
    appState.stopRequested.store(0, std::memory_order_relaxed);
    appState.includeDriveLetter.store(0, std::memory_order_relaxed);
    appState.calculateChecksums.store(0, std::memory_order_relaxed);
    appState.useSha256.store(0, std::memory_order_relaxed);
    std::memset(&appState.directoryList, 0, sizeof appState.directoryList);
    // A save after a reset, or after a load that failed part way, must
    // write no record of an earlier signature.
    appState.LoadedTable.Clear();
    if (window != nullptr && disableStopButton != nullptr) {
        disableStopButton(window);
    }
}
