#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "system/folder_security.h"
#include "system/held_folder.h"
#include "system/library_preload.h"
#include "system/system_library.h"
#include "system/user_language.h"
#include "text/language_list.h"

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

// The descriptor's label in the text form of its entry, read from the system list itself: Wine's
// converter has no words for label entries.
std::string LabelText(PrivateFolderSecurity& security) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL sacl = nullptr;
    if (!GetSecurityDescriptorSacl(&security.descriptor, &present, &sacl, &defaulted) || !present ||
        sacl == nullptr) {
        return "";
    }
    std::string text = "S:";
    for (WORD i = 0; i < sacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(sacl, i, &entry)) return "(bad entry)";
        const SYSTEM_MANDATORY_LABEL_ACE* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(entry);
        LPSTR sid = nullptr;
        if (!Find<SidToTextFunction>("ConvertSidToStringSidA")(
                reinterpret_cast<PSID>(const_cast<DWORD*>(&label->SidStart)), &sid)) {
            return "(bad SID)";
        }
        char line[160];
        snprintf(line, sizeof line, "(type 0x%x;flags 0x%x;mask 0x%lx;%s)", label->Header.AceType,
                 label->Header.AceFlags, static_cast<unsigned long>(label->Mask), sid);
        LocalFree(sid);
        text += line;
    }
    return text;
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
    ASSERT_TRUE(BuildFolderSecurity(&security, false, false));
    EXPECT_EQ(security.attributes.nLength, sizeof security.attributes);
    ASSERT_EQ(security.attributes.lpSecurityDescriptor, &security.descriptor);
    std::multiset<std::string> expected = {"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)"};
    const std::string user = UserText();
    if (user != "SY") expected.insert("(A;OICI;FA;;;" + user + ")");
    EXPECT_EQ(EntriesOf(security), expected);

    // A folder the caller names for extraction: machines may also read and run from it.
    ASSERT_TRUE(BuildFolderSecurity(&security, true, false));
    expected.insert("(A;OICI;0x1200a9;;;AU)");
    EXPECT_EQ(EntriesOf(security), expected);
    EXPECT_EQ(LabelText(security), "");
}

// Elevated, the user's own entry goes (its unelevated programs hold the same SID) and a high
// label with no-write-up keeps medium-integrity code out; both are inherited. Wine reports
// Windows 10, where labels exist.
TEST(FolderSecurity, ElevatedRunsLeaveTheUserOutAndCarryAHighLabel) {
    PrivateFolderSecurity security;
    ASSERT_TRUE(BuildFolderSecurity(&security, false, true));
    std::multiset<std::string> expected = {"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)"};
    EXPECT_EQ(EntriesOf(security), expected);
    EXPECT_EQ(LabelText(security), "S:(type 0x11;flags 0x3;mask 0x1;S-1-16-12288)");
    ASSERT_TRUE(BuildFolderSecurity(&security, true, true));
    expected.insert("(A;OICI;0x1200a9;;;AU)");
    EXPECT_EQ(EntriesOf(security), expected);
    EXPECT_EQ(LabelText(security), "S:(type 0x11;flags 0x3;mask 0x1;S-1-16-12288)");
    // Wine's token is an elevated administrator's: the program's own builders take that path.
    ASSERT_TRUE(IsProcessElevated());
    ASSERT_TRUE(BuildPrivateFolderSecurity(&security));
    EXPECT_EQ(EntriesOf(security),
              std::multiset<std::string>({"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)"}));
}

