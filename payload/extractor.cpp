#include "payload/extractor.h"
// placeholder
ResultCode ExtractPayload(const PayloadTrailer*, const char*, const char*, ExtractEventHandler, void*) { return RESULT_BAD_PAYLOAD; }
