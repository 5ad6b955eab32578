// The window layer's pure pieces and the resources the stub carries, checked under Wine.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "window/installer_launch.h"
#include "window/language_buttons.h"
#include "window/progress_window.h"
#include "window/window_images.h"

namespace {

const WORD US_ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

struct ResourceBytes {
    const BYTE* data;
    DWORD size;
};

ResourceBytes Resource(LPCSTR type, LPCSTR name) {
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceExA(module, type, name, US_ENGLISH);
    if (found == NULL) return {NULL, 0};
    return {(const BYTE*)LockResource(LoadResource(module, found)), SizeofResource(module, found)};
}

std::string Parameters(const char* package, const char* transform, const char* command_line) {
    const char* tail = SkipProgramName(command_line);
    std::vector<char> out(InstallerParametersSize(package, transform, tail));
    ComposeInstallerParameters(out.data(), package, transform, tail);
    EXPECT_EQ(strlen(out.data()) + 1, out.size());
    return out.data();
}

TEST(InstallerCommandLine, SkipsTheProgramNameUpToTheFirstSpaceOutsideQuotes) {
    EXPECT_STREQ(" /qb", SkipProgramName("C:\\setup.exe /qb"));
    EXPECT_STREQ(" /qb x", SkipProgramName("\"C:\\my files\\set up.exe\" /qb x"));
    EXPECT_STREQ(" b", SkipProgramName("a\"q r\"s b"));
    EXPECT_STREQ("", SkipProgramName("\"C:\\my files\\setup.exe\""));
    EXPECT_STREQ("", SkipProgramName("setup.exe"));
    EXPECT_STREQ("", SkipProgramName(""));
    // A tab does not end the name; an unclosed quote runs to the end.
    EXPECT_STREQ(" z", SkipProgramName("setup.exe\t/qb z"));
    EXPECT_STREQ("", SkipProgramName("\"C:\\a b.exe /qb"));
    EXPECT_STREQ("  x", SkipProgramName("s.exe  x"));
}

TEST(InstallerCommandLine, ComposesEachLanguageExactly) {
    const char* package = "C:\\T\\QJX1\\Velmora.msi";
    const char* german = "C:\\T\\QJX1\\Velmora_German.mst";
    EXPECT_EQ("/I C:\\T\\QJX1\\Velmora.msi ", Parameters(package, NULL, "setup.exe"));
    EXPECT_EQ(strlen(package) + 5, InstallerParametersSize(package, NULL, ""));
    EXPECT_EQ("/I C:\\T\\QJX1\\Velmora.msi transforms=\"C:\\T\\QJX1\\Velmora_German.mst\"  /qb",
              Parameters(package, german, "\"C:\\a b\\setup.exe\" /qb"));
    EXPECT_EQ("/I C:\\T\\QJX1\\Velmora.msi transforms=\"C:\\T\\QJX1\\Velmora_German.mst\" ",
              Parameters(package, german, "setup.exe"));
}

TEST(InstallerCommandLine, QuotesAPackagePathWithABlankOnly) {
    const char* package = "C:\\Users\\Jo Ann\\Temp\\QJX1\\Velmora.msi";
    EXPECT_EQ("/I \"C:\\Users\\Jo Ann\\Temp\\QJX1\\Velmora.msi\"  /qb",
              Parameters(package, NULL, "setup.exe /qb"));
    EXPECT_EQ(strlen(package) + 2 + 5, InstallerParametersSize(package, NULL, ""));
    EXPECT_EQ("/I \"C:\\Jo Ann\\Velmora.msi\" transforms=\"C:\\Jo Ann\\Velmora_German.mst\" ",
              Parameters("C:\\Jo Ann\\Velmora.msi", "C:\\Jo Ann\\Velmora_German.mst", "setup.exe"));
}

TEST(InstallerCommandLine, PathsThatDoNotFitTheirBufferAreRefused) {
    char out[INSTALLER_PATH_CAPACITY];
    std::string folder(INSTALLER_PATH_CAPACITY - 1 - strlen("Velmora.msi"), 'f');
    EXPECT_TRUE(JoinInstallerPath(out, sizeof out, folder.c_str(), "Velmora.msi"));
    EXPECT_EQ(folder + "Velmora.msi", out);
    folder += 'f';
    memset(out, 'x', sizeof out);
    EXPECT_FALSE(JoinInstallerPath(out, sizeof out, folder.c_str(), "Velmora.msi"));
    EXPECT_STREQ("", out);
}

TEST(WindowImages, BackgroundFollowsTheScreenDepth) {
    EXPECT_EQ(103, BackgroundIdForDepth(1));
    EXPECT_EQ(104, BackgroundIdForDepth(2));
    EXPECT_EQ(104, BackgroundIdForDepth(4));
    EXPECT_EQ(105, BackgroundIdForDepth(5));
    EXPECT_EQ(105, BackgroundIdForDepth(8));
    EXPECT_EQ(105, BackgroundIdForDepth(24));
    EXPECT_EQ(105, BackgroundIdForDepth(32));
}

TEST(WindowImages, LanguageButtonsShowTheirPressedPictureWhileHeld) {
    EXPECT_EQ(106, LanguageButtonBitmapId(1003, true));
    EXPECT_EQ(107, LanguageButtonBitmapId(1003, false));
    EXPECT_EQ(108, LanguageButtonBitmapId(1004, true));
    EXPECT_EQ(109, LanguageButtonBitmapId(1004, false));
    EXPECT_EQ(110, LanguageButtonBitmapId(1005, true));
    EXPECT_EQ(111, LanguageButtonBitmapId(1005, false));
    EXPECT_EQ(0, LanguageButtonBitmapId(2, false));
}

TEST(WindowImages, PaletteComesFromTheFullColourTable) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[16];
    } dib = {};
    dib.header.biSize = sizeof dib.header;
    dib.header.biBitCount = 4;
    dib.header.biClrUsed = 3;  // not consulted
    for (int i = 0; i < 16; ++i) dib.table[i] = {(BYTE)(i * 3), (BYTE)(i * 5), (BYTE)(i * 7), 0};
    int32_t count = -1;
    HPALETTE palette = CreateDibPalette(&dib.header, &count);
    ASSERT_NE(nullptr, palette);
    EXPECT_EQ(16, count);
    PALETTEENTRY entries[17] = {};
    EXPECT_EQ(16u, GetPaletteEntries(palette, 0, 17, entries));
    EXPECT_EQ(15 * 7, entries[15].peRed);
    EXPECT_EQ(15 * 5, entries[15].peGreen);
    EXPECT_EQ(15 * 3, entries[15].peBlue);
    DeleteObject(palette);

    dib.header.biBitCount = 24;
    EXPECT_EQ(nullptr, CreateDibPalette(&dib.header, &count));
    EXPECT_EQ(0, count);
}

