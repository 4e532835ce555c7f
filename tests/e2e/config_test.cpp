#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "e2e/driver.h"
#include "ui/control_ids.h"

namespace {

using Rows = std::vector<std::string>;

const char DUPLICATE_TITLE[] = "Olvarin - Duplicate directory selected";
const char FULL_TITLE[] = "Olvarin - Too many directories";

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

    ShownMessage Refused(int button, const std::string& path = "")
    {
        if (button == IDC_CONFIG_ADD) program.SetText(dialog, IDC_CONFIG_DIRECTORY, path);
        program.Click(dialog, button);
        return program.AnswerMessageBox(dialog);
    }

    // Presses a check box and waits until the press has taken.
    void Toggle(int id)
    {
        bool before = program.Checked(dialog, id);
        program.PressButton(dialog, id);
        ASSERT_TRUE(WaitUntil([&] { return program.Checked(dialog, id) != before; }));
    }

    Program program;
    HWND dialog = nullptr;
};

}  // namespace

TEST_F(ConfigDialog, OpensEmptyAndRefusesEmptyShortAndDuplicateDirectories)
{
    EXPECT_EQ(program.Text(dialog), "Olvarin configuration");
    EXPECT_EQ(program.Text(dialog, IDC_CONFIG_ACTION), "Include all files in this directory");
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));
    EXPECT_FALSE(IsWindowEnabled(program.mainWindow()));  // modal

    for (const char* path : {"", "\\", "C", "C\\"}) {
        ShownMessage shown = Refused(IDC_CONFIG_ADD, path);
        EXPECT_EQ(shown.title, "Olvarin - No directory entered") << path;
        EXPECT_EQ(shown.text, "You must enter a directory name before adding\nit to the list. Use the browse "
                              "button to select\na directory, then add it.") << path;
    }
    ShownMessage shown = Refused(IDC_CONFIG_REMOVE);
    EXPECT_EQ(shown.title, "Olvarin - No directory selected");
    EXPECT_EQ(shown.text, "You must select one or more directories from the list\nbefore attempting to remove them\n");
    EXPECT_EQ(program.Rows(dialog), Rows{});

    // A drive root as the folder picker gives it loses its backslash.
    program.AddDirectory(dialog, "C:\\");
    program.AddDirectory(dialog, "C:\\Windows\\\\");
    program.AddDirectory(dialog, "C:\\Data");
    shown = Refused(IDC_CONFIG_ADD, "C:\\Data");
    EXPECT_EQ(shown.title, DUPLICATE_TITLE);
    EXPECT_EQ(shown.text, "The directory you have selected is already in the list\nPlease select another directory.");
    EXPECT_EQ(Refused(IDC_CONFIG_ADD, "C:\\Data\\").title, DUPLICATE_TITLE);
    program.AddDirectory(dialog, "c:\\data", 1);  // letters are compared exactly
    EXPECT_EQ(program.Rows(dialog),
              (Rows{"c:\\data|Exclude", "C:\\Data|Include", "C:\\Windows\\|Include", "C:|Include"}));
    EXPECT_EQ(program.Text(dialog, IDC_CONFIG_DIRECTORY), "c:\\data");  // kept after an addition
}

TEST_F(ConfigDialog, HoldsThirtyDirectoriesAndReusesFreedSlots)
{
    for (int i = 0; i < 30; ++i) program.AddDirectory(dialog, "C:\\dir" + std::to_string(i));
    ShownMessage shown = Refused(IDC_CONFIG_ADD, "C:\\one too many");
    EXPECT_EQ(shown.title, FULL_TITLE);
    EXPECT_EQ(shown.text, "The maximum number of directories has been reached.\nYou will need to delete a directory "
                          "before adding\nmore to the list");
    EXPECT_EQ(Refused(IDC_CONFIG_ADD, "C:\\dir3").title, DUPLICATE_TITLE);  // named as such even when full

    program.SelectRows(dialog, {0, 1, 2});  // the three added last
    program.Command(dialog, IDC_CONFIG_REMOVE);
    Rows rows = program.Rows(dialog);
    ASSERT_EQ(rows.size(), 27u);
    EXPECT_EQ(rows.front(), "C:\\dir26|Include");
    for (const char* path : {"C:\\again1", "C:\\again2", "C:\\dir27"}) program.AddDirectory(dialog, path);
    EXPECT_EQ(program.Rows(dialog).size(), 30u);
    EXPECT_EQ(Refused(IDC_CONFIG_ADD, "C:\\again3").title, FULL_TITLE);
    Reopen(IDOK);
    EXPECT_EQ(program.Rows(dialog).size(), 30u);
}

TEST_F(ConfigDialog, ColumnSortCarriesItsDirectionAcrossOpenings)
{
    program.AddDirectory(dialog, "C:\\b");
    program.AddDirectory(dialog, "C:\\a", 1);
    program.AddDirectory(dialog, "C:\\C");
    program.AddDirectory(dialog, "C:\\d", 1);
    const Rows added = {"C:\\d|Exclude", "C:\\C|Include", "C:\\a|Exclude", "C:\\b|Include"};  // newest on top
    const Rows down = {"C:\\d|Exclude", "C:\\C|Include", "C:\\b|Include", "C:\\a|Exclude"};
    const Rows up = {"C:\\a|Exclude", "C:\\b|Include", "C:\\C|Include", "C:\\d|Exclude"};
    EXPECT_EQ(program.Rows(dialog), added);
    // Click on column (-1: reopen with Cancel, -2: with OK), then the rows.
    const struct { int click; Rows rows; } steps[] = {
        {0, down},  // the first click after start-up sorts descending
        {0, up},
        {1, {"C:\\a|Exclude", "C:\\d|Exclude", "C:\\b|Include", "C:\\C|Include"}},  // direction kept
        {1, {"C:\\C|Include", "C:\\b|Include", "C:\\d|Exclude", "C:\\a|Exclude"}},
        {-1, down},  // by path, in the direction the last click left
        {0, down},   // the last click was on "Action": direction kept
        {0, up},
        {-2, up},
    };
    for (const auto& step : steps) {
        if (step.click >= 0) program.ClickColumn(dialog, step.click);
        else Reopen(step.click == -1 ? IDCANCEL : IDOK);
        EXPECT_EQ(program.Rows(dialog), step.rows) << "after " << step.click;
    }
}

TEST_F(ConfigDialog, CancelKeepsDirectoriesButDropsTheOptions)
{
    program.AddDirectory(dialog, "C:\\kept");
    Toggle(IDC_CONFIG_CHECKSUMS);
    Toggle(IDC_CONFIG_DRIVE_LETTER);
    Reopen(IDCANCEL);
    EXPECT_EQ(program.Rows(dialog), Rows{"C:\\kept|Include"});
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));

    // The close box cancels the same way.
    Toggle(IDC_CONFIG_CHECKSUMS);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    dialog = program.OpenConfig();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));

    // "OK" takes them over; the panel then shows the checksum.
    Toggle(IDC_CONFIG_CHECKSUMS);
    Reopen(IDOK);
    EXPECT_TRUE(program.Checked(dialog, IDC_CONFIG_CHECKSUMS));
    EXPECT_FALSE(program.Checked(dialog, IDC_CONFIG_DRIVE_LETTER));
    program.CloseConfig(dialog, IDOK);
    InvalidateRect(program.mainWindow(), nullptr, TRUE);
    EXPECT_TRUE(program.FieldBecomes(IDC_MAIN_CHECKSUM, "0"));
}
