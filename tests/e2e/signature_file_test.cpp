#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "support/signature_bytes.h"
#include "support/test_files.h"
#include "ui/control_ids.h"

namespace {

using Rows = std::vector<std::string>;

SignatureBytes GoodSignature()
{
    SignatureBytes file(LAYOUT_CURRENT);
    file.header.directoryCount = 2;
    file.header.fileCount = 3;
    file.header.totalBytes = 1572864;
    file.list.calculateChecksums = 1;
    file.Directory("C:\\data", 1).Directory("C:\\data\\tmp", 2);
    file.Record("\\data\\a.txt", 1).Record("\\data\\b.txt", 2).Record("\\data\\c.txt", 3);
    return file;
}

class SignatureFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeTestFolder("e2e-signatures");
        ASSERT_TRUE(program.started());
    }

    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        WriteTestFile(folder + "\\" + name, std::string(bytes.begin(), bytes.end()));
        return folder + "\\" + name;
    }

    std::vector<unsigned char> Read(const std::string& name)
    {
        std::ifstream in(folder + "\\" + name, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    Program program;
    std::string folder;
};

}  // namespace

TEST_F(SignatureFiles, LoadShowsTheFileAndItsDirectoriesAndACancelledPickerKeepsThem)
{
    program.ChooseFile(IDC_MAIN_LOAD, Write("good.sig", GoodSignature().Bytes()));
    EXPECT_TRUE(program.FieldBecomes(IDC_MAIN_NAME, "good.sig"));
    EXPECT_EQ(program.Field(IDC_MAIN_DIRECTORIES), "2");
    EXPECT_EQ(program.Field(IDC_MAIN_FILES), "3");
    EXPECT_EQ(program.Field(IDC_MAIN_TOTAL_SIZE), "1.5");
    EXPECT_EQ(program.Field(IDC_MAIN_CHECKSUM), "0");  // the file's options come with it

    HWND dialog = program.OpenConfig();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\data|Include", "C:\\data\\tmp|Exclude"}));
    EXPECT_TRUE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));
    program.CloseConfig(dialog, IDCANCEL);

    program.ChooseFile(IDC_MAIN_LOAD);
    EXPECT_EQ(program.Field(IDC_MAIN_NAME), "good.sig");
    EXPECT_EQ(program.Field(IDC_MAIN_FILES), "3");
}

TEST_F(SignatureFiles, DamagedFilesShowTheirNumberedErrorAndUnloadTheSignature)
{
    std::string good = Write("good.sig", GoodSignature().Bytes());
    const struct {
        const char* name;
        std::function<std::vector<unsigned char>(SignatureBytes&)> damage;
        const char* text;
    } damages[] = {
        {"short.sig", [](SignatureBytes& f) { return f.Bytes(f.Bytes().size() - 335); },
         "Error: Could not read signature info from the signature file (01)"},
        {"magic.sig", [](SignatureBytes& f) { f.header.magic[0] = 'X'; return f.Bytes(); },
         "Error: Corrupt signature file (02)"},
        {"newer.sig", [](SignatureBytes& f) { f.header.layoutVersion = 2; return f.Bytes(); },
         "Error: File layout is not supported.\nFile was probably created by a newer version of Olvarin (03)"},
        {"cutlist.sig", [](SignatureBytes&) { return SignatureBytes(LAYOUT_CURRENT).Bytes(1); },
         "Error: Could not read the directory list from the signature file (05)"},
        {"toomany.sig", [](SignatureBytes& f) { f.list.count = 31; return f.Bytes(); },
         "Error: Corrupt signature file (06)"},
        {"length.sig", [](SignatureBytes& f) { f.RawRecord(300, std::string(300, 'x')); return f.Bytes(); },
         "Error: Invalid length data found in signature file (08)"},
        {"missing.sig", nullptr, "Error: Could not create the signature file"},  // a typed name
    };
    for (size_t i = 0; i < std::size(damages); ++i) {
        SCOPED_TRACE(damages[i].name);
        if (i % 3 == 0) {  // some with a signature loaded before, the rest without
            program.ChooseFile(IDC_MAIN_LOAD, good);
            ASSERT_TRUE(program.FieldBecomes(IDC_MAIN_NAME, "good.sig"));
        }
        SignatureBytes file = GoodSignature();
        std::string path = folder + "\\" + damages[i].name;
        if (damages[i].damage) Write(damages[i].name, damages[i].damage(file));
        program.ChooseFile(IDC_MAIN_LOAD, path);
        ShownMessage shown = program.AnswerMessageBox(program.mainWindow());
        EXPECT_EQ(shown.title, "Error reading signature file");
        EXPECT_EQ(shown.text, damages[i].text);
        EXPECT_TRUE(program.FieldBecomes(IDC_MAIN_NAME, "No signature loaded"));
        const struct { int id; const char* text; } fields[] = {
            {IDC_MAIN_DIRECTORIES, "0"}, {IDC_MAIN_FILES, "0"}, {IDC_MAIN_TOTAL_SIZE, "0.0"}, {IDC_MAIN_CHECKSUM, "N/A"}};
        for (const auto& field : fields) EXPECT_EQ(program.Field(field.id), field.text) << field.id;
        EXPECT_FALSE(program.Enabled(IDC_MAIN_STOP));
    }
}

TEST_F(SignatureFiles, SaveWritesTheDirectoryListInItsSlots)
{
    // Slots 0 to 2, then slot 0 freed and filled again by the next addition.
    HWND dialog = program.OpenConfig();
    ASSERT_NE(dialog, nullptr);
    program.AddDirectory(dialog, "C:\\first");
    program.AddDirectory(dialog, "C:\\second", 1);
    program.AddDirectory(dialog, "C:\\third");
    program.SelectRows(dialog, {2});  // the first one added
    program.Command(dialog, IDC_CONFIG_REMOVE);
    program.AddDirectory(dialog, "C:\\fourth");
    program.CloseConfig(dialog, IDOK);

    // Saving again over the file asks first; Yes writes it again.
    for (int time = 0; time < 2; ++time) {
        program.ChooseFile(IDC_MAIN_SAVE, folder + "\\saved.sig");
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(WaitUntil([&] { return (bytes = Read("saved.sig")).size() == HEADER_SIZE + DIRECTORY_LIST_SIZE; }));
        EXPECT_EQ(program.Field(IDC_MAIN_NAME), "saved.sig");
        SignatureHeader header;
        DirectoryList list;
        std::memcpy(&header, bytes.data(), sizeof header);
        std::memcpy(&list, bytes.data() + HEADER_SIZE, sizeof list);
        EXPECT_STREQ(header.name, "saved.sig");
        EXPECT_EQ(header.layoutVersion, 1);
        EXPECT_EQ(list.count, 3);
        const struct { const char* path; int action; } slots[] = {
            {"C:\\fourth", Include}, {"C:\\second", Exclude}, {"C:\\third", Include}, {"", Empty}};
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_STREQ(list.paths[slot], slots[slot].path) << slot;
            EXPECT_EQ(list.actions[slot], slots[slot].action) << slot;
        }
        WriteTestFile(folder + "\\saved.sig", "old");
    }
}
