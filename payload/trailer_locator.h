// Finding the trailer in a program file. The trailer is normally the file's last 32 bytes. In a
// signed file the certificate table follows it: when the last 32 bytes are not a trailer and the
// PE security directory's table ends exactly at the end of the file, the trailer is the 32 bytes
// right before that table, so that everything extracted lies inside the signed region.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "payload/payload_format.h"

// Returns true when a trailer with the magic was found; fills *trailer and *trailer_offset
// (the trailer's file offset). The stream's position afterwards is unspecified.
bool ReadTrailer(FILE* file, PayloadTrailer* trailer, uint64_t* trailer_offset);

// True when the payload the trailer describes lies inside the file, before the trailer.
bool IsTrailerSound(const PayloadTrailer& trailer, uint64_t trailer_offset);
