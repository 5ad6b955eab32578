// Finding the trailer in a program file. The trailer is normally the file's last 32 bytes. In a
// signed file the certificate table follows it: when the PE security directory's table ends
// exactly at the end of the file, the trailer is the 32 bytes right before that table, so that
// everything extracted lies inside the signed region.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "payload/payload_format.h"

// Returns true when a trailer with the magic was found; fills *trailer and *trailer_offset
// (the trailer's file offset). The stream's position afterwards is unspecified.
//
// A signed file is judged by its signed part only: when a certificate table ends at the end of
// the file, the last 32 bytes (inside the unsigned table, where anyone can append data without
// breaking the signature) are never taken as the trailer.
bool ReadTrailer(FILE* file, PayloadTrailer* trailer, uint64_t* trailer_offset);

// True when the payload the trailer describes lies inside the file, before the trailer.
bool IsTrailerSound(const PayloadTrailer& trailer, uint64_t trailer_offset);

// The PE security directory of the file: the certificate table's file offset and size. Returns
// false when the file is no PE image or its directory is empty.
bool FindCertificateTable(FILE* file, uint64_t* table_offset, uint64_t* table_size);

// The COFF machine field of a PE image (0x14C for x86, 0x8664 for x64). Returns false when the
// file is no PE image.
bool ReadPeMachine(FILE* file, uint32_t* machine);
