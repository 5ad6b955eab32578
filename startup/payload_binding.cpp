#include "startup/payload_binding.h"

#include <windows.h>

#include "common/globals.h"
#include "payload/payload_digest.h"
#include "resources/resource_ids.h"
#include "startup/run_log.h"
#include "system/windows_family.h"

namespace {

// The digest record from the mapped image, never from the file: null when there is none.
const uint8_t* ImageDigestRecord(size_t* size) {
    *size = 0;
    HRSRC found = FindResourceA(g_hinstance, MAKEINTRESOURCEA(IDR_PAYLOAD_DIGEST),
                                MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(g_hinstance, found);
    const void* record = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (record == nullptr) return nullptr;
    *size = SizeofResource(g_hinstance, found);
    return static_cast<const uint8_t*>(record);
}

}  // namespace

ResultCode CheckPayloadAgainstImage(FILE* program, const PayloadTrailer& trailer,
                                    uint64_t trailer_offset) {
    size_t size = 0;
    const uint8_t* record = ImageDigestRecord(&size);
    // The 9x family may not save the registers the SHA extensions use; there the portable rounds
    // run whatever the processor offers.
    Sha256UseExtensions(!IsWindows9x());
    switch (CheckPayloadBinding(program, trailer, trailer_offset, record, size)) {
        case BINDING_MATCH:
            LogLine("payload: matches the digest in the program");
            return RESULT_OK;
        case BINDING_MISMATCH:
            LogLine(
                "payload: does not match the digest in the program (changed, or the file at "
                "the program's path is another installer)");
            return RESULT_INVALID_INSTALLER;
        default:
            LogLine("payload: unbound (no digest in the program): not checked");
            return RESULT_OK;
    }
}