TEST(WindowImages, LoadsTheBackgroundWithItsPaletteAndLeavesAMissingOneAlone) {
    HPALETTE palette = NULL;
    HBITMAP bitmap = LoadResourceDib(g_hinstance, 105, &palette);
    ASSERT_NE(nullptr, bitmap);
    ASSERT_NE(nullptr, palette);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(256, info.bmWidth);
    EXPECT_EQ(256, info.bmHeight);
    EXPECT_EQ(256u, GetPaletteEntries(palette, 0, 0, NULL));
    DeleteObject(bitmap);
    DeleteObject(palette);

    HPALETTE untouched = (HPALETTE)(INT_PTR)0x1234;
    EXPECT_EQ(nullptr, LoadResourceDib(g_hinstance, 4711, &untouched));
    EXPECT_EQ((HPALETTE)(INT_PTR)0x1234, untouched);
}

TEST(WindowImages, EachPictureOfTheEightBitSetHasADoubleSizeOne) {
    EXPECT_EQ(0, DoubleSizePictureId(103));
    EXPECT_EQ(0, DoubleSizePictureId(104));
    for (int id = 105; id <= 111; ++id) EXPECT_EQ(id + 20, DoubleSizePictureId(id)) << id;
    EXPECT_EQ(0, DoubleSizePictureId(112));
    EXPECT_EQ(0, DoubleSizePictureId(125));
}

TEST(WindowImages, CompressedPicturesLoadAtTheirSizeAndAMissingOneGivesNull) {
    HBITMAP bitmap = LoadPicture(g_hinstance, IDB_JAPANESE_NORMAL_2X);
    ASSERT_NE(nullptr, bitmap);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(136, info.bmWidth);
    EXPECT_EQ(44, info.bmHeight);
    // The RLE8 stream drew every pixel: no corner is left black.
    HDC memory = CreateCompatibleDC(NULL);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    EXPECT_NE(RGB(0, 0, 0), GetPixel(memory, 0, 0));
    EXPECT_NE(RGB(0, 0, 0), GetPixel(memory, 135, 43));
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    EXPECT_EQ(nullptr, LoadPicture(g_hinstance, 4711));
}

