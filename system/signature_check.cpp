#include "system/signature_check.h"

// windows.h first: the crypto headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "system/system_library.h"

namespace {

// The records WinVerifyTrust reads, as the headers lay them out: a wrong size would make the
// system read past them or refuse them on one of the two architectures.
static_assert(sizeof(WINTRUST_FILE_INFO) == (sizeof(void*) == 4 ? 16 : 32),
              "WINTRUST_FILE_INFO layout");
static_assert(sizeof(WINTRUST_DATA) == (sizeof(void*) == 4 ? 48 : 80), "WINTRUST_DATA layout");

// CALG_SHA_256; the headers hide it from builds for systems older than XP SP3.
constexpr ALG_ID SHA_256_ALG_ID = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // ALG_SID_SHA_256

typedef LONG(WINAPI* WinVerifyTrustFunction)(HWND, GUID*, LPVOID);
typedef DWORD(WINAPI* CertOidToAlgIdFunction)(LPCSTR);

// Systems without SHA-2 (Windows 2000, XP before SP3) call a SHA-256 signature invalid even on
// an intact file, so their answer cannot tell damage; they are not asked at all. crypt32 maps
// the digest's OID for the signature check: where it knows SHA-256, so does the check.
bool SystemKnowsSha256() {
    HMODULE crypt = LoadSystemLibrary("crypt32.dll");
    if (crypt == nullptr) return false;
    CertOidToAlgIdFunction oid_to_alg_id = reinterpret_cast<CertOidToAlgIdFunction>(
        reinterpret_cast<void*>(GetProcAddress(crypt, "CertOIDToAlgId")));
    bool known = oid_to_alg_id != nullptr && oid_to_alg_id(szOID_NIST_sha256) == SHA_256_ALG_ID;
    FreeLibrary(crypt);
    return known;
}

// Answers that say the signature block no longer fits the file: its digest differs, or it is
// no readable signature at all although the security directory points at one.
bool IsDamageAnswer(LONG status) {
    const DWORD code = static_cast<DWORD>(status);
    if (code >= static_cast<DWORD>(CRYPT_E_ASN1_ERROR) &&
        code <= static_cast<DWORD>(CRYPT_E_ASN1_NOEOD)) {
        return true;
    }
    switch (code) {
        case static_cast<DWORD>(TRUST_E_BAD_DIGEST):
        case static_cast<DWORD>(TRUST_E_NOSIGNATURE):
        case static_cast<DWORD>(CRYPT_E_BAD_ENCODE):
        case static_cast<DWORD>(CRYPT_E_BAD_MSG):
            return true;
        default:
            return false;
    }
}

}  // namespace

SignatureAnswer CheckSignatureDigest(const wchar_t* path, int32_t* status, void* file_handle) {
    *status = 0;
    HMODULE wintrust = LoadSystemLibrary("wintrust.dll");
    if (wintrust == nullptr) return SIGNATURE_NOT_ASKED;
    WinVerifyTrustFunction verify_trust = reinterpret_cast<WinVerifyTrustFunction>(
        reinterpret_cast<void*>(GetProcAddress(wintrust, "WinVerifyTrust")));
    SignatureAnswer answer = SIGNATURE_NOT_ASKED;
    if (verify_trust != nullptr && SystemKnowsSha256()) {
        WINTRUST_FILE_INFO file = {};
        file.cbStruct = sizeof file;
        file.pcwszFilePath = path;
        file.hFile = file_handle;
        WINTRUST_DATA data = {};
        data.cbStruct = sizeof data;
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        data.dwStateAction = WTD_STATEACTION_IGNORE;
        data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        // INVALID_HANDLE_VALUE: no interactive user, never a dialog.
        LONG result = verify_trust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
        *status = static_cast<int32_t>(result);
        answer = IsDamageAnswer(result) ? SIGNATURE_DAMAGED : SIGNATURE_NOT_DAMAGED;
    }
    FreeLibrary(wintrust);
    return answer;
}
