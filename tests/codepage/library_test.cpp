// Which library the bridge converts through: the Unicode layer named by the product's registry
// value on the 9x family, Kernel32.dll otherwise. Each case starts with no library chosen.
#include <gtest/gtest.h>
#include <string.h>

#include "system/system_library.h"
#include "tests/codepage/test_support.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"

namespace {

class ConversionLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetConversionLibraryForTests(); }
    // Frees the chosen library before the scratch folder that may hold it is removed.
    void TearDown() override { ResetConversionLibraryForTests(); }

    std::wstring Folder(const wchar_t* name) {
        std::wstring folder = scratch_.path() + name + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }

    ScratchFolder scratch_;
};

// "é" in code page 1252 to UTF-8: C3 A9 through a library, E9 unchanged without one.
std::string EAcuteToUtf8() {
    char out[16];
    CodePageToUtf8(0, 1252, "\xE9", UTF8_NUL_TERMINATED, out, sizeof(out), nullptr);
    return out;
}

std::string EAcuteToCodePage() {
    char out[16];
    Utf8ToCodePage(0, 1252, "\xC3\xA9", UTF8_NUL_TERMINATED, out, sizeof(out), nullptr);
    return out;
}

bool AnyUnicodeLayerLoaded() {
    return GetModuleHandleA("unicows.dll") != nullptr;
}

}  // namespace

#if QJX_EXPECT_PLATFORM == 1

TEST_F(ConversionLibraryTest, InstallPathEndingInBackslashLoadsThatFoldersLayer) {
    std::wstring layer = Folder(L"layer") + L"unicows.dll";
    ASSERT_TRUE(PlantDouble(L"double", layer));
    InstallPathValue value(WideToAnsi(Folder(L"layer")));

    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_EQ(EAcuteToCodePage(), "\xE9");
    EXPECT_EQ(DoubleCallsAt(layer), 2) << "both conversions go through the planted layer";
}

TEST_F(ConversionLibraryTest, InstallPathWithoutBackslashGluesTheNameToItsLastComponent) {
    // C:\...\Tools gives C:\...\Toolsunicows.dll, never C:\...\Tools\unicows.dll.
    std::wstring tools = Folder(L"Tools");
    std::wstring glued = scratch_.path() + L"Toolsunicows.dll";
    ASSERT_TRUE(PlantDouble(L"double", glued));
    ASSERT_TRUE(PlantDouble(L"double", tools + L"unicows.dll"));
    InstallPathValue value(WideToAnsi(scratch_.path() + L"Tools"));

    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_EQ(DoubleCallsAt(glued), 1);
    EXPECT_EQ(DoubleCallsAt(tools + L"unicows.dll"), -1);
}

TEST_F(ConversionLibraryTest, FallsBackToKernel32WithoutTheValue) {
    InstallPathValue key_only;
    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_EQ(EAcuteToCodePage(), "\xE9");
    EXPECT_FALSE(AnyUnicodeLayerLoaded());
}

TEST_F(ConversionLibraryTest, FallsBackToKernel32WithoutTheKey) {
    HKEY key;
    ASSERT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Dravik\\QJX", 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << "the prefix must not carry the product's key";
    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_FALSE(AnyUnicodeLayerLoaded());
}

TEST_F(ConversionLibraryTest, FallsBackToKernel32WhenTheValueLeadsNowhere) {
    InstallPathValue value(WideToAnsi(Folder(L"empty")));
    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_FALSE(AnyUnicodeLayerLoaded());
}

TEST_F(ConversionLibraryTest, FallsBackToKernel32WhenTheValueIsTooLongForTheName) {
    // 260 bytes of data without a terminator leave no room for "unicows.dll".
    InstallPathValue value(std::string(260, 'A'), REG_BINARY);
    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_FALSE(AnyUnicodeLayerLoaded());
}

TEST_F(ConversionLibraryTest, LayerLackingAFunctionIsFreedAndChosenAgainNextTime) {
    std::wstring layer = Folder(L"layer") + L"unicows.dll";
    ASSERT_TRUE(PlantDouble(L"partial", layer));
    InstallPathValue value(WideToAnsi(Folder(L"layer")));

    // No library: text is copied byte for byte, cut to capacity - 1.
    EXPECT_EQ(EAcuteToUtf8(), "\xE9");
    EXPECT_EQ(EAcuteToCodePage(), "\xC3\xA9");
    char out[4];
    uint32_t length = 99;
    EXPECT_EQ(CodePageToUtf8(0, 1252, "abcdef", UTF8_NUL_TERMINATED, out, sizeof(out), &length),
              RESULT_OK);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(DoubleCallsAt(layer), -1) << "the incomplete layer stays loaded";

    // The failed choice is not remembered: a complete layer is taken at the next conversion.
    ASSERT_TRUE(PlantDouble(L"double", layer));
    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_EQ(DoubleCallsAt(layer), 1);
}

#else

TEST_F(ConversionLibraryTest, NtFamilyIgnoresTheRegistryValue) {
    std::wstring layer = Folder(L"layer") + L"unicows.dll";
    ASSERT_TRUE(PlantDouble(L"double", layer));
    InstallPathValue value(WideToAnsi(Folder(L"layer")));

    EXPECT_EQ(EAcuteToUtf8(), "\xC3\xA9");
    EXPECT_EQ(EAcuteToCodePage(), "\xE9");
    EXPECT_EQ(DoubleCallsAt(layer), -1);
    EXPECT_FALSE(AnyUnicodeLayerLoaded());
}

#endif

// The system folder joined with a name: exactly as long as the buffer allows, never cut.
TEST(SystemPath, JoinsTheSystemFolderAndTheNameOrRefusesWhatDoesNotFit) {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    ASSERT_GT(length, 3u) << "a system folder below the root";
    std::string expected = std::string(folder) + "\\msiexec.exe";

    char path[MAX_PATH + 16];
    ASSERT_TRUE(BuildSystemPath("msiexec.exe", path, expected.size() + 1));
    EXPECT_EQ(expected, path);

    memset(path, 'x', sizeof path);
    SetLastError(0);
    EXPECT_FALSE(BuildSystemPath("msiexec.exe", path, expected.size()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    EXPECT_STREQ("", path);
    // Too small for the folder itself: the system's answer is the size it needs, not a length.
    SetLastError(0);
    EXPECT_FALSE(BuildSystemPath("msiexec.exe", path, length));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    EXPECT_STREQ("", path);
}
