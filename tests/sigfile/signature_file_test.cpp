#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "model/app_state.h"
#include "operation/wording.h"
#include "sigfile/byte_stream.h"
#include "sigfile/signature_file.h"
#include "support/test_files.h"

namespace {

std::string folder;

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

}  // namespace

TEST(SignatureFile, AFailedSaveLeavesTheOldFileAndTheNameAsTheyWereAndNothingBehind)
{
    folder = MakeTestFolder("safe-save");
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    ResetSignature(appState);
    for (int i = 0; i < 3000; ++i) appState.LoadedTable.Append(("\\f" + std::to_string(100000 + i).substr(1)).c_str(), 7, {});
    WriteTestFile(folder + "\\kept.sig", "the old file");
    const struct { const char* name; size_t goodBytes; const char* message; } cases[] = {
        {"no such folder\\kept.sig", 0, "Error: Could not create the signature file"},
        {"kept.sig", 100, "Error: Could not write signature info to file"},
        {"kept.sig", 5000, "Error: Could not write directory list to signature file"},
        {"kept.sig", 9000, "Error: Could not write file details to signature file"},
    };
    for (const auto& c : cases) {
        breaking.left = c.goodBytes;
        const SaveSinkWrapper wrap = +[](ByteSink& file) -> ByteSink& {
            breaking.file = &file;
            return breaking;
        };
        SaveError error = SaveSignatureFile(appState, (folder + "\\" + c.name).c_str(), "kept.sig", c.goodBytes ? wrap : nullptr);
        EXPECT_EQ(WindowWording({MessageId::SaveFailed, static_cast<int64_t>(error)}).text, c.message);
        EXPECT_EQ(ReadWholeFile(folder + "\\kept.sig"), "the old file");
        EXPECT_STREQ(appState.header.name, "No signature loaded");
        WIN32_FIND_DATAA left;
        EXPECT_EQ(FindFirstFileA((folder + "\\sig*").c_str(), &left), INVALID_HANDLE_VALUE) << left.cFileName;
    }
}