TEST(WindowImages, TheBackgroundScalesToAnySizeFromTheDoubleSizePicture) {
    HPALETTE palette = NULL;
    int32_t width = 0, height = 0;
    HBITMAP base = LoadBackgroundImage(&palette, &width, &height);
    ASSERT_NE(nullptr, base);
    const int32_t sizes[] = {320, 384, 512, 768};
    for (int32_t size : sizes) {
        SCOPED_TRACE(size);
        HBITMAP scaled = ScaleBackgroundImage(base, size, size, &palette);
        ASSERT_NE(nullptr, scaled);
        BITMAP info = {};
        GetObjectA(scaled, sizeof info, &info);
        EXPECT_EQ(size, info.bmWidth);
        EXPECT_EQ(size, info.bmHeight);
        // The field colour fills the lower corners at every size.
        HDC memory = CreateCompatibleDC(NULL);
        HGDIOBJ previous = SelectObject(memory, scaled);
        EXPECT_EQ(RGB(177, 188, 214), GetPixel(memory, 2, size - 3));
        EXPECT_EQ(RGB(177, 188, 214), GetPixel(memory, size - 3, size - 3));
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(scaled);
    }
    EXPECT_NE(nullptr, palette);  // the double-size picture's own
    DeleteObject(base);
    if (palette != NULL) DeleteObject(palette);
}

// The 9x family draws a name in the ANSI code page only where it converts there and back to
// itself (Wine's code page here is 1252): no '?' and no look-alike in a character's place.
TEST(LanguageButtons, AnsiFormsOnlyForNamesThatConvertBackToThemselves) {
    char out[64];
    ASSERT_EQ(1252u, GetACP());
    EXPECT_TRUE(ToAnsiExactly(L"Fran\u00E7ais", out, sizeof out));
    EXPECT_STREQ(
        "Fran\xE7"
        "ais",
        out);
    EXPECT_FALSE(ToAnsiExactly(L"\u7B80\u4F53\u4E2D\u6587", out, sizeof out));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(ToAnsiExactly(L"\uFF21\uFF22", out, sizeof out));  // fullwidth AB, best fit "AB"
    EXPECT_FALSE(ToAnsiExactly(L"Fran\u00E7ais", out, 4));          // does not fit
}

// Where the dialog's face lacks a script, the character set leads the mapper to a face that has
// it; Chinese by script or region, never across.
TEST(LanguageButtons, CharacterSetHintFollowsTheScriptAndTheCode) {
    const wchar_t han[] = L"\u4E2D\u6587";
    EXPECT_EQ(GB2312_CHARSET, LanguageCharsetHint("zh-Hans", han));
    EXPECT_EQ(GB2312_CHARSET, LanguageCharsetHint("zh", han));
    EXPECT_EQ(GB2312_CHARSET, LanguageCharsetHint("zh-SG", han));
    EXPECT_EQ(CHINESEBIG5_CHARSET, LanguageCharsetHint("zh-Hant", han));
    EXPECT_EQ(CHINESEBIG5_CHARSET, LanguageCharsetHint("ZH-tw", han));
    EXPECT_EQ(CHINESEBIG5_CHARSET, LanguageCharsetHint("zh-Hant-HK", han));
    EXPECT_EQ(CHINESEBIG5_CHARSET, LanguageCharsetHint("zh-MO", han));
    EXPECT_EQ(SHIFTJIS_CHARSET, LanguageCharsetHint("ja", L"\u65E5\u672C\u8A9E"));
    EXPECT_EQ(SHIFTJIS_CHARSET, LanguageCharsetHint("x", L"\u30AB\u30CA"));
    EXPECT_EQ(HANGUL_CHARSET, LanguageCharsetHint("ko", L"\uD55C\uAD6D\uC5B4"));
    EXPECT_EQ(THAI_CHARSET, LanguageCharsetHint("th", L"\u0E44\u0E17\u0E22"));
    EXPECT_EQ(DEFAULT_CHARSET, LanguageCharsetHint("zh-Hans", L"Chinese"));
    EXPECT_EQ(DEFAULT_CHARSET,
              LanguageCharsetHint("ru", L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439"));
    EXPECT_EQ(DEFAULT_CHARSET,
              LanguageCharsetHint("ar", L"\u0627\u0644\u0639\u0631\u0628\u064A\u0629"));
}

TEST(ProgressWindow, AWindowWithoutARecordIsLeftAlone) {
    HWND plain = CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, NULL, NULL, g_hinstance, NULL);
    ASSERT_NE(nullptr, plain);
    SetWindowLongPtrA(plain, GWLP_USERDATA, 0x5A5A);  // someone else's data is no record
    EXPECT_EQ(RESULT_OK, SetProgress(plain, 50, true));
    EXPECT_EQ(0, IsCancelRequested(plain));
    EXPECT_EQ(0x5A5A, GetWindowLongPtrA(plain, GWLP_USERDATA));
    DestroyWindow(plain);
}

// --- the resources themselves -------------------------------------------------------------------

TEST(Resources, EveryBitmapHasItsSizeDepthAndColourTable) {
    struct Expected {
        int id, width, height, bits, colours;
    } table[] = {
        {103, 256, 256, 1, 2}, {104, 256, 256, 4, 16}, {105, 256, 256, 8, 256},
        {106, 68, 22, 8, 40},  {107, 68, 22, 8, 93},   {108, 68, 22, 8, 40},
        {109, 68, 22, 8, 93},  {110, 68, 22, 8, 40},   {111, 68, 22, 8, 93},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.id);
        ResourceBytes dib = Resource((LPCSTR)RT_BITMAP, MAKEINTRESOURCEA(e.id));
        ASSERT_NE(nullptr, dib.data);
        BITMAPINFOHEADER h;
        memcpy(&h, dib.data, sizeof h);
        EXPECT_EQ(40u, h.biSize);
        EXPECT_EQ(e.width, h.biWidth);
        EXPECT_EQ(e.height, h.biHeight);  // positive: bottom-up
        EXPECT_EQ(1, h.biPlanes);
        EXPECT_EQ(e.bits, h.biBitCount);
        EXPECT_EQ((DWORD)BI_RGB, h.biCompression);
        int colours = h.biClrUsed != 0 ? (int)h.biClrUsed : 1 << h.biBitCount;
        EXPECT_EQ(e.colours, colours);
        DWORD stride = ((DWORD)(e.width * e.bits) + 31) / 32 * 4;
        EXPECT_EQ(40 + 4 * (DWORD)e.colours + stride * (DWORD)e.height, dib.size);
    }
}

