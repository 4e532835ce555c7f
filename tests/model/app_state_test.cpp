#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/app_state.h"

// What the panel shows after a failed load or at start-up.
TEST(AppState, ResetLeavesNoSignatureAndALongTextKeepsItsEnd)
{
    std::memset(&appState.header, 0x5A, sizeof appState.header);
    appState.directoryList.count = 3;
    appState.scanFileCount = appState.scanDirectoryCount = appState.stopRequested = appState.calculateChecksums = 1;
    appState.scanTotalBytes = appState.currentChecksum = appState.currentAttributes = 1;
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, "\\a.txt");
    static HWND__* disabled = nullptr;  // the window whose Stop button was disabled
    SetDisableStopButtonHook([](HWND__* window) { disabled = window; });
    ResetSignature(reinterpret_cast<HWND__*>(&disabled));
    EXPECT_EQ(disabled, reinterpret_cast<HWND__*>(&disabled));
    EXPECT_STREQ(appState.header.name, "No signature loaded");
    EXPECT_EQ(std::memcmp(appState.header.magic, SIGNATURE_MAGIC, MAGIC_SIZE), 0);
    EXPECT_EQ(appState.header.fileCount + appState.header.directoryCount + appState.header.totalBytes, 0);
    EXPECT_EQ(appState.directoryList.count + appState.scanFileCount + appState.scanDirectoryCount + appState.scanTotalBytes +
              appState.stopRequested + appState.calculateChecksums + appState.currentChecksum + appState.currentAttributes, 0u);
    EXPECT_STREQ(appState.currentFile, "None");

    // A long text is shortened from the front, keeping its end.
    std::string longPath = "C:" + std::string(300, 'd') + "\\file.txt";
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, "kept");
    PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, longPath.c_str());
    EXPECT_EQ(std::string(appState.currentDirectory), "..." + longPath.substr(longPath.size() - 252));
    EXPECT_STREQ(appState.currentFile, "kept");  // nothing written past the field
    std::string fits(STATUS_TEXT_SIZE - 1, 'x');
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, fits.c_str());
    EXPECT_EQ(std::string(appState.currentFile), fits);
}
