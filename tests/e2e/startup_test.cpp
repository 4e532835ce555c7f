#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "e2e/driver.h"
#include "support/test_files.h"
#include "ui/control_ids.h"

TEST(StartUp, PanelButtonsAboutBoxAndInertAttributeBoxes)
{
    Program program;
    ASSERT_TRUE(program.started());
    HWND window = program.mainWindow();
    EXPECT_EQ(program.Text(window), "Olvarin");
    const struct { int id; const char* text; } fields[] = {
        {IDC_MAIN_NAME, "No signature loaded"}, {IDC_MAIN_STATUS, "Stopped"}, {IDC_MAIN_DIRECTORIES, "0"},
        {IDC_MAIN_FILES, "0"}, {IDC_MAIN_TOTAL_SIZE, "0.0"}, {IDC_MAIN_SCAN_DIRECTORIES, "0"},
        {IDC_MAIN_SCAN_FILES, "0"}, {IDC_MAIN_SCAN_TOTAL_SIZE, "0.0"}, {IDC_MAIN_CHECKSUM, "N/A"},
        {IDC_MAIN_CURRENT_FILE, "None"}, {IDC_MAIN_CURRENT_DIRECTORY, "None"}, {IDC_MAIN_FILE_SIZE, "0"},
        {IDC_MAIN_FILE_TIME, "N/A"},
    };
    for (const auto& field : fields) EXPECT_EQ(program.Field(field.id), field.text) << field.id;
    for (int id : {IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT, IDC_MAIN_CONFIG, IDC_MAIN_SAVE,
                   IDC_MAIN_LOAD, IDC_HELP_BUTTON, IDC_MAIN_ABOUT, IDC_MAIN_EXIT}) {
        EXPECT_TRUE(program.Enabled(id)) << id;
    }
    EXPECT_FALSE(program.Enabled(IDC_MAIN_STOP));

    // The attribute boxes only show; a click leaves no mark.
    for (int id : {IDC_MAIN_ARCHIVE, IDC_MAIN_COMPRESSED, IDC_MAIN_ENCRYPTED, IDC_MAIN_HIDDEN, IDC_MAIN_READ_ONLY,
                   IDC_MAIN_SYSTEM}) {
        program.PressButton(window, id);
        EXPECT_FALSE(program.Checked(window, id)) << id;
    }
    EXPECT_TRUE(program.NoOwnedDialogFor(window, 300));

    program.Click(IDC_MAIN_ABOUT);
    HWND about = program.WaitForOwnedDialog(window);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(program.Text(about), "Quillory Olvarin");
    EXPECT_EQ(program.Text(about, IDC_ABOUT_VERSION), "Olvarin V1.3 Build: 1001");
    program.Click(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindowEnabled(window));

    program.Click(IDC_MAIN_EXIT);
    EXPECT_TRUE(program.EndsCleanly());
}

TEST(StartUp, HelpWithoutItsFolderShowsNothingAndTheCloseBoxEnds)
{
    // A copy of the program with no help folder beside it.
    std::string copy = MakeTestFolder("no_help") + "\\olvarin.exe";
    ASSERT_TRUE(CopyFileA(Program::DefaultProgramPath().c_str(), copy.c_str(), FALSE));
    Program program(copy);
    ASSERT_TRUE(program.started());
    program.Click(IDC_HELP_BUTTON);
    EXPECT_TRUE(program.NoOwnedDialogFor(program.mainWindow(), 1500));
    EXPECT_TRUE(IsWindowEnabled(program.mainWindow()));
    EXPECT_TRUE(program.Enabled(IDC_HELP_BUTTON));
    EXPECT_EQ(program.Field(IDC_MAIN_STATUS), "Stopped");

    PostMessageA(program.mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.EndsCleanly());
}
