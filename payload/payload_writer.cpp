#include "payload/payload_writer.h"
// placeholder
ResultCode BeginPayload(PayloadWriter*, FILE*) { return RESULT_WRITE_FAILED; }
ResultCode AddDirectoryEntry(PayloadWriter*, const char*) { return RESULT_WRITE_FAILED; }
ResultCode AddFileEntry(PayloadWriter*, const char*, FILE*, uint64_t) { return RESULT_WRITE_FAILED; }
ResultCode AddMemoryEntry(PayloadWriter*, const char*, const void*, uint64_t) { return RESULT_WRITE_FAILED; }
ResultCode FinishPayload(PayloadWriter*, uint32_t, uint32_t, PayloadTrailer*) { return RESULT_WRITE_FAILED; }
