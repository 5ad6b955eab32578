// What the code-page tests share: the Windows family and code page a test program was built
// for, scratch folders, the product's registry value and the Unicode layer doubles.
#pragma once

#include <windows.h>

#include <string>

// Each test program is built for one Windows family (1: 9x, 2: NT) and one ANSI code page;
// the test set-up gives its process both (Wine's per-program version, the process locale).
#ifndef QJX_EXPECT_PLATFORM
#define QJX_EXPECT_PLATFORM 2
#endif
#ifndef QJX_EXPECT_ACP
#define QJX_EXPECT_ACP 1252
#endif

DWORD PlatformId();

std::string WideToUtf8(const std::wstring& text);
std::string WideToAnsi(const std::wstring& text);

// A fresh folder under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Ends in a backslash.
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

// HKLM\Software\Dravik\QJX for one test: created, with or without an "InstallPath" value, and
// put back as it was at the end.
class InstallPathValue {
  public:
    InstallPathValue();  // the key without the value
    explicit InstallPathValue(const std::string& value, DWORD type = REG_SZ);
    ~InstallPathValue();
    InstallPathValue(const InstallPathValue&) = delete;
    InstallPathValue& operator=(const InstallPathValue&) = delete;

  private:
    void Open();
    HKEY key_ = nullptr;
    bool created_ = false;
    bool parent_created_ = false;
    bool had_value_ = false;
    DWORD old_type_ = 0;
    std::string old_value_;
};

// The built Unicode layer doubles beside the test program: "double" exports both conversion
// functions, "partial" lacks WideCharToMultiByte.
std::wstring DoublePath(const wchar_t* variant);

// Copies a double to the given path.
bool PlantDouble(const wchar_t* variant, const std::wstring& to);

// Conversions that went through the double loaded from path; -1 when it is not loaded.
long DoubleCallsAt(const std::wstring& path);
