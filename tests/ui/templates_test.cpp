#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/control_ids.h"

namespace {

// One control of an extended dialog template, as the dialog manager reads it.
struct Control {
    std::string kind;  // class name, or the name of a predefined class
    std::string text;
    int id;
    int x, y, cx, cy;
    DWORD style;
};

struct Template {
    DWORD style;
    int x, y, cx, cy;
    std::string windowClass;
    std::string caption;
    int pointSize;
    std::string font;
    std::vector<Control> controls;
};

class Reader {
public:
    explicit Reader(const uint8_t* data) : at_(data) {}
    uint16_t Word() { uint16_t v; std::memcpy(&v, at_, 2); at_ += 2; return v; }
    uint32_t Dword() { uint32_t v; std::memcpy(&v, at_, 4); at_ += 4; return v; }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    std::string Text()
    {
        std::string text;
        for (uint16_t c = Word(); c != 0; c = Word()) text.push_back(static_cast<char>(c));
        return text;
    }
    // A name or an ordinal; ordinals come back as "#n".
    std::string NameOrOrdinal()
    {
        uint16_t first;
        std::memcpy(&first, at_, 2);
        if (first == 0) { at_ += 2; return ""; }
        if (first == 0xFFFF) { at_ += 2; return "#" + std::to_string(Word()); }
        return Text();
    }
    void AlignDword(const uint8_t* base) { while ((at_ - base) % 4 != 0) ++at_; }
    void Skip(size_t n) { at_ += n; }

private:
    const uint8_t* at_;
};

// Class names are looked up without regard to case (the resource compiler
// stores some in capitals), so they are compared in small letters.
std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string PredefinedClass(const std::string& name)
{
    if (name == "#128") return "button";
    if (name == "#129") return "edit";
    if (name == "#130") return "static";
    if (name == "#133") return "combobox";
    return Lower(name);
}

Template LoadTemplate(const char* name)
{
    HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(5));  // RT_DIALOG
    EXPECT_NE(found, nullptr) << name;
    if (found == nullptr) return {};
    auto* base = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    Reader in(base);
    Template t = {};
    EXPECT_EQ(in.Word(), 1);       // version
    EXPECT_EQ(in.Word(), 0xFFFF);  // extended template
    in.Dword();                    // help id
    in.Dword();                    // extended style
    t.style = in.Dword();
    int count = in.Word();
    t.x = in.Short(); t.y = in.Short(); t.cx = in.Short(); t.cy = in.Short();
    EXPECT_EQ(in.NameOrOrdinal(), "");  // no menu
    t.windowClass = Lower(in.NameOrOrdinal());
    t.caption = in.Text();
    t.pointSize = in.Word();
    in.Word();  // weight
    in.Skip(2); // italic, character set
    t.font = in.Text();
    for (int i = 0; i < count; ++i) {
        in.AlignDword(base);
        in.Dword();  // help id
        in.Dword();  // extended style
        Control c = {};
        c.style = in.Dword();
        c.x = in.Short(); c.y = in.Short(); c.cx = in.Short(); c.cy = in.Short();
        c.id = static_cast<int>(in.Dword());
        c.kind = PredefinedClass(in.NameOrOrdinal());
        c.text = in.NameOrOrdinal();
        in.Skip(in.Word());  // creation data
        t.controls.push_back(c);
    }
    return t;
}

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD LABEL = CHILD | SS_LEFT | WS_GROUP;
constexpr DWORD BUTTON = CHILD | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD DEFAULT_BUTTON = CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD ATTRIBUTE = CHILD | BS_CHECKBOX | BS_LEFTTEXT | BS_VCENTER | WS_TABSTOP;
constexpr DWORD FRAME = CHILD | BS_GROUPBOX;
constexpr DWORD OPTION = CHILD | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr int NONE = -1;

void ExpectControls(const Template& t, const std::vector<Control>& expected)
{
    ASSERT_EQ(t.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& a = t.controls[i];
        const Control& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + e.text + "\"");
        EXPECT_EQ(a.kind, Lower(e.kind));
        EXPECT_EQ(a.text, e.text);
        EXPECT_EQ(a.id, e.id);
        EXPECT_EQ(a.x, e.x);
        EXPECT_EQ(a.y, e.y);
        EXPECT_EQ(a.cx, e.cx);
        EXPECT_EQ(a.cy, e.cy);
        EXPECT_EQ(a.style, e.style) << std::hex << a.style << " " << e.style;
    }
}

}  // namespace

TEST(Templates, MainWindowIsADialogOfItsOwnClass)
{
    Template t = LoadTemplate("OLVARIN");
    EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.x, 0); EXPECT_EQ(t.y, 0); EXPECT_EQ(t.cx, 356); EXPECT_EQ(t.cy, 237);
    EXPECT_EQ(t.windowClass, "olvarin");
    EXPECT_EQ(t.caption, "Olvarin");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, "MS Sans Serif");
    ExpectControls(t, {
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
}

TEST(Templates, ConfigurationDialog)
{
    Template t = LoadTemplate("CONFIG");
    EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.cx, 383); EXPECT_EQ(t.cy, 231);
    EXPECT_EQ(t.windowClass, "");
    EXPECT_EQ(t.caption, "Olvarin configuration");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, "MS Sans Serif");
    ExpectControls(t, {
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

TEST(Templates, IconGroupHoldsTheThreeImages)
{
    HRSRC found = FindResourceA(nullptr, "OLVARIN", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    Reader in(data);
    in.Word();
    EXPECT_EQ(in.Word(), 1);  // icons
    ASSERT_EQ(in.Word(), 3);
    struct Image { int width, height, colours, bits; };
    const Image expected[3] = {{32, 32, 16, 4}, {32, 32, 0, 8}, {48, 48, 0, 8}};
    for (const Image& image : expected) {
        uint16_t size = in.Word();
        EXPECT_EQ(size & 0xFF, image.width);
        EXPECT_EQ(size >> 8, image.height);
        uint16_t colours = in.Word();
        EXPECT_EQ(colours & 0xFF, image.colours);
        in.Word();  // planes
        EXPECT_EQ(in.Word(), image.bits);
        in.Dword();  // bytes
        in.Word();   // image id
    }
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), "olvarin"), nullptr);
}

TEST(Templates, ManifestDeclaresNoDependency)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    std::string manifest(data, SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("<assembly"), std::string::npos);
    EXPECT_EQ(manifest.find("dependency"), std::string::npos);
}
