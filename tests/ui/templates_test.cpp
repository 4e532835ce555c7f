#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ui/control_ids.h"

namespace {

// Reads the words of a resource as the dialog manager does.
struct Reader {
    const uint8_t* base;
    const uint8_t* at;
    uint16_t Word() { uint16_t v; std::memcpy(&v, at, 2); at += 2; return v; }
    uint32_t Dword() { uint32_t low = Word(); return low | uint32_t(Word()) << 16; }
    int Short() { return static_cast<int16_t>(Word()); }
    std::string Text()
    {
        std::string text;
        for (uint16_t c = Word(); c != 0; c = Word()) text.push_back(static_cast<char>(c));
        return text;
    }
    // A name, nothing, or an ordinal written as "#n".
    std::string NameOrOrdinal()
    {
        uint16_t first;
        std::memcpy(&first, at, 2);
        if (first != 0 && first != 0xFFFF) return Text();
        at += 2;
        return first == 0 ? "" : "#" + std::to_string(Word());
    }
    std::string Box() { int x = Short(), y = Short(), cx = Short(), cy = Short(); return Join(x, y, cx, cy); }
    static std::string Join(int x, int y, int cx, int cy)
    {
        return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy);
    }
};

const uint8_t* LoadData(const char* name, const char* type)
{
    HRSRC found = FindResourceA(nullptr, name, type);
    return found == nullptr ? nullptr : static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
}

// Class names are looked up without regard to case (the resource compiler
// stores some in capitals), so they are compared in small letters.
std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One control as "class|text|id|x,y cxxcy|style", classes in small letters.
struct Control {
    const char* kind;
    const char* text;
    int id, x, y, cx, cy;
    DWORD style;
    std::string Describe() const
    {
        return Line(Lower(kind), text, id, Reader::Join(x, y, cx, cy), style);
    }
    static std::string Line(const std::string& kind, const std::string& text, int id, const std::string& box, DWORD style)
    {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(style));
        return kind + "|" + text + "|" + std::to_string(id) + "|" + box + "|" + hex;
    }
};

// A line for the dialog itself (class, caption, point size, frame, style,
// font), then one per control.
std::vector<std::string> ReadTemplate(const char* name)
{
    Reader in = {LoadData(name, MAKEINTRESOURCEA(5)), nullptr};  // RT_DIALOG
    if (in.base == nullptr) return {"no template " + std::string(name)};
    in.at = in.base;
    in.Word();
    if (in.Word() != 0xFFFF) return {"not an extended template"};
    in.Dword();  // help id
    in.Dword();  // extended style
    DWORD style = in.Dword();
    int count = in.Word();
    std::string box = in.Box();
    std::string menu = in.NameOrOrdinal();
    std::string windowClass = in.NameOrOrdinal();
    std::string caption = in.Text();
    int points = in.Word();
    in.Dword();  // weight, italic, character set
    std::vector<std::string> lines = {Control::Line(menu + Lower(windowClass), caption, points, box, style) + " " + in.Text()};
    for (int i = 0; i < count; ++i) {
        in.at += (4 - (in.at - in.base) % 4) % 4;
        in.Dword();  // help id
        in.Dword();  // extended style
        style = in.Dword();
        box = in.Box();
        int id = static_cast<int>(in.Dword());
        std::string kind = in.NameOrOrdinal();
        const char* predefined[] = {"button", "edit", "static", "#131", "#132", "combobox"};
        if (kind.size() == 4 && kind[0] == '#') kind = predefined[std::stoi(kind.substr(1)) - 128];
        lines.push_back(Control::Line(Lower(kind), in.NameOrOrdinal(), id, box, style));
        in.at += in.Word();  // creation data
    }
    return lines;
}

