// The stub's own RCDATA resources, read from the image Windows mapped at the start, never from
// the file at the program's path, which may have been replaced since (Win32).
#pragma once

#include <stddef.h>
#include <stdint.h>

// True when the image carries the RCDATA resource id. *data then points at its bytes (null when
// they cannot be loaded) and *size is their count; both are null and 0 when it has none.
bool FindImageResource(int id, const uint8_t** data, size_t* size);
