#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "e2e/driver.h"
#include "support/test_files.h"
#include "ui/control_ids.h"

namespace {

const int IDLE_BUTTONS[] = {IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT, IDC_MAIN_CONFIG,
                            IDC_MAIN_SAVE, IDC_MAIN_LOAD, IDC_HELP_BUTTON, IDC_MAIN_ABOUT, IDC_MAIN_EXIT};

// A tree big enough that a scan with checksums is still running when the
// test acts on it.
const char LARGE_TREE[] = "Z:\\usr";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ResultFilePath()
{
    char documents[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    return std::string(documents) + "\\Quillory\\Olvarin\\olvarinresult.txt";
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The test prefix opens ".txt" files with a recorder that appends
        // their paths to this log.
        openLog = TestFilesRoot() + "\\opened.log";
        DeleteFileA(openLog.c_str());
        DeleteFileA(ResultFilePath().c_str());
        ASSERT_TRUE(program.started());
        window = program.mainWindow();
    }

    void Configure(const std::string& include, const std::string& exclude, bool checksums)
    {
        HWND dialog = program.OpenConfig();
        ASSERT_NE(dialog, nullptr);
        program.AddDirectory(dialog, include);
        if (!exclude.empty()) program.AddDirectory(dialog, exclude, 1);
        if (checksums) program.PressButton(dialog, IDC_CONFIG_CHECKSUMS);
        program.CloseConfig(dialog, IDOK);
    }

    bool Idle() const
    {
        if (program.Enabled(IDC_MAIN_STOP)) return false;
        for (int id : IDLE_BUTTONS) {
            if (!program.Enabled(id)) return false;
        }
        return program.Text(window, IDC_MAIN_STATUS) == "Stopped";
    }

    // Runs Create or Compare to its end, answering the one message box that
    // it may show; returns that box, or an empty title.
    ShownMessage Run(int command)
    {
        // Sent, not posted: it returns once the worker has been started.
        program.Command(window, command);
        ShownMessage shown;
        bool done = WaitUntil([&] {
            if (program.WaitForOwnedDialog(window, 0) != nullptr) {
                shown = program.AnswerMessageBox(window);
            }
            return Idle();
        }, 120000);
        EXPECT_TRUE(done);
        return shown;
    }

    void Save(const std::string& path)
    {
        program.Click(IDC_MAIN_SAVE);
        program.ChooseFile(path);
    }

    void Load(const std::string& path)
    {
        program.Click(IDC_MAIN_LOAD);
        program.ChooseFile(path);
    }

    int Number(int id) const { return std::atoi(program.Text(window, id).c_str()); }

    Program program;
    HWND window = nullptr;
    std::string openLog;
};

}  // namespace

TEST_F(Session, OperationsRefuseWithoutASignatureOrADirectory)
{
    // A cancelled Load leaves no signature to compare with.
    program.Click(IDC_MAIN_LOAD);
    HWND picker = program.WaitForOwnedDialog(window);
    ASSERT_NE(picker, nullptr);
    program.Click(picker, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker); }));
    Sleep(500);

    program.Click(IDC_MAIN_COMPARE);
    ShownMessage shown = program.AnswerMessageBox(window);
    EXPECT_EQ(shown.title, "Olvarin - No signature loaded");
    EXPECT_EQ(shown.text, "You need to create or load a signature file before\ndoing a compare operation");
    EXPECT_TRUE(WaitUntil([&] { return Idle(); }));

    program.Click(IDC_MAIN_CREATE);
    shown = program.AnswerMessageBox(window);
    EXPECT_EQ(shown.title, "Olvarin - No Directory Selected");
    EXPECT_EQ(shown.text,
              "You need to select a directory or disk to scan\nfrom the Config window before starting this operation.");
    EXPECT_TRUE(WaitUntil([&] { return Idle(); }));
    EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "No signature loaded");
}

