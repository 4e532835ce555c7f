#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "support/signature_bytes.h"
#include "support/test_files.h"
#include "ui/control_ids.h"

namespace {

const char LOAD_TITLE[] = "Error reading signature file";

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    WriteTestFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
        window = program.mainWindow();
    }

    void Load(const std::string& path)
    {
        program.Click(IDC_MAIN_LOAD);
        program.ChooseFile(path);
    }

    void ExpectNoSignature()
    {
        EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "No signature loaded");
        EXPECT_EQ(program.Text(window, IDC_MAIN_DIRECTORIES), "0");
        EXPECT_EQ(program.Text(window, IDC_MAIN_FILES), "0");
        EXPECT_EQ(program.Text(window, IDC_MAIN_TOTAL_SIZE), "0.0");
        EXPECT_EQ(program.Text(window, IDC_MAIN_CHECKSUM), "N/A");
        EXPECT_FALSE(program.Enabled(IDC_MAIN_STOP));
    }

    Program program;
    HWND window = nullptr;
    std::string folder;
};

}  // namespace

TEST_F(SignatureFiles, LoadShowsTheFileAndItsDirectories)
{
    std::string path = folder + "\\good.sig";
    WriteBytes(path, GoodSignature().Bytes());
    Load(path);
    EXPECT_TRUE(WaitUntil([&] { return program.Text(window, IDC_MAIN_NAME) == "good.sig"; }));
    EXPECT_EQ(program.Text(window, IDC_MAIN_DIRECTORIES), "2");
    EXPECT_EQ(program.Text(window, IDC_MAIN_FILES), "3");
    EXPECT_EQ(program.Text(window, IDC_MAIN_TOTAL_SIZE), "1.5");
    // The file's options come with it: checksums are on.
    EXPECT_EQ(program.Text(window, IDC_MAIN_CHECKSUM), "0");

    HWND dialog = program.OpenConfig();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program.Rows(dialog), (std::vector<std::string>{"C:\\data|Include", "C:\\data\\tmp|Exclude"}));
    EXPECT_TRUE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));
    program.CloseConfig(dialog, IDCANCEL);

    // A cancelled picker changes nothing.
    program.Click(IDC_MAIN_LOAD);
    HWND picker = program.WaitForOwnedDialog(window);
    ASSERT_NE(picker, nullptr);
    program.Click(picker, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker); }));
    Sleep(500);
    EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "good.sig");
    EXPECT_EQ(program.Text(window, IDC_MAIN_FILES), "3");
}

TEST_F(SignatureFiles, DamagedFilesShowTheirNumberedErrorAndUnloadTheSignature)
{
    std::string good = folder + "\\good.sig";
    WriteBytes(good, GoodSignature().Bytes());

    struct Damage {
        const char* name;
        std::vector<unsigned char> bytes;
        const char* text;
    };
    std::vector<Damage> damages;
    damages.push_back({"short.sig", GoodSignature().Bytes(GoodSignature().Bytes().size() - 335),
                       "Error: Could not read signature info from the signature file (01)"});
    SignatureBytes badMagic = GoodSignature();
    badMagic.header.magic[0] = 'X';
    damages.push_back({"magic.sig", badMagic.Bytes(), "Error: Corrupt signature file (02)"});
    SignatureBytes newer = GoodSignature();
    newer.header.layoutVersion = 2;
    damages.push_back({"newer.sig", newer.Bytes(),
                       "Error: File layout is not supported.\nFile was probably created by a newer version of "
                       "Olvarin (03)"});
    SignatureBytes cutList(LAYOUT_CURRENT);
    damages.push_back({"cutlist.sig", cutList.Bytes(1),
                       "Error: Could not read the directory list from the signature file (05)"});
    SignatureBytes tooMany = GoodSignature();
    tooMany.list.count = 31;
    damages.push_back({"toomany.sig", tooMany.Bytes(), "Error: Corrupt signature file (06)"});
    SignatureBytes badLength = GoodSignature();
    badLength.RawRecord(300, std::string(300, 'x'));
    damages.push_back({"length.sig", badLength.Bytes(), "Error: Invalid length data found in signature file (08)"});

    for (size_t i = 0; i < damages.size(); ++i) {
        const Damage& damage = damages[i];
        SCOPED_TRACE(damage.name);
        // Some with a signature loaded before, the rest without one.
        if (i % 3 == 0) {
            Load(good);
            ASSERT_TRUE(WaitUntil([&] { return program.Text(window, IDC_MAIN_NAME) == "good.sig"; }));
        }
        std::string path = folder + "\\" + damage.name;
        WriteBytes(path, damage.bytes);
        Load(path);
        ShownMessage shown = program.AnswerMessageBox(window);
        EXPECT_EQ(shown.title, LOAD_TITLE);
        EXPECT_EQ(shown.text, damage.text);
        EXPECT_TRUE(WaitUntil([&] { return program.Text(window, IDC_MAIN_NAME) == "No signature loaded"; }));
        ExpectNoSignature();
    }

    // A typed name of a file that is not there.
    Load(folder + "\\missing.sig");
    ShownMessage shown = program.AnswerMessageBox(window);
    EXPECT_EQ(shown.title, LOAD_TITLE);
    EXPECT_EQ(shown.text, "Error: Could not create the signature file");
    ExpectNoSignature();
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

    std::string path = folder + "\\saved.sig";
    program.Click(IDC_MAIN_SAVE);
    program.ChooseFile(path);
    ASSERT_TRUE(WaitUntil([&] { return program.Text(window, IDC_MAIN_NAME) == "saved.sig"; }));

    std::vector<unsigned char> bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), HEADER_SIZE + DIRECTORY_LIST_SIZE);
    SignatureHeader header;
    DirectoryList list;
    std::memcpy(&header, bytes.data(), sizeof header);
    std::memcpy(&list, bytes.data() + HEADER_SIZE, sizeof list);
    EXPECT_STREQ(header.name, "saved.sig");
    EXPECT_EQ(header.layoutVersion, 1);
    EXPECT_EQ(list.count, 3);
    EXPECT_STREQ(list.paths[0], "C:\\fourth");
    EXPECT_STREQ(list.paths[1], "C:\\second");
    EXPECT_STREQ(list.paths[2], "C:\\third");
    EXPECT_EQ(list.actions[0], Include);
    EXPECT_EQ(list.actions[1], Exclude);
    EXPECT_EQ(list.actions[2], Include);
    EXPECT_EQ(list.actions[3], Empty);

    // Saving over it asks first; the answer Yes writes it again.
    program.Click(IDC_MAIN_SAVE);
    program.ChooseFile(path);
    EXPECT_EQ(ReadBytes(path).size(), HEADER_SIZE + DIRECTORY_LIST_SIZE);
    EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "saved.sig");
}
