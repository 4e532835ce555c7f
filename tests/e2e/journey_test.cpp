#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "cli/run_cli.h"
#include "e2e/driver.h"
#include "support/test_files.h"

namespace {

const int IDLE_BUTTONS[] = {IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT, IDC_MAIN_CONFIG,
                            IDC_MAIN_SAVE, IDC_MAIN_LOAD, IDC_HELP_BUTTON, IDC_MAIN_ABOUT, IDC_MAIN_EXIT};

bool Idle(const Program& p)
{
    for (int id : IDLE_BUTTONS)
        if (!p.Enabled(id)) return false;
    return !p.Enabled(IDC_MAIN_STOP) && IsWindowEnabled(p.mainWindow()) && p.Field(IDC_MAIN_STATUS) == "Stopped";
}

// Runs Create or Compare to its end; returns the title of the box it showed.
std::string RunToItsEnd(const Program& p, int command)
{
    p.Click(command, nullptr, true);  // returns once the worker has started
    std::string title;
    EXPECT_TRUE(WaitUntil([&] {
        if (p.OwnedDialog(p.mainWindow(), 0) != nullptr) title = p.AnswerMessageBox().title;
        return Idle(p);
    }, 120000));
    return title;
}

// Starts a Create and waits until it is summing the large file.
bool CreateUntilTheLargeFile(const Program& p)
{
    p.Click(IDC_MAIN_CREATE);
    return WaitUntil([&] {
        std::string file = p.Field(IDC_MAIN_CURRENT_FILE);
        return file.size() > 8 && file.substr(file.size() - 8) == "\\big.bin";
    }, 60000);
}

std::string Refusal(const Program& p, HWND dialog, int button, const std::string& path = "")
{
    p.SetText(dialog, IDC_CONFIG_DIRECTORY, path);
    p.Click(button, dialog);
    return p.AnswerMessageBox(dialog).title;
}

}  // namespace

