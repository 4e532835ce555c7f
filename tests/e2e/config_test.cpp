#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "e2e/driver.h"
#include "ui/control_ids.h"

namespace {

using Rows = std::vector<std::string>;

const char NO_DIRECTORY_TEXT[] =
    "You must enter a directory name before adding\nit to the list. Use the browse button to select\n"
    "a directory, then add it.";
const char NO_DIRECTORY_TITLE[] = "Olvarin - No directory entered";

class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program.started());
        dialog = program.OpenConfig();
        ASSERT_NE(dialog, nullptr);
    }

    void Reopen(int closeWith)
    {
        program.CloseConfig(dialog, closeWith);
        dialog = program.OpenConfig();
        ASSERT_NE(dialog, nullptr);
    }

    ShownMessage AddRefused(const std::string& path)
    {
        program.SetText(dialog, IDC_CONFIG_DIRECTORY, path);
        program.Click(dialog, IDC_CONFIG_ADD);
        return program.AnswerMessageBox(dialog);
    }

    Program program;
    HWND dialog = nullptr;
};

}  // namespace

TEST_F(ConfigDialog, OpensWithItsControlsAndAnEmptyList)
{
    EXPECT_EQ(program.Text(dialog), "Olvarin configuration");
    EXPECT_EQ(program.RowCount(dialog), 0);
    EXPECT_EQ(program.Text(dialog, IDC_CONFIG_ACTION), "Include all files in this directory");
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));
    // Modal: the main window waits for it.
    EXPECT_FALSE(IsWindowEnabled(program.mainWindow()));
}

TEST_F(ConfigDialog, RefusesEmptyShortAndDuplicateDirectories)
{
    for (const char* path : {"", "\\", "C", "C\\"}) {
        ShownMessage shown = AddRefused(path);
        EXPECT_EQ(shown.title, NO_DIRECTORY_TITLE) << path;
        EXPECT_EQ(shown.text, NO_DIRECTORY_TEXT) << path;
    }
    EXPECT_EQ(program.RowCount(dialog), 0);

    // A drive root as the folder picker gives it loses its backslash.
    program.AddDirectory(dialog, "C:\\");
    program.AddDirectory(dialog, "C:\\Windows\\\\");
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\Windows\\|Include", "C:|Include"}));

    program.AddDirectory(dialog, "C:\\Data");
    ShownMessage shown = AddRefused("C:\\Data");
    EXPECT_EQ(shown.title, "Olvarin - Duplicate directory selected");
    EXPECT_EQ(shown.text, "The directory you have selected is already in the list\nPlease select another directory.");
    shown = AddRefused("C:\\Data\\");
    EXPECT_EQ(shown.title, "Olvarin - Duplicate directory selected");
    // Letters are compared exactly.
    program.AddDirectory(dialog, "c:\\data", 1);
    EXPECT_EQ(program.Rows(dialog),
              (Rows{"c:\\data|Exclude", "C:\\Data|Include", "C:\\Windows\\|Include", "C:|Include"}));
    // The edit keeps its text after an addition.
    EXPECT_EQ(program.Text(dialog, IDC_CONFIG_DIRECTORY), "c:\\data");
}

TEST_F(ConfigDialog, HoldsThirtyDirectoriesAndReusesAFreedSlot)
{
    ShownMessage shown = (program.Click(dialog, IDC_CONFIG_REMOVE), program.AnswerMessageBox(dialog));
    EXPECT_EQ(shown.title, "Olvarin - No directory selected");
    EXPECT_EQ(shown.text, "You must select one or more directories from the list\nbefore attempting to remove them\n");

    for (int i = 0; i < 30; ++i) {
        program.AddDirectory(dialog, "C:\\dir" + std::to_string(i));
    }
    EXPECT_EQ(program.RowCount(dialog), 30);
    shown = AddRefused("C:\\one too many");
    EXPECT_EQ(shown.title, "Olvarin - Too many directories");
    EXPECT_EQ(shown.text,
              "The maximum number of directories has been reached.\nYou will need to delete a directory before "
              "adding\nmore to the list");
    // A duplicate is named as such even when the list is full.
    EXPECT_EQ(AddRefused("C:\\dir3").title, "Olvarin - Duplicate directory selected");

    // Rows 0 to 2 are the three added last.
    program.SelectRows(dialog, {0, 1, 2});
    program.Command(dialog, IDC_CONFIG_REMOVE);
    EXPECT_EQ(program.RowCount(dialog), 27);
    Rows rows = program.Rows(dialog);
    EXPECT_EQ(rows.front(), "C:\\dir26|Include");
    for (const std::string& row : rows) {
        EXPECT_NE(row, "C:\\dir29|Include");
        EXPECT_NE(row, "C:\\dir27|Include");
    }
    program.AddDirectory(dialog, "C:\\again1");
    program.AddDirectory(dialog, "C:\\again2");
    program.AddDirectory(dialog, "C:\\dir27");
    EXPECT_EQ(program.RowCount(dialog), 30);
    EXPECT_EQ(AddRefused("C:\\again3").title, "Olvarin - Too many directories");

    // The list survives closing and opening.
    Reopen(IDOK);
    EXPECT_EQ(program.RowCount(dialog), 30);
}

