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
    }

    void Configure(const std::string& include, const std::string& exclude)
    {
        HWND dialog = program.OpenConfig();
        ASSERT_NE(dialog, nullptr);
        program.AddDirectory(dialog, include);
        if (!exclude.empty()) program.AddDirectory(dialog, exclude, 1);
        program.PressButton(dialog, IDC_CONFIG_CHECKSUMS);
        program.CloseConfig(dialog, IDOK);
    }

    static bool Idle(const Program& p)
    {
        for (int id : IDLE_BUTTONS) {
            if (!p.Enabled(id)) return false;
        }
        return !p.Enabled(IDC_MAIN_STOP) && p.Field(IDC_MAIN_STATUS) == "Stopped";
    }

    // Runs Create or Compare to its end, answering the one message box it
    // may show; returns that box, or an empty title.
    ShownMessage Run(int command)
    {
        program.Command(program.mainWindow(), command);  // returns once the worker has started
        ShownMessage shown;
        EXPECT_TRUE(WaitUntil([&] {
            if (program.WaitForOwnedDialog(program.mainWindow(), 0) != nullptr) {
                shown = program.AnswerMessageBox(program.mainWindow());
            }
            return Idle(program);
        }, 120000));
        return shown;
    }

    // Starts a Create of a tree large enough to be still running when the
    // test acts on it.
    void StartLargeCreate()
    {
        Configure("Z:\\usr", "");
        program.Click(IDC_MAIN_CREATE);
        ASSERT_TRUE(WaitUntil([&] {
            return program.Field(IDC_MAIN_STATUS) == "Building O/S signature" &&
                   std::atoi(program.Field(IDC_MAIN_SCAN_FILES).c_str()) > 0;
        }, 60000));
    }

    Program program;
    std::string openLog;
};

}  // namespace