TEST_F(Session, CreateSaveChangeLoadCompareWritesTheResultFile)
{
    std::string tree = MakeTestFolder("e2e-session-tree");
    MakeFolder(tree + "\\sub");
    MakeFolder(tree + "\\skip");
    WriteTestFile(tree + "\\a.txt", "alpha");
    WriteTestFile(tree + "\\b.txt", "bravo");
    WriteTestFile(tree + "\\sub\\c.txt", "charlie");
    WriteTestFile(tree + "\\skip\\x.txt", "x-ray");
    std::string signaturePath = MakeTestFolder("e2e-session-signatures") + "\\session.sig";
    // Without the drive letter the recorded paths start at the root.
    std::string recorded = tree.substr(2);

    Configure(tree, tree + "\\skip", true);
    EXPECT_EQ(Run(IDC_MAIN_CREATE).title, "");
    EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "New signature");
    EXPECT_EQ(program.Text(window, IDC_MAIN_FILES), "3");
    EXPECT_EQ(program.Text(window, IDC_MAIN_SCAN_FILES), "3");
    EXPECT_EQ(program.Text(window, IDC_MAIN_DIRECTORIES), program.Text(window, IDC_MAIN_SCAN_DIRECTORIES));
    EXPECT_EQ(program.Text(window, IDC_MAIN_TOTAL_SIZE), "0.0");
    EXPECT_NE(program.Text(window, IDC_MAIN_CURRENT_FILE), "None");

    Save(signaturePath);
    EXPECT_TRUE(WaitUntil([&] { return program.Text(window, IDC_MAIN_NAME) == "session.sig"; }));

    // Nothing changed yet.
    ShownMessage shown = Run(IDC_MAIN_COMPARE);
    EXPECT_EQ(shown.title, "OK - No difference");
    EXPECT_EQ(shown.text, "The signatures are identical. All files are the same");
    EXPECT_EQ(GetFileAttributesA(ResultFilePath().c_str()), INVALID_FILE_ATTRIBUTES);

    WriteTestFile(tree + "\\a.txt", "ALPHA");           // same size, new contents
    DeleteFileA((tree + "\\b.txt").c_str());            // missing
    WriteTestFile(tree + "\\d.txt", "delta");           // extra
    WriteTestFile(tree + "\\sub\\c.txt", "charlie!");   // new size
    WriteTestFile(tree + "\\skip\\x.txt", "x-ray!!");   // excluded

    // A fresh start: everything comes from the file.
    Program second;
    ASSERT_TRUE(second.started());
    program.Click(IDC_MAIN_EXIT);
    ASSERT_TRUE(program.WaitForExit());
    HWND secondWindow = second.mainWindow();
    second.Click(IDC_MAIN_LOAD);
    second.ChooseFile(signaturePath);
    EXPECT_TRUE(WaitUntil([&] { return second.Text(secondWindow, IDC_MAIN_NAME) == "session.sig"; }));
    EXPECT_EQ(second.Text(secondWindow, IDC_MAIN_FILES), "3");
    EXPECT_EQ(second.Text(secondWindow, IDC_MAIN_CHECKSUM), "0");  // checksums came back on

    second.Command(secondWindow, IDC_MAIN_COMPARE);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(openLog).find("olvarinresult.txt") != std::string::npos; }, 60000));
    EXPECT_TRUE(WaitUntil([&] { return !second.Enabled(IDC_MAIN_STOP) && second.Enabled(IDC_MAIN_CREATE); }));
    EXPECT_TRUE(second.NoOwnedDialogFor(secondWindow, 300));

    std::string expected =
        "**** Olvarin Result file V1.3 build 1001 ****\r\n"
        "\r\n"
        "**** Extra files on this PC ****\r\n" + recorded + "\\d.txt\r\n"
        "**** Missing files on this PC ****\r\n" + recorded + "\\b.txt\r\n"
        "**** Files that are different in size ****\r\n" + recorded + "\\sub\\c.txt\r\n"
        "**** Files that have a different checksum ****\r\n" + recorded + "\\a.txt\r\n";
    EXPECT_EQ(ReadFile(ResultFilePath()), expected);
    EXPECT_EQ(ReadFile(openLog), ResultFilePath() + "\n");

    // "View result" opens the same file again.
    second.Click(IDC_MAIN_VIEW_RESULT);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(openLog) == ResultFilePath() + "\n" + ResultFilePath() + "\n"; }));
}

TEST_F(Session, StopDuringCreateKeepsWhatWasScanned)
{
    Configure(LARGE_TREE, "", true);
    program.Click(IDC_MAIN_CREATE);
    ASSERT_TRUE(WaitUntil([&] {
        return program.Text(window, IDC_MAIN_STATUS) == "Building O/S signature" && Number(IDC_MAIN_SCAN_FILES) > 0;
    }, 60000));
    // While it runs only Stop can be used.
    EXPECT_TRUE(program.Enabled(IDC_MAIN_STOP));
    for (int id : IDLE_BUTTONS) {
        EXPECT_FALSE(program.Enabled(id)) << id;
    }
    EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "A new signature is being created");

    program.Click(IDC_MAIN_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Idle() && program.Text(window, IDC_MAIN_NAME) == "New signature"; }, 60000));
    int files = Number(IDC_MAIN_FILES);
    EXPECT_GT(files, 0);
    EXPECT_EQ(files, Number(IDC_MAIN_SCAN_FILES));
    // The panel stops following: nothing moves any more.
    std::string size = program.Text(window, IDC_MAIN_SCAN_TOTAL_SIZE);
    Sleep(500);
    EXPECT_EQ(Number(IDC_MAIN_SCAN_FILES), files);
    EXPECT_EQ(program.Text(window, IDC_MAIN_SCAN_TOTAL_SIZE), size);
}

TEST_F(Session, ClosingTheWindowDuringAScanEndsTheProgram)
{
    Configure(LARGE_TREE, "", true);
    program.Click(IDC_MAIN_CREATE);
    ASSERT_TRUE(WaitUntil([&] {
        return program.Text(window, IDC_MAIN_STATUS) == "Building O/S signature" && Number(IDC_MAIN_SCAN_FILES) > 0;
    }, 60000));
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000));
    DWORD code = 1;
    GetExitCodeProcess(program.process(), &code);
    EXPECT_EQ(code, 0u);
}
