#include "startup/payload_binding.h"

#include <windows.h>

#include "payload/payload_digest.h"
#include "resources/resource_ids.h"
#include "startup/image_resource.h"
#include "startup/run_log.h"
#include "system/windows_family.h"

ResultCode CheckPayloadAgainstImage(FILE* program, const PayloadTrailer& trailer,
                                    uint64_t trailer_offset) {
    // From the mapped image, never from the file: no record reads as unbound.
    size_t size = 0;
    const uint8_t* record = nullptr;
    FindImageResource(IDR_PAYLOAD_DIGEST, &record, &size);
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
