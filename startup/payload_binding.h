// The payload checked against the digest in the running program's image (Win32). The image is
// what Windows mapped at the start, and what UAC and a signature check saw; the file at the
// program's path may have been replaced since. The held program handle denies writers on the NT
// family, so the bytes hashed here are the bytes extracted afterwards.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "common/result_code.h"
#include "payload/payload_format.h"

// RESULT_OK when the payload in program is the one the image's digest names, or when the image
// carries no bound digest (a stub older than the binding, or one made by an earlier packer);
// RESULT_INVALID_INSTALLER when it is another or cannot be read whole. Logs which it was.
ResultCode CheckPayloadAgainstImage(FILE* program, const PayloadTrailer& trailer,
                                    uint64_t trailer_offset);