TEST(Resources, TheDoubleSizeSetIsCompressedRle8WithItsColourTables) {
    struct Expected {
        int id, width, height, colours;
    } table[] = {
        {125, 512, 512, 256}, {126, 136, 44, 40}, {127, 136, 44, 93}, {128, 136, 44, 40},
        {129, 136, 44, 93},   {130, 136, 44, 40}, {131, 136, 44, 93},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.id);
        ResourceBytes dib = Resource((LPCSTR)RT_BITMAP, MAKEINTRESOURCEA(e.id));
        ASSERT_NE(nullptr, dib.data);
        BITMAPINFOHEADER h;
        memcpy(&h, dib.data, sizeof h);
        EXPECT_EQ(40u, h.biSize);
        EXPECT_EQ(e.width, h.biWidth);
        EXPECT_EQ(e.height, h.biHeight);
        EXPECT_EQ(8, h.biBitCount);
        EXPECT_EQ((DWORD)BI_RLE8, h.biCompression);
        EXPECT_EQ(e.colours, h.biClrUsed != 0 ? (int)h.biClrUsed : 256);
        EXPECT_EQ(40 + 4 * (DWORD)e.colours + h.biSizeImage, dib.size);
        // Compressed to under half the plain size.
        EXPECT_LT(h.biSizeImage * 2, (DWORD)(e.width * e.height));
    }
}

TEST(Resources, IconGroupHoldsTwoSixteenColourIcons) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bits;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    ResourceBytes group = Resource((LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(99));
    ASSERT_NE(nullptr, group.data);
    WORD count;
    memcpy(&count, group.data + 4, 2);
    ASSERT_EQ(2, count);
    const int sizes[2] = {32, 16};
    for (int i = 0; i < 2; ++i) {
        GroupEntry entry;
        memcpy(&entry, group.data + 6 + i * sizeof entry, sizeof entry);
        EXPECT_EQ(sizes[i], entry.width);
        EXPECT_EQ(sizes[i], entry.height);
        EXPECT_EQ(16, entry.colours);
        EXPECT_EQ(4, entry.bits);
        EXPECT_EQ(i + 1, entry.id);
        ResourceBytes icon = Resource((LPCSTR)RT_ICON, MAKEINTRESOURCEA(entry.id));
        ASSERT_NE(nullptr, icon.data);
        BITMAPINFOHEADER h;
        memcpy(&h, icon.data, sizeof h);
        EXPECT_EQ(sizes[i], h.biWidth);
        EXPECT_EQ(2 * sizes[i], h.biHeight);
        EXPECT_EQ(4, h.biBitCount);
    }
    EXPECT_NE(nullptr, LoadIconA(g_hinstance, MAKEINTRESOURCEA(99)));
}

