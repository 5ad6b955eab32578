// Asking the system whether a signed program file still matches its Authenticode signature
// (Win32 only). Nothing here judges the publisher: that is the system's job when it starts a
// program. This only tells a file damaged after signing from an intact one.
#pragma once

#include <stdint.h>

enum SignatureAnswer {
    // wintrust.dll is missing, or the system's crypto does not know SHA-256, so that it would
    // call today's signatures broken whatever the file holds.
    SIGNATURE_NOT_ASKED,
    // The digest does not match the signature, or the signature block cannot be parsed.
    SIGNATURE_DAMAGED,
    // Every other answer: a matching digest (with a trusted certificate or not), or a check
    // that failed for reasons of its own.
    SIGNATURE_NOT_DAMAGED,
};

// Checks the file at path (UTF-16) with WinVerifyTrust and WINTRUST_ACTION_GENERIC_VERIFY_V2:
// no UI, no revocation checks and no network retrieval, so that it never waits on a server.
// *status receives the system's answer (an HRESULT), 0 when it was not asked. With file, an open
// handle of that file with read access, the system reads through it rather than opening the path
// anew: the file checked is then the caller's, whatever the path names meanwhile.
SignatureAnswer CheckSignatureDigest(const wchar_t* path, int32_t* status, void* file = nullptr);
