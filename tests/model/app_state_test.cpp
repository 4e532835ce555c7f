#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/app_state.h"

namespace {

HWND__* disabledWindow = nullptr;
void RecordDisable(HWND__* window) { disabledWindow = window; }

void Dirty()
{
    std::memset(&appState.header, 0x5A, sizeof appState.header);
    std::memset(&appState.directoryList, 0x5A, sizeof appState.directoryList);
    appState.operationStatus = Building;
    appState.operationMode = Compare;
    appState.scanDirectoryCount = 4;
    appState.scanFileCount = 7;
    appState.scanTotalBytes = 99;
    appState.currentChecksum = 5;
    appState.currentFileSize = 3;
    appState.currentAttributes = 0x20;
    appState.currentFileTimeLow = 1;
    appState.currentFileTimeHigh = 2;
    appState.signatureLoaded = 1;
    appState.stopRequested = 1;
    appState.fileLimitReached = 1;
    appState.includeDriveLetter = 1;
    appState.calculateChecksums = 1;
    std::strcpy(appState.LoadedTable[0].path, "\\kept.txt");
    std::strcpy(appState.currentFile, "x");
}

}  // namespace

TEST(ResetSignature, GivesTheNoSignatureLoadedState)
{
    Dirty();
    ResetSignature(nullptr);

    const SignatureHeader& h = appState.header;
    EXPECT_STREQ(h.name, "No signature loaded");
    EXPECT_EQ(std::memcmp(h.magic, SIGNATURE_MAGIC, MAGIC_SIZE), 0);
    EXPECT_EQ(h.layoutVersion, 1);
    EXPECT_EQ(h.directoryCount, 0);
    EXPECT_EQ(h.fileCount, 0);
    EXPECT_EQ(h.totalBytes, 0);
    EXPECT_EQ(h.legacyDriveLetterFlag, 0);
    // Every byte after the name's NUL is zero, reserved bytes included.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&h);
    for (size_t i = 50 + sizeof "No signature loaded"; i < sizeof h; ++i) {
        if (i == 329) continue;  // layoutVersion
        ASSERT_EQ(bytes[i], 0) << "header byte " << i;
    }
    for (size_t i = MAGIC_SIZE; i < 50; ++i) {
        ASSERT_EQ(bytes[i], 0) << "header byte " << i;
    }

    EXPECT_EQ(appState.operationStatus, Stopped);
    EXPECT_EQ(appState.scanDirectoryCount, 0);
    EXPECT_EQ(appState.scanFileCount, 0);
    EXPECT_EQ(appState.scanTotalBytes, 0u);
    EXPECT_EQ(appState.currentChecksum, 0u);
    EXPECT_EQ(appState.signatureLoaded, 0);
    EXPECT_EQ(appState.stopRequested, 0);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    EXPECT_EQ(appState.calculateChecksums, 0);
    EXPECT_STREQ(appState.currentFile, "None");
    EXPECT_STREQ(appState.currentDirectory, "None");
    EXPECT_EQ(appState.currentFileTimeLow, 0u);
    EXPECT_EQ(appState.currentFileTimeHigh, 0u);
    EXPECT_EQ(appState.currentFileSize, 0);
    EXPECT_EQ(appState.currentAttributes, 0u);

    DirectoryList empty = {};
    EXPECT_EQ(std::memcmp(&appState.directoryList, &empty, sizeof empty), 0);

    // Left as they were.
    EXPECT_STREQ(appState.LoadedTable[0].path, "\\kept.txt");
    EXPECT_EQ(appState.operationMode, Compare);
    EXPECT_EQ(appState.fileLimitReached, 1);
}

TEST(ResetSignature, DisablesStopOnlyWhenThereIsAWindow)
{
    SetDisableStopButtonHook(RecordDisable);
    disabledWindow = nullptr;
    ResetSignature(nullptr);
    EXPECT_EQ(disabledWindow, nullptr);

    HWND__* window = reinterpret_cast<HWND__*>(0x1234);
    ResetSignature(window);
    EXPECT_EQ(disabledWindow, window);
    SetDisableStopButtonHook(nullptr);
}

TEST(PublishText, ShortensALongTextFromTheFrontKeepingItsEnd)
{
    std::string longPath = "C:" + std::string(300, 'd') + "\\file.txt";
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, longPath.c_str());
    std::string shown = appState.currentFile;
    EXPECT_EQ(shown.size(), 255u);
    EXPECT_EQ(shown.substr(0, 3), "...");
    EXPECT_EQ(shown.substr(shown.size() - 9), "\\file.txt");

    std::string fits(255, 'x');
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, fits.c_str());
    EXPECT_EQ(std::string(appState.currentFile), fits);
}