TEST(Elevation, FailsClosedAndCountsOnlyAnEnabledAdministratorsMembership) {
    struct Case {
        ElevationFacts facts;
        bool elevated;
    } cases[] = {
        // token read, SYSTEM, elevation known, elevated, groups read, Administrators enabled
        {{true, false, true, false, true, false}, false},    // a standard user, or UAC-filtered
        {{true, false, true, true, true, true}, true},       // elevated through UAC
        {{true, false, true, true, true, false}, true},      // elevated without Administrators
        {{true, false, false, false, true, true}, true},     // XP: an administrator
        {{true, false, false, false, true, false}, false},   // XP: a standard user
        {{true, true, false, false, true, false}, true},     // SYSTEM
        {{false, false, false, false, false, false}, true},  // the token cannot be read
        {{false, false, true, false, true, false}, true},    // nor its user
        {{true, false, true, false, false, false}, true},    // nor its groups
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.facts.token_read << c.facts.user_is_system
                                        << c.facts.elevation_known << c.facts.token_elevated
                                        << c.facts.groups_read << c.facts.administrators_enabled);
        EXPECT_EQ(DecideElevated(c.facts), c.elevated);
    }
}

// TokenGroups as the system answers it: a count, then SID pointers into the same answer.
TEST(Elevation, AdministratorsCountOnlyEnabledAndNotForDenyOnly) {
    BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
    BYTE users[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};
    struct Answer {
        TOKEN_GROUPS groups;
        SID_AND_ATTRIBUTES more;
        BYTE sids[2][16];
    } answer;
    auto fill = [&](DWORD count, DWORD attributes) {
        memset(&answer, 0, sizeof answer);
        memcpy(answer.sids[0], users, sizeof users);
        memcpy(answer.sids[1], administrators, sizeof administrators);
        answer.groups.GroupCount = count;
        answer.groups.Groups[0] = {answer.sids[0], SE_GROUP_ENABLED};
        answer.more = {answer.sids[1], attributes};
    };
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&answer);
    fill(2, SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY | SE_GROUP_OWNER);
    EXPECT_TRUE(IsAdministratorsEnabledIn(bytes, sizeof answer));
    fill(2, SE_GROUP_USE_FOR_DENY_ONLY);  // a UAC-filtered token
    EXPECT_FALSE(IsAdministratorsEnabledIn(bytes, sizeof answer));
    fill(2, SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY);
    EXPECT_FALSE(IsAdministratorsEnabledIn(bytes, sizeof answer));
    fill(2, 0);  // present, disabled
    EXPECT_FALSE(IsAdministratorsEnabledIn(bytes, sizeof answer));
    fill(1, SE_GROUP_ENABLED);  // not among the groups counted
    EXPECT_FALSE(IsAdministratorsEnabledIn(bytes, sizeof answer));
    fill(2, SE_GROUP_ENABLED);
    EXPECT_FALSE(IsAdministratorsEnabledIn(bytes, offsetof(Answer, sids)));  // SIDs outside
    fill(1000, SE_GROUP_ENABLED);  // a count the answer cannot hold
    EXPECT_FALSE(IsAdministratorsEnabledIn(bytes, sizeof answer));
}

