#include "payload/payload_format.h"
// placeholder
bool ParseTrailer(const uint8_t*, PayloadTrailer*) { return false; }
void SerializeTrailer(const PayloadTrailer&, uint8_t*) {}
bool IsSafeEntryName(const char*) { return false; }
