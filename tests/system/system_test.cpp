#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "system/folder_security.h"

namespace {

// Windows 2000 and later; looked up so that the test builds for the stub's oldest target.
typedef BOOL(WINAPI* DescriptorToTextFunction)(PSECURITY_DESCRIPTOR, DWORD, SECURITY_INFORMATION,
                                               LPSTR*, PULONG);
typedef BOOL(WINAPI* TextToDescriptorFunction)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
typedef BOOL(WINAPI* SidToTextFunction)(PSID, LPSTR*);
constexpr DWORD SDDL_REVISION = 1;

template <typename Function>
Function Find(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("advapi32.dll"), name)));
}

std::string ToText(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts) {
    DescriptorToTextFunction convert =
        Find<DescriptorToTextFunction>("ConvertSecurityDescriptorToStringSecurityDescriptorA");
    LPSTR text = nullptr;
    if (convert == nullptr || !convert(descriptor, SDDL_REVISION, parts, &text, nullptr)) {
        return "(no text)";
    }
    std::string result = text;
    LocalFree(text);
    return result;
}

// The process user as an entry's text names it: an alias where SDDL has one (SY, LA, ...).
std::string UserText() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "(no token)";
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } answer;
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenUser, &answer, sizeof answer, &size);
    CloseHandle(token);
    LPSTR sid = nullptr;
    if (!read || !Find<SidToTextFunction>("ConvertSidToStringSidA")(answer.user.User.Sid, &sid)) {
        return "(no user)";
    }
    PSECURITY_DESCRIPTOR owner = nullptr;
    const bool parsed =
        Find<TextToDescriptorFunction>("ConvertStringSecurityDescriptorToSecurityDescriptorA")(
            (std::string("O:") + sid).c_str(), SDDL_REVISION, &owner, nullptr);
    LocalFree(sid);
    if (!parsed) return "(no owner)";
    const std::string text = ToText(owner, OWNER_SECURITY_INFORMATION);
    LocalFree(owner);
    return text.substr(2);  // after "O:"
}

TEST(FolderSecurity, FullControlForSystemAdministratorsAndTheUserAloneInheritedAndProtected) {
    PrivateFolderSecurity security;
    ASSERT_TRUE(BuildPrivateFolderSecurity(&security));
    EXPECT_EQ(security.attributes.nLength, sizeof security.attributes);
    ASSERT_EQ(security.attributes.lpSecurityDescriptor, &security.descriptor);

    const std::string text = ToText(&security.descriptor, DACL_SECURITY_INFORMATION);
    ASSERT_EQ(text.rfind("D:P(", 0), 0u) << text;
    // The entries in any order, each once.
    std::multiset<std::string> entries;
    for (size_t begin = 3; begin < text.size();) {
        const size_t end = text.find(')', begin);
        ASSERT_NE(end, std::string::npos) << text;
        entries.insert(text.substr(begin, end + 1 - begin));
        begin = end + 1;
    }
    std::multiset<std::string> expected = {"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)"};
    const std::string user = UserText();
    if (user != "SY") expected.insert("(A;OICI;FA;;;" + user + ")");
    EXPECT_EQ(entries, expected) << text;
}

}  // namespace
