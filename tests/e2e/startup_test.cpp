#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "e2e/driver.h"
#include "support/test_files.h"
#include "ui/control_ids.h"

namespace {

const int ATTRIBUTE_BOXES[] = {IDC_MAIN_ARCHIVE, IDC_MAIN_COMPRESSED, IDC_MAIN_ENCRYPTED,
                               IDC_MAIN_HIDDEN, IDC_MAIN_READ_ONLY, IDC_MAIN_SYSTEM};
const int IDLE_BUTTONS[] = {IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT, IDC_MAIN_CONFIG,
                            IDC_MAIN_SAVE, IDC_MAIN_LOAD, IDC_HELP_BUTTON, IDC_MAIN_ABOUT, IDC_MAIN_EXIT};

}  // namespace

TEST(StartUp, PanelShowsNoSignatureAndAnIdleScan)
{
    Program program;
    ASSERT_TRUE(program.started());
    HWND window = program.mainWindow();
    EXPECT_EQ(program.Text(window), "Olvarin");
    EXPECT_EQ(program.Text(window, IDC_MAIN_NAME), "No signature loaded");
    EXPECT_EQ(program.Text(window, IDC_MAIN_STATUS), "Stopped");
    EXPECT_EQ(program.Text(window, IDC_MAIN_DIRECTORIES), "0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_FILES), "0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_TOTAL_SIZE), "0.0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_SCAN_DIRECTORIES), "0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_SCAN_FILES), "0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_CHECKSUM), "N/A");
    EXPECT_EQ(program.Text(window, IDC_MAIN_CURRENT_FILE), "None");
    EXPECT_EQ(program.Text(window, IDC_MAIN_CURRENT_DIRECTORY), "None");
    EXPECT_EQ(program.Text(window, IDC_MAIN_FILE_SIZE), "0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_SCAN_TOTAL_SIZE), "0.0");
    EXPECT_EQ(program.Text(window, IDC_MAIN_FILE_TIME), "N/A");
    for (int id : ATTRIBUTE_BOXES) {
        EXPECT_FALSE(program.Checked(window, id)) << id;
    }
    EXPECT_FALSE(program.Enabled(IDC_MAIN_STOP));
    for (int id : IDLE_BUTTONS) {
        EXPECT_TRUE(program.Enabled(id)) << id;
    }
}

TEST(StartUp, AttributeBoxesIgnoreClicks)
{
    Program program;
    ASSERT_TRUE(program.started());
    HWND window = program.mainWindow();
    for (int id : ATTRIBUTE_BOXES) {
        program.PressButton(window, id);
    }
    for (int id : ATTRIBUTE_BOXES) {
        EXPECT_FALSE(program.Checked(window, id)) << id;
    }
    EXPECT_TRUE(program.NoOwnedDialogFor(window, 300));
    EXPECT_EQ(program.Text(window, IDC_MAIN_STATUS), "Stopped");
}

TEST(StartUp, ExitAndTheCloseBoxEndTheProgram)
{
    {
        Program program;
        ASSERT_TRUE(program.started());
        program.Click(IDC_MAIN_EXIT);
        EXPECT_TRUE(program.WaitForExit());
        DWORD code = 1;
        GetExitCodeProcess(program.process(), &code);
        EXPECT_EQ(code, 0u);
    }
    {
        Program program;
        ASSERT_TRUE(program.started());
        PostMessageA(program.mainWindow(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit());
    }
}

TEST(StartUp, HelpWithoutItsFolderShowsNothing)
{
    // A copy of the program with no help folder beside it.
    std::string folder = MakeTestFolder("no_help");
    std::string copy = folder + "\\olvarin.exe";
    ASSERT_TRUE(CopyFileA(Program::DefaultProgramPath().c_str(), copy.c_str(), FALSE));
    Program program(copy);
    ASSERT_TRUE(program.started());
    program.Click(IDC_HELP_BUTTON);
    EXPECT_TRUE(program.NoOwnedDialogFor(program.mainWindow(), 1500));
    EXPECT_TRUE(IsWindowEnabled(program.mainWindow()));
    EXPECT_TRUE(program.Enabled(IDC_HELP_BUTTON));
    EXPECT_EQ(program.Text(program.mainWindow(), IDC_MAIN_STATUS), "Stopped");
}

TEST(StartUp, AboutBoxNamesTheVersion)
{
    Program program;
    ASSERT_TRUE(program.started());
    program.Click(IDC_MAIN_ABOUT);
    HWND about = program.WaitForOwnedDialog(program.mainWindow());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(program.Text(about), "Quillory Olvarin");
    EXPECT_EQ(program.Text(about, IDC_ABOUT_VERSION), "Olvarin V1.3 Build: 1001");
    program.Click(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindowEnabled(program.mainWindow()));
}