// Configure, Create with checksums, Save, Compare with nothing changed,
// change files, Load in a fresh program, Compare and read the result file
// (the console program's, byte for byte); then Stop a Create, and close the
// window while another one runs.
TEST(Journey, FromConfigurationToTheResultFileAndStopsOnTheWay)
{
    std::string tree = MakeTestFolder("journey"), files = MakeTestFolder("journey-files");
    for (const char* folder : {"\\skip", "\\slow"}) MakeFolder(tree + folder);
    for (const char* name : {"a", "b", "skip\\x"}) WriteTestFile(tree + "\\" + name + ".txt", name);
    char documents[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    const std::string result = std::string(documents) + "\\Quillory\\Olvarin\\olvarinresult.txt";
    const std::string openLog = files + "\\..\\opened.log";  // the ".txt" handler of the test prefix writes it
    DeleteFileA(openLog.c_str());

    {
        Program p;
        ASSERT_NE(p.mainWindow(), nullptr);
        HWND dialog = p.OpenConfig();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(Refusal(p, dialog, IDC_CONFIG_REMOVE), "Olvarin - No directory selected");
        p.AddDirectory(dialog, tree);
        p.AddDirectory(dialog, tree + "\\skip", 1);
        EXPECT_EQ(Refusal(p, dialog, IDC_CONFIG_ADD, tree + "\\"), "Olvarin - Duplicate directory selected");
        Send(GetDlgItem(dialog, IDC_CONFIG_CHECKSUMS), BM_CLICK, 0, 0);
        p.CloseConfig(dialog, IDOK);

        EXPECT_EQ(RunToItsEnd(p, IDC_MAIN_CREATE), "");
        EXPECT_EQ(p.Field(IDC_MAIN_NAME) + " " + p.Field(IDC_MAIN_FILES), "New signature 2");
        p.ChooseFile(IDC_MAIN_SAVE, files + "\\session.sig");
        EXPECT_TRUE(WaitUntil([&] { return p.Field(IDC_MAIN_NAME) == "session.sig"; }));
        EXPECT_EQ(RunToItsEnd(p, IDC_MAIN_COMPARE), "OK - No difference");
        EXPECT_EQ(GetFileAttributesA(result.c_str()), INVALID_FILE_ATTRIBUTES);

        WriteTestFile(tree + "\\a.txt", "A");          // same size, new contents
        DeleteFileA((tree + "\\b.txt").c_str());       // missing
        WriteTestFile(tree + "\\skip\\x.txt", "x!!");  // excluded
        p.Click(IDC_MAIN_EXIT);
        EXPECT_TRUE(p.EndsCleanly());
    }

    // A fresh start: everything comes from the file. A damaged file first
    // leaves no signature loaded.
    Program q;
    ASSERT_NE(q.mainWindow(), nullptr);
    WriteTestFile(files + "\\damaged.sig", "not a signature");
    q.ChooseFile(IDC_MAIN_LOAD, files + "\\session.sig");
    EXPECT_TRUE(WaitUntil([&] { return q.Field(IDC_MAIN_NAME) == "session.sig"; }));
    q.ChooseFile(IDC_MAIN_LOAD, files + "\\damaged.sig");
    ShownMessage shown = q.AnswerMessageBox();
    EXPECT_EQ(shown.title + "|" + shown.text,
              "Error reading signature file|Error: Could not read signature info from the signature file (01)");
    EXPECT_TRUE(WaitUntil([&] { return q.Field(IDC_MAIN_NAME) == "No signature loaded"; }));
    q.ChooseFile(IDC_MAIN_LOAD, files + "\\session.sig");
    EXPECT_TRUE(WaitUntil([&] { return q.Field(IDC_MAIN_NAME) == "session.sig"; }));
    EXPECT_EQ(q.Field(IDC_MAIN_FILES), "2");
    EXPECT_EQ(q.Field(IDC_MAIN_CHECKSUM), "0");  // the file's options came with it

    EXPECT_EQ(RunToItsEnd(q, IDC_MAIN_COMPARE), "");
    const std::string r = tree.substr(2);  // recorded without the drive letter
    EXPECT_EQ(ReadWholeFile(result), "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n"
                                     "**** Missing files on this PC ****\r\n" + r + "\\b.txt\r\n"
                                     "**** Files that have a different checksum ****\r\n" + r + "\\a.txt\r\n");
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(openLog) == result + "\n"; }));
    // The console program's report for the same signature and tree is the window's, byte for byte.
    EXPECT_EQ(RunCli({"compare", files + "\\session.sig", "--report", files + "\\cli.txt"}).exitCode, 1u);
    EXPECT_EQ(ReadWholeFile(files + "\\cli.txt"), ReadWholeFile(result));
    q.Click(IDC_MAIN_VIEW_RESULT);  // opens the same file again
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(openLog) == result + "\n" + result + "\n"; }));

    // A large sparse file keeps the checksum busy long enough to act.
    HANDLE big = CreateFileA((tree + "\\slow\\big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    LARGE_INTEGER size = {};
    size.QuadPart = LONGLONG{16} << 30;
    EXPECT_TRUE(SetFilePointerEx(big, size, nullptr, FILE_BEGIN) && SetEndOfFile(big) && CloseHandle(big));
    ASSERT_TRUE(CreateUntilTheLargeFile(q));
    EXPECT_EQ(q.Field(IDC_MAIN_NAME), "A new signature is being created");
    for (int id : IDLE_BUTTONS) EXPECT_FALSE(q.Enabled(id)) << id;
    q.Click(IDC_MAIN_CONFIG);  // posted to a disabled button: refused, so no dialog holds the window
    q.Click(IDC_MAIN_STOP);
    EXPECT_TRUE(WaitUntil([&] { return Idle(q) && q.Field(IDC_MAIN_NAME) == "New signature"; }, 30000));
    EXPECT_GT(std::atoi(q.Field(IDC_MAIN_FILES).c_str()), 0);  // what was scanned up to then is kept
    EXPECT_EQ(q.Field(IDC_MAIN_FILES), q.Field(IDC_MAIN_SCAN_FILES));

    ASSERT_TRUE(CreateUntilTheLargeFile(q));
    PostMessageA(q.mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(q.EndsCleanly());
}
