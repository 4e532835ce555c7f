#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "sigfile/byte_stream.h"
#include "sigfile/signature_file.h"
#include "support/test_files.h"

namespace {

std::string chosenPath, chosenTitle;

BOOL ChooseScripted(HWND, char* path, char* fileTitle, const char*, const char*, const char*)
{
    std::strcpy(path, chosenPath.c_str());
    std::strcpy(fileTitle, chosenTitle.c_str());
    return TRUE;
}

// Passes a number of bytes to the file, then refuses.
struct BreakingSink : ByteSink {
    ByteSink* file = nullptr;
    size_t left = 0;
    size_t Write(const void* data, size_t size) override
    {
        size_t n = size < left ? size : left;
        left -= n;
        return file->Write(data, n);
    }
    bool Flush() override { return file->Flush(); }
} breaking;

ByteSink& BreakAfterSomeBytes(ByteSink& file)
{
    breaking.file = &file;
    return breaking;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int FilesIn(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    int n = 0;
    do n += !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
}

}  // namespace

TEST(SignatureFile, AFailedSaveLeavesTheOldFileAndTheNameAsTheyWereAndNothingBehind)
{
    std::string folder = MakeTestFolder("safe-save");
    SetSignatureFilePickers(ChooseScripted, nullptr);
    ResetSignature(nullptr);
    for (int i = 0; i < 3000; ++i) std::snprintf(appState.LoadedTable[i].path, RECORD_PATH_SIZE, "\\f%05d", i);
    chosenPath = folder + "\\kept.sig";
    chosenTitle = "kept.sig";
    WriteTestFile(chosenPath, "the old file");
    PublishText(appState.header.name, SIGNATURE_NAME_SIZE, "New signature");
    MessageRecorder recorder;
    const struct { const char* name; size_t goodBytes; const char* message; } cases[] = {
        {"no such folder\\kept.sig", 0, "Error: Could not create the signature file"},
        {"kept.sig", 100, "Error: Could not write signature info to file"},
        {"kept.sig", 5000, "Error: Could not write directory list to signature file"},
        {"kept.sig", 9000, "Error: Could not write file details to signature file"},
    };
    for (const auto& c : cases) {
        breaking.left = c.goodBytes;
        SetSaveSinkWrapper(c.goodBytes == 0 ? nullptr : BreakAfterSomeBytes);
        chosenPath = folder + "\\" + c.name;
        SaveSignatureFile(nullptr);
        EXPECT_EQ(MessageRecorder::shown.back(), std::string("Error creating signature file|") + c.message);
        EXPECT_EQ(ReadFile(folder + "\\kept.sig"), "the old file");
        EXPECT_STREQ(appState.header.name, "New signature");
        EXPECT_EQ(FilesIn(folder), 1) << "a temporary file was left behind";
    }
    // Once the stream works again, the file is replaced whole.
    SetSaveSinkWrapper(nullptr);
    SaveSignatureFile(nullptr);
    EXPECT_EQ(ReadFile(folder + "\\kept.sig").size(), 8264u + 3000u * (4 + 7 + 36));
    EXPECT_STREQ(appState.header.name, "kept.sig");
    EXPECT_EQ(FilesIn(folder), 1);
    EXPECT_EQ(MessageRecorder::shown.size(), 4u);
    SetSignatureFilePickers(nullptr, nullptr);
}
