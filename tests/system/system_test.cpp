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

// The entries of a protected list, in any order, each once.
std::multiset<std::string> EntriesOf(PrivateFolderSecurity& security) {
    const std::string text = ToText(&security.descriptor, DACL_SECURITY_INFORMATION);
    std::multiset<std::string> entries;
    EXPECT_EQ(text.rfind("D:P(", 0), 0u) << text;
    for (size_t begin = 3; begin < text.size();) {
        const size_t end = text.find(')', begin);
        if (end == std::string::npos) {
            ADD_FAILURE() << text;
            break;
        }
        entries.insert(text.substr(begin, end + 1 - begin));
        begin = end + 1;
    }
    return entries;
}

TEST(FolderSecurity, FullControlForSystemAdministratorsAndTheUserAloneInheritedAndProtected) {
    PrivateFolderSecurity security;
    ASSERT_TRUE(BuildPrivateFolderSecurity(&security));
    EXPECT_EQ(security.attributes.nLength, sizeof security.attributes);
    ASSERT_EQ(security.attributes.lpSecurityDescriptor, &security.descriptor);
    std::multiset<std::string> expected = {"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)"};
    const std::string user = UserText();
    if (user != "SY") expected.insert("(A;OICI;FA;;;" + user + ")");
    EXPECT_EQ(EntriesOf(security), expected);

    // A folder the caller names for extraction: machines may also read and run from it.
    ASSERT_TRUE(BuildSharedFolderSecurity(&security));
    expected.insert("(A;OICI;0x1200a9;;;AU)");
    EXPECT_EQ(EntriesOf(security), expected);
}

TEST(FolderSecurity, TrustedOwnersAreSystemTheAdministratorsAndTheUser) {
    const BYTE system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    const BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
    const BYTE users[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};
    const BYTE user[] = {1, 2, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 0xe8, 0x03, 0, 0};
    const BYTE other[] = {1, 2, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 0xe9, 0x03, 0, 0};
    const BYTE authenticated[] = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};
    EXPECT_TRUE(IsTrustedOwnerSid(system, user));
    EXPECT_TRUE(IsTrustedOwnerSid(administrators, user));
    EXPECT_TRUE(IsTrustedOwnerSid(user, user));
    EXPECT_FALSE(IsTrustedOwnerSid(other, user));
    EXPECT_FALSE(IsTrustedOwnerSid(users, user));
    EXPECT_FALSE(IsTrustedOwnerSid(authenticated, user));
}

}  // namespace