TEST_F(Session, RefusalsThenCreateSaveChangeLoadCompareWritesTheResultFile)
{
    program.Click(IDC_MAIN_COMPARE);  // the refusal is shown before the command returns
    ShownMessage shown = program.AnswerMessageBox(program.mainWindow());
    EXPECT_EQ(shown.title, "Olvarin - No signature loaded");
    EXPECT_EQ(shown.text, "You need to create or load a signature file before\ndoing a compare operation");
    program.Click(IDC_MAIN_CREATE);
    shown = program.AnswerMessageBox(program.mainWindow());
    EXPECT_EQ(shown.title, "Olvarin - No Directory Selected");
    EXPECT_EQ(shown.text,
              "You need to select a directory or disk to scan\nfrom the Config window before starting this operation.");
    EXPECT_TRUE(WaitUntil([&] { return Idle(program); }));
    EXPECT_EQ(program.Field(IDC_MAIN_NAME), "No signature loaded");

    std::string tree = MakeTestFolder("e2e-session-tree");
    MakeFolder(tree + "\\sub");
    MakeFolder(tree + "\\skip");
    for (const char* name : {"a", "b", "sub\\c", "skip\\x"}) WriteTestFile(tree + "\\" + name + ".txt", name);
    std::string signaturePath = MakeTestFolder("e2e-session-signatures") + "\\session.sig";

    Configure(tree, tree + "\\skip");
    EXPECT_EQ(Run(IDC_MAIN_CREATE).title, "");
    EXPECT_EQ(program.Field(IDC_MAIN_NAME), "New signature");
    EXPECT_EQ(program.Field(IDC_MAIN_FILES), "3");
    EXPECT_EQ(program.Field(IDC_MAIN_SCAN_FILES), "3");
    EXPECT_EQ(program.Field(IDC_MAIN_DIRECTORIES), program.Field(IDC_MAIN_SCAN_DIRECTORIES));
    EXPECT_NE(program.Field(IDC_MAIN_CURRENT_FILE), "None");
    program.ChooseFile(IDC_MAIN_SAVE, signaturePath);
    EXPECT_TRUE(program.FieldBecomes(IDC_MAIN_NAME, "session.sig"));

    shown = Run(IDC_MAIN_COMPARE);  // nothing changed yet
    EXPECT_EQ(shown.title, "OK - No difference");
    EXPECT_EQ(shown.text, "The signatures are identical. All files are the same");
    EXPECT_EQ(GetFileAttributesA(ResultFilePath().c_str()), INVALID_FILE_ATTRIBUTES);

    WriteTestFile(tree + "\\a.txt", "A");             // same size, new contents
    DeleteFileA((tree + "\\b.txt").c_str());          // missing
    WriteTestFile(tree + "\\d.txt", "d");             // extra
    WriteTestFile(tree + "\\sub\\c.txt", "sub\\c!");  // new size
    WriteTestFile(tree + "\\skip\\x.txt", "x!!");     // excluded

    // A fresh start: everything comes from the file.
    Program second;
    ASSERT_TRUE(second.started());
    program.Click(IDC_MAIN_EXIT);
    ASSERT_TRUE(program.EndsCleanly());
    second.ChooseFile(IDC_MAIN_LOAD, signaturePath);
    EXPECT_TRUE(second.FieldBecomes(IDC_MAIN_NAME, "session.sig"));
    EXPECT_EQ(second.Field(IDC_MAIN_FILES), "3");
    EXPECT_EQ(second.Field(IDC_MAIN_CHECKSUM), "0");  // checksums came back on

    second.Command(second.mainWindow(), IDC_MAIN_COMPARE);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(openLog).find("olvarinresult.txt") != std::string::npos; }, 60000));
    EXPECT_TRUE(WaitUntil([&] { return Idle(second); }));
    EXPECT_TRUE(second.NoOwnedDialogFor(second.mainWindow(), 300));

    std::string recorded = tree.substr(2);  // without the drive letter
    EXPECT_EQ(ReadFile(ResultFilePath()),
              "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n"
              "**** Extra files on this PC ****\r\n" + recorded + "\\d.txt\r\n"
              "**** Missing files on this PC ****\r\n" + recorded + "\\b.txt\r\n"
              "**** Files that are different in size ****\r\n" + recorded + "\\sub\\c.txt\r\n"
              "**** Files that have a different checksum ****\r\n" + recorded + "\\a.txt\r\n");
    EXPECT_EQ(ReadFile(openLog), ResultFilePath() + "\n");
    {
        // The console program's report for the same signature and tree is the window's, byte for byte.
        std::string cliReport = TestFilesRoot() + "\\cli-session-report.txt";
        std::string command = "\"" OLVARIN_CLI_PATH "\" compare \"" + signaturePath + "\" --report \"" + cliReport + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION cli = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &cli));
        EXPECT_EQ(WaitForSingleObject(cli.hProcess, 60000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        GetExitCodeProcess(cli.hProcess, &exitCode);
        CloseHandle(cli.hThread);
        CloseHandle(cli.hProcess);
        EXPECT_EQ(exitCode, 1u);
        EXPECT_EQ(ReadFile(cliReport), ReadFile(ResultFilePath()));
    }
    second.Click(IDC_MAIN_VIEW_RESULT);  // opens the same file again
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(openLog) == ResultFilePath() + "\n" + ResultFilePath() + "\n"; }));
}

TEST_F(Session, StopDuringCreateKeepsWhatWasScanned)
{
    StartLargeCreate();
    EXPECT_TRUE(program.Enabled(IDC_MAIN_STOP));  // only Stop can be used
    for (int id : IDLE_BUTTONS) EXPECT_FALSE(program.Enabled(id)) << id;
    EXPECT_EQ(program.Field(IDC_MAIN_NAME), "A new signature is being created");

    program.Click(IDC_MAIN_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Idle(program) && program.Field(IDC_MAIN_NAME) == "New signature"; }, 60000));
    std::string files = program.Field(IDC_MAIN_FILES);
    std::string size = program.Field(IDC_MAIN_SCAN_TOTAL_SIZE);
    EXPECT_GT(std::atoi(files.c_str()), 0);
    EXPECT_EQ(program.Field(IDC_MAIN_SCAN_FILES), files);
    Sleep(500);  // the panel stops following: nothing moves any more
    EXPECT_EQ(program.Field(IDC_MAIN_SCAN_FILES), files);
    EXPECT_EQ(program.Field(IDC_MAIN_SCAN_TOTAL_SIZE), size);
}

TEST_F(Session, ClosingTheWindowDuringAScanEndsTheProgram)
{
    StartLargeCreate();
    PostMessageA(program.mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.EndsCleanly());
}