TEST_F(ConfigDialog, ColumnSortCarriesItsDirectionAcrossOpenings)
{
    program.AddDirectory(dialog, "C:\\b");
    program.AddDirectory(dialog, "C:\\a", 1);
    program.AddDirectory(dialog, "C:\\C");
    program.AddDirectory(dialog, "C:\\d", 1);
    // New rows go to the top until the next sort.
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\d|Exclude", "C:\\C|Include", "C:\\a|Exclude", "C:\\b|Include"}));

    // The first click on "Directory" after start-up sorts descending.
    program.ClickColumn(dialog, 0);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\d|Exclude", "C:\\C|Include", "C:\\b|Include", "C:\\a|Exclude"}));
    program.ClickColumn(dialog, 0);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\a|Exclude", "C:\\b|Include", "C:\\C|Include", "C:\\d|Exclude"}));
    // Another column keeps the direction: Exclude first, each group by path.
    program.ClickColumn(dialog, 1);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\a|Exclude", "C:\\d|Exclude", "C:\\b|Include", "C:\\C|Include"}));
    program.ClickColumn(dialog, 1);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\C|Include", "C:\\b|Include", "C:\\d|Exclude", "C:\\a|Exclude"}));

    // Opening again sorts by path in the direction the last click left.
    Reopen(IDCANCEL);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\d|Exclude", "C:\\C|Include", "C:\\b|Include", "C:\\a|Exclude"}));
    program.ClickColumn(dialog, 0);  // the last click was on "Action": direction kept
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\d|Exclude", "C:\\C|Include", "C:\\b|Include", "C:\\a|Exclude"}));
    program.ClickColumn(dialog, 0);
    Reopen(IDOK);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\a|Exclude", "C:\\b|Include", "C:\\C|Include", "C:\\d|Exclude"}));
}

TEST_F(ConfigDialog, CancelKeepsDirectoriesButDropsTheOptions)
{
    program.AddDirectory(dialog, "C:\\kept");
    program.PressButton(dialog, IDC_CONFIG_CHECKSUMS);
    program.PressButton(dialog, IDC_CONFIG_DRIVE_LETTER);
    ASSERT_TRUE(WaitUntil([&] { return program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER); }));
    Reopen(IDCANCEL);
    EXPECT_EQ(program.Rows(dialog), (Rows{"C:\\kept|Include"}));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));

    // Esc and the close box cancel the same way.
    program.PressButton(dialog, IDC_CONFIG_CHECKSUMS);
    ASSERT_TRUE(WaitUntil([&] { return program.Checked(dialog, IDC_CONFIG_CHECKSUMS); }));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    dialog = program.OpenConfig();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));

    // "OK" takes them over; the panel then shows the checksum.
    program.PressButton(dialog, IDC_CONFIG_CHECKSUMS);
    ASSERT_TRUE(WaitUntil([&] { return program.Checked(dialog, IDC_CONFIG_CHECKSUMS); }));
    Reopen(IDOK);
    EXPECT_TRUE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));
    program.CloseConfig(dialog, IDOK);
    dialog = nullptr;
    InvalidateRect(program.mainWindow(), nullptr, TRUE);
    EXPECT_TRUE(WaitUntil([&] { return program.Text(program.mainWindow(), IDC_MAIN_CHECKSUM) == "0"; }));
}