void ExpectTemplate(const char* name, const Control& dialog, std::vector<Control> controls)
{
    std::vector<std::string> actual = ReadTemplate(name);
    std::vector<std::string> expected = {dialog.Describe() + " MS Sans Serif"};
    for (const Control& control : controls) expected.push_back(control.Describe());
    ASSERT_EQ(actual.size(), expected.size()) << name;
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << name << " line " << i;
}

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD LABEL = CHILD | SS_LEFT | WS_GROUP;
constexpr DWORD BUTTON = CHILD | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD DEFAULT_BUTTON = CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD ATTRIBUTE = CHILD | BS_CHECKBOX | BS_LEFTTEXT | BS_VCENTER | WS_TABSTOP;
constexpr DWORD FRAME = CHILD | BS_GROUPBOX;
constexpr DWORD OPTION = CHILD | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD DIALOG = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr int NONE = -1;

}  // namespace

TEST(Templates, MainWindowAndConfiguration)
{
    ExpectTemplate("OLVARIN", {"olvarin", "Olvarin", 8, 0, 0, 356, 237, DIALOG | WS_MINIMIZEBOX}, {
        {"Static", "N/A", 1015, 75, 32, 126, 11, LABEL},
        {"Static", "Stopped", 1013, 75, 6, 126, 11, LABEL},
        {"Static", "N/A", 1002, 75, 49, 35, 11, LABEL},
        {"Static", "N/A", 1003, 147, 49, 35, 11, LABEL},
        {"Static", "N/A", 1010, 260, 49, 43, 11, LABEL},
        {"Static", "N/A", 1004, 75, 87, 264, 11, LABEL},
        {"Static", "N/A", 1005, 75, 103, 264, 11, LABEL},
        {"Static", "N/A", 1006, 75, 119, 81, 11, LABEL},
        {"Static", "N/A", 1009, 75, 134, 56, 11, LABEL},
        {"Static", "N/A", 1018, 75, 149, 56, 11, LABEL},
        {"Button", "Archive", 1023, 209, 133, 56, 12, ATTRIBUTE},
        {"Button", "Compressed", 1024, 209, 149, 56, 12, ATTRIBUTE},
        {"Button", "Encrypted", 1025, 209, 164, 56, 12, ATTRIBUTE},
        {"Button", "Hidden", 1026, 275, 133, 56, 12, ATTRIBUTE},
        {"Button", "Read only", 1027, 275, 149, 56, 12, ATTRIBUTE},
        {"Button", "System", 1028, 275, 164, 56, 12, ATTRIBUTE},
        {"Button", "Create signature", 1007, 6, 200, 80, 14, DEFAULT_BUTTON},
        {"Button", "Compare signature", 1016, 92, 200, 80, 14, BUTTON},
        {"Button", "View result", 1017, 181, 200, 80, 14, BUTTON},
        {"Button", "Config", 1011, 269, 200, 80, 14, BUTTON},
        {"Button", "Save", 1012, 6, 216, 50, 14, BUTTON},
        {"Button", "Load", 1014, 64, 216, 50, 14, BUTTON},
        {"Button", "Stop", 1008, 122, 216, 50, 14, BUTTON},
        {"Button", "Help", 9, 181, 216, 50, 14, BUTTON},
        {"Button", "About", 1022, 240, 216, 50, 14, BUTTON},
        {"Button", "Exit", 1000, 299, 216, 50, 14, BUTTON},
        {"Static", "OLVARIN", NONE, 328, 0, 20, 20, CHILD | SS_ICON},
        {"Static", "Directories", NONE, 34, 49, 37, 11, LABEL},
        {"Static", "Status", NONE, 46, 6, 25, 11, LABEL},
        {"Static", "Files", NONE, 122, 49, 21, 11, LABEL},
        {"Static", "Current Directory", NONE, 13, 87, 58, 11, LABEL},
        {"Static", "Current file", NONE, 34, 103, 37, 11, LABEL},
        {"Static", "File time", NONE, 34, 119, 37, 11, LABEL},
        {"Static", "Name", NONE, 40, 32, 31, 11, LABEL},
        {"Button", "File attributes", NONE, 201, 122, 137, 62, FRAME},
        {"Static", "File size", NONE, 34, 134, 37, 11, LABEL},
        {"Static", "bytes", NONE, 136, 135, 28, 11, LABEL},
        {"Static", "Cumulative file size", NONE, 190, 50, 65, 11, LABEL},
        {"Static", "MB", NONE, 308, 51, 17, 9, LABEL},
        {"Static", "File checksum", NONE, 14, 149, 57, 11, LABEL},
        {"Button", "Loaded signature", NONE, 6, 21, 343, 50, FRAME},
        {"Button", "Scan", NONE, 6, 75, 343, 118, FRAME},
        {"Static", "N/A", 1019, 75, 163, 35, 11, LABEL},
        {"Static", "N/A", 1020, 147, 163, 35, 11, LABEL},
        {"Static", "N/A", 1021, 75, 178, 43, 11, LABEL},
        {"Static", "Directories", NONE, 34, 163, 37, 11, LABEL},
        {"Static", "Files", NONE, 122, 163, 21, 11, LABEL},
        {"Static", "Cumulative file size", NONE, 12, 177, 59, 11, LABEL},
        {"Static", "MB", NONE, 124, 179, 17, 9, LABEL},
    });
    ExpectTemplate("CONFIG", {"", "Olvarin configuration", 8, 0, 0, 383, 231, DIALOG}, {
        {"Edit", "", 1025, 51, 19, 165, 12, CHILD | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
        {"Button", "Browse", 1026, 223, 18, 46, 12, BUTTON},
        {"ComboBox", "", 1036, 51, 35, 123, 43, CHILD | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
        {"Button", "Add to list", 1027, 50, 51, 70, 12, BUTTON},
        {"Button", "Remove from list", 1028, 130, 51, 70, 12, BUTTON},
        {"SysListView32", "List1", 1024, 9, 69, 303, 89, CHILD | LVS_REPORT | WS_BORDER | WS_TABSTOP},
        {"Button", "Calculate file checksums", 1030, 13, 190, 92, 10, OPTION},
        {"Button", "Include Drive letter", 1031, 27, 205, 78, 10, OPTION},
        {"Button", "OK", 1, 326, 7, 50, 14, DEFAULT_BUTTON},
        {"Button", "Help", 9, 326, 27, 50, 14, DEFAULT_BUTTON},
        {"Button", "Directory list mangement", NONE, 7, 7, 313, 155, FRAME},
        {"Static", "Directory", NONE, 12, 19, 33, 11, LABEL},
        {"Button", "Other settings", NONE, 7, 173, 309, 52, FRAME},
        {"Static", "(Checksums will slow the scanning process significantly)", NONE, 112, 190, 196, 11, LABEL},
        {"Static", "(Only required when signature must span multiple drives)", NONE, 112, 205, 196, 11, LABEL},
        {"Static", "Action", NONE, 20, 36, 25, 11, LABEL},
    });
}

TEST(Templates, PictureIconGroupAndManifest)
{
    auto* picture = reinterpret_cast<const BITMAPINFOHEADER*>(LoadData(MAKEINTRESOURCEA(IDB_ABOUT_PICTURE), MAKEINTRESOURCEA(2)));
    ASSERT_NE(picture, nullptr);  // the About box's, stored at 24 bits per pixel
    EXPECT_EQ(picture->biWidth, 279);
    EXPECT_EQ(picture->biHeight, 225);
    EXPECT_EQ(picture->biBitCount, 24);
    EXPECT_EQ(picture->biCompression, static_cast<DWORD>(BI_RGB));

    Reader in = {LoadData("OLVARIN", MAKEINTRESOURCEA(14)), nullptr};  // RT_GROUP_ICON
    ASSERT_NE(in.base, nullptr);
    in.at = in.base + 4;
    ASSERT_EQ(in.Word(), 3);
    for (const char* expected : {"32x32 16 colours 4 bits", "32x32 0 colours 8 bits", "48x48 0 colours 8 bits"}) {
        uint16_t size = in.Word();
        uint16_t colours = in.Word() & 0xFF;
        in.Word();  // planes
        uint16_t bits = in.Word();
        in.at += 6;  // bytes, image id
        EXPECT_EQ(std::to_string(size & 0xFF) + "x" + std::to_string(size >> 8) + " " + std::to_string(colours) +
                      " colours " + std::to_string(bits) + " bits", expected);
    }
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), "olvarin"), nullptr);

    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                         SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("<assembly"), std::string::npos);
    EXPECT_EQ(manifest.find("dependency"), std::string::npos);
}