TEST(Resources, ManifestNamesTheAssemblyAndCommonControlsSix) {
    ResourceBytes manifest = Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_NE(nullptr, manifest.data);
    std::string text((const char*)manifest.data, manifest.size);
    for (const char* part :
         {"type=\"win32\" name=\"Dravik.QJX.QJXsea\" version=\"1.0.0.0\" "
          "processorArchitecture=\"*\"",
          "<description>QJX SEA application.</description>",
          "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
          "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"",
          "level=\"asInvoker\" uiAccess=\"false\"",
          // Sharp at every display scale: per-monitor where Windows can, else the system's DPI.
          "<dpiAware "
          "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
          "PerMonitorV2, System</dpiAwareness>"}) {
        EXPECT_NE(std::string::npos, text.find(part)) << part;
    }
}

// Reads an extended dialog template: sz_Or_Ord fields, WORD aligned, DWORD aligned items.
struct TemplateReader {
    const BYTE* p;
    WORD Word() {
        WORD v;
        memcpy(&v, p, 2);
        p += 2;
        return v;
    }
    DWORD Dword() { return Word() | (DWORD)Word() << 16; }
    std::string Text() {  // a name, or "#n" for an ordinal (0x80 is the button class)
        WORD first = Word();
        if (first == 0xFFFF) {
            WORD ordinal = Word();
            return ordinal == 0x80 ? "button" : "#" + std::to_string(ordinal);
        }
        std::string out;
        for (WORD c = first; c != 0; c = Word()) out += (char)c;
        return out;
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4 != 0) ++p;
    }
};

TEST(Resources, ProgressDialogHasItsFiveControlsInOrder) {
    ResourceBytes dialog = Resource((LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(IDD_PROGRESS));
    ASSERT_NE(nullptr, dialog.data);
    TemplateReader r = {dialog.data};
    EXPECT_EQ(1, r.Word());
    EXPECT_EQ(0xFFFF, r.Word());
    r.Dword();  // help id
    r.Dword();  // extended style
    DWORD style = r.Dword();
    EXPECT_EQ((DWORD)(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT),
              style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | WS_SYSMENU));
    ASSERT_EQ(5, r.Word());
    r.Word();
    r.Word();
    EXPECT_EQ(216, r.Word());
    EXPECT_EQ(110, r.Word());
    EXPECT_EQ("", r.Text());  // menu
    EXPECT_EQ("", r.Text());  // class
    EXPECT_EQ("Velmora", r.Text());
    EXPECT_EQ(8, r.Word());
    r.Word();  // weight
    r.Word();  // italic, charset
    EXPECT_EQ("MS Sans Serif", r.Text());

    struct Expected {
        DWORD id;
        const char* window_class;
        const char* text;
        DWORD style, style_mask, ex_style;
        int x, y, cx, cy;
    } items[] = {
        {2, "button", "&Cancel", BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP,
         0x0F | WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 0, 88, 55, 50, 14},
        {1010, "msctls_progress32", "Progress1", WS_VISIBLE | WS_BORDER,
         WS_VISIBLE | WS_BORDER | WS_DISABLED, WS_EX_CLIENTEDGE, 39, 38, 150, 9},
        {1003, "button", "English", BS_OWNERDRAW | WS_DISABLED | WS_TABSTOP,
         0x0F | WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 0, 17, 71, 50, 14},
        {1004, "button", "German", BS_OWNERDRAW | WS_DISABLED | WS_TABSTOP,
         0x0F | WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 0, 84, 73, 50, 14},
        {1005, "button", "Japanese", BS_OWNERDRAW | WS_DISABLED | WS_TABSTOP,
         0x0F | WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 0, 148, 73, 50, 14},
    };
    for (const Expected& e : items) {
        SCOPED_TRACE(e.id);
        r.AlignDword(dialog.data);
        r.Dword();  // help id
        DWORD ex_style = r.Dword();
        DWORD item_style = r.Dword();
        int x = r.Word(), y = r.Word(), cx = r.Word(), cy = r.Word();
        DWORD id = r.Dword();
        std::string window_class = r.Text();
        std::string text = r.Text();
        WORD extra = r.Word();
        r.p += extra;
        EXPECT_EQ(e.id, id);
        EXPECT_EQ(0, _stricmp(e.window_class, window_class.c_str())) << window_class;
        EXPECT_EQ(e.text, text);
        EXPECT_EQ(e.style, item_style & e.style_mask);
        EXPECT_EQ(e.ex_style, ex_style);
        EXPECT_EQ(e.x, x);
        EXPECT_EQ(e.y, y);
        EXPECT_EQ(e.cx, cx);
        EXPECT_EQ(e.cy, cy);
    }
}

}  // namespace

int main(int argc, char** argv) {
    g_hinstance = GetModuleHandleA(NULL);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
