#include "system/random_source.h"

#include <windows.h>

#include "system/system_library.h"

namespace {

typedef BOOLEAN(WINAPI* RtlGenRandomFunction)(PVOID, ULONG);
typedef BOOL(WINAPI* CryptAcquireContextFunction)(ULONG_PTR*, LPCSTR, LPCSTR, DWORD, DWORD);
typedef BOOL(WINAPI* CryptGenRandomFunction)(ULONG_PTR, DWORD, BYTE*);
typedef BOOL(WINAPI* CryptReleaseContextFunction)(ULONG_PTR, DWORD);

constexpr DWORD RSA_FULL_PROVIDER = 1;        // PROV_RSA_FULL: present wherever the CryptoAPI is
constexpr DWORD VERIFY_CONTEXT = 0xF0000000;  // CRYPT_VERIFYCONTEXT: no key container needed

template <typename Function>
Function Find(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool DrawFromCryptoApi(HMODULE advapi, void* buffer, uint32_t length) {
    CryptAcquireContextFunction acquire =
        Find<CryptAcquireContextFunction>(advapi, "CryptAcquireContextA");
    CryptGenRandomFunction generate = Find<CryptGenRandomFunction>(advapi, "CryptGenRandom");
    CryptReleaseContextFunction release =
        Find<CryptReleaseContextFunction>(advapi, "CryptReleaseContext");
    ULONG_PTR provider = 0;
    if (acquire == nullptr || generate == nullptr || release == nullptr ||
        !acquire(&provider, nullptr, nullptr, RSA_FULL_PROVIDER, VERIFY_CONTEXT)) {
        return false;
    }
    const bool drawn = generate(provider, length, static_cast<BYTE*>(buffer)) != 0;
    release(provider, 0);
    return drawn;
}

}  // namespace

bool DrawSystemRandom(void* buffer, uint32_t length) {
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return false;
    RtlGenRandomFunction generate = Find<RtlGenRandomFunction>(advapi, "SystemFunction036");
    const bool drawn = (generate != nullptr && generate(buffer, length)) ||
                       DrawFromCryptoApi(advapi, buffer, length);
    FreeLibrary(advapi);
    return drawn;
}