// An existing folder for an elevated /SeaExtract, from its descriptor's text: only SYSTEM, the
// Administrators and TrustedInstaller may change it or what is inside.
TEST(FolderSecurity, ElevatedRunsTakeAFolderOnlyTheTrustedMayChange) {
    const char TI[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::string trusted = "(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)";
    struct Case {
        std::string text;
        bool taken;
    } cases[] = {
        {"O:BAD:PAI" + trusted + "(A;OICIID;0x1200a9;;;BU)", true},
        // mkdir in C:\: inherited "Authenticated Users: Modify", and Users may add folders
        {"O:BAD:AI" + trusted + "(A;OICIID;0x1301bf;;;AU)", false},
        {"O:BAD:AI" + trusted + "(A;CIID;0x100004;;;BU)", false},  // may add a subfolder
        {"O:BAD:AI" + trusted + "(A;CIID;0x100040;;;BU)", false},  // may delete what is inside
        // CREATOR OWNER's entry applies only to what is made inside: passed over
        {"O:BAD:AI" + trusted + "(A;OICIIOID;GA;;;CO)(A;OICIID;GR;;;AU)", true},
        {"O:BAD:AI" + trusted + "(A;OICIID;GA;;;S-1-5-21-1-2-3-1000)", false},  // the user
        {"O:BAD:AI" + trusted + "(A;;GW;;;BU)", false},  // a generic right, mapped
        {"O:BAD:AI" + trusted + "(A;;WD;;;WD)", false},  // may rewrite the list
        {"O:BAD:AI" + trusted + "(A;;WO;;;AU)", false},  // may take the owner
        {"O:BAD:AI" + trusted + "(A;;SD;;;AU)", false},  // may delete it
        {"O:BAD:AI" + trusted + "(D;;FA;;;AU)", true},   // a denial takes away only
        {std::string("O:SYD:P(A;;FA;;;") + TI + ")(A;;0x1200a9;;;WD)", true},
        {"O:SYD:", true},                               // an empty one: nobody
        {"O:S-1-5-21-1-2-3-1000D:P" + trusted, false},  // the owner may change the list
        {"O:BUD:P" + trusted, false},
        {std::string("O:") + TI + "D:P" + trusted, true},
    };
    TextToDescriptorFunction to_descriptor =
        Find<TextToDescriptorFunction>("ConvertStringSecurityDescriptorToSecurityDescriptorA");
    ASSERT_NE(to_descriptor, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(to_descriptor(c.text.c_str(), SDDL_REVISION, &descriptor, nullptr));
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        PSID owner = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
        ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
        const bool taken = IsOwnerTrustedWhenElevated(static_cast<const BYTE*>(owner)) &&
                           IsDaclTrustedOnly(dacl, dacl != nullptr ? dacl->AclSize : 0);
        EXPECT_EQ(taken, c.taken);
        LocalFree(descriptor);
    }
    // A null list lets everyone in. (Wine reads "D:NO_ACCESS_CONTROL" as an empty list.)
    EXPECT_FALSE(IsDaclTrustedOnly(nullptr, 0));
    // A list whose size or entries do not hold together is refused.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(to_descriptor(("D:P" + trusted).c_str(), SDDL_REVISION, &descriptor, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(IsDaclTrustedOnly(dacl, dacl->AclSize));
    EXPECT_FALSE(IsDaclTrustedOnly(dacl, dacl->AclSize - 4));
    // An allowing entry of a kind not read here (a callback entry, with a condition) refuses.
    std::vector<BYTE> copy(reinterpret_cast<const BYTE*>(dacl),
                           reinterpret_cast<const BYTE*>(dacl) + dacl->AclSize);
    copy[sizeof(ACL)] = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    EXPECT_FALSE(IsDaclTrustedOnly(reinterpret_cast<const ACL*>(copy.data()), dacl->AclSize));
    copy[sizeof(ACL)] = ACCESS_DENIED_ACE_TYPE;
    EXPECT_TRUE(IsDaclTrustedOnly(reinterpret_cast<const ACL*>(copy.data()), dacl->AclSize));
    LocalFree(descriptor);
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

// The folder is made and opened in one step, and nobody may open it for deleting (or renaming)
// while it is held. A name that exists, folder or file, is never taken.
TEST(HeldFolder, IsMadeNewAndHeldAgainstDeletion) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder =
        std::wstring(temp) + L"qjx_held_" + std::to_wstring(GetCurrentProcessId());
    PrivateFolderSecurity security;
    ASSERT_TRUE(BuildFolderSecurity(&security, false, true));
    HANDLE held = CreateHeldFolder(folder.c_str(), &security.attributes);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION information;
    ASSERT_TRUE(GetFileInformationByHandle(held, &information));
    EXPECT_NE(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

    EXPECT_EQ(CreateHeldFolder(folder.c_str(), &security.attributes), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE deleter =
        CreateFileW(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_EQ(deleter, INVALID_HANDLE_VALUE);
    if (deleter != INVALID_HANDLE_VALUE) CloseHandle(deleter);
    EXPECT_FALSE(RemoveDirectoryW(folder.c_str()));

    // Names inside go through a handle on the name itself, only when of the kind expected.
    const std::wstring file = folder + L"\\file.txt";
    const std::wstring inner = folder + L"\\inner";
    HANDLE made = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
    EXPECT_EQ(CreateHeldFolder(file.c_str(), nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(RemoveNameThroughHandle(file.c_str(), true), NAME_REFUSED);
    EXPECT_EQ(RemoveNameThroughHandle(inner.c_str(), false), NAME_REFUSED);
    EXPECT_FALSE(DeleteThroughHandle(held));  // not empty
    EXPECT_EQ(RemoveNameThroughHandle(file.c_str(), false), NAME_REMOVED);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RemoveNameThroughHandle(file.c_str(), false), NAME_MISSING);
    EXPECT_EQ(RemoveNameThroughHandle(inner.c_str(), true), NAME_REMOVED);
    EXPECT_EQ(GetFileAttributesW(inner.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(DeleteThroughHandle(held));
    CloseHandle(held);
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

// What the system's libraries load by bare name on systems that cannot restrict the search: bare
// names, each once, and never comctl32, which must stay bare-named for the manifest's version 6.
// Preloaded, each the system has comes from its folder.
TEST(LibraryPreload, LoadsTheOldSystemsBareNamedLibrariesFromTheSystemFolder) {
    std::set<std::string> names;
    for (size_t i = 0; i < OLD_SYSTEM_LIBRARY_COUNT; ++i) {
        const std::string name = OLD_SYSTEM_LIBRARIES[i];
        SCOPED_TRACE(name);
        EXPECT_TRUE(names.insert(name).second);
        EXPECT_EQ(name.find_first_of("\\/:"), std::string::npos);
        ASSERT_GT(name.size(), 4u);
        EXPECT_EQ(name.substr(name.size() - 4), ".dll");
    }
    for (const char* name : {"comctl32.dll", "kernel32.dll", "ntdll.dll", "user32.dll"}) {
        EXPECT_EQ(names.count(name), 0u) << name;
    }
    // The loader's finds on XP, Vista and 7 that a downloads folder has been seen to plant.
    for (const char* name : {"uxtheme.dll", "version.dll", "cryptbase.dll", "dwmapi.dll",
                             "propsys.dll", "ntmarta.dll", "msls31.dll"}) {
        EXPECT_EQ(names.count(name), 1u) << name;
    }
    PreloadOldSystemLibraries();
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    int loaded = 0;
    for (const std::string& name : names) {
        HMODULE module = GetModuleHandleA(name.c_str());
        char path[MAX_PATH];
        if (module == nullptr || GetModuleFileNameA(module, path, MAX_PATH) == 0) continue;
        ++loaded;
        EXPECT_EQ(_strnicmp(path, system, length), 0) << path;
    }
    EXPECT_GE(loaded, 5);
}

}  // namespace

// The system's name for the user's language and the built-in table's agree on the language; a
// buffer too small for the tag gets nothing rather than a cut tag ("en-" or "e").
TEST(UserLanguage, NamesTheUsersLanguageWholeOrNotAtAll) {
    char tag[LANGUAGE_CODE_CAPACITY];
    ASSERT_TRUE(UserLanguageTag(tag, sizeof tag));
    EXPECT_TRUE(IsPlausibleLanguageTag(tag)) << tag;
    char table[LANGUAGE_CODE_CAPACITY];
    const LANGID language = GetUserDefaultUILanguage();
    if (LanguageTagOfId(language, table, sizeof table)) {
        const std::string system(tag), built_in(table);
        EXPECT_EQ(system.substr(0, system.find('-')), built_in.substr(0, built_in.find('-')))
            << system << " " << built_in;
    }
    char small[3] = {'x', 'x', 'x'};
    const bool fits = strlen(tag) < sizeof small;
    EXPECT_EQ(UserLanguageTag(small, sizeof small), fits);
    if (!fits) {
        EXPECT_EQ(small[0], 0);
    }
}
