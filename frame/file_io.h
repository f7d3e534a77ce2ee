// File access shared by both plug-ins: what a path names, reading at any 32-bit
// unsigned position of a file of any size, and reads that never leave stale bytes.
#ifndef FRAME_FILE_IO_H
#define FRAME_FILE_IO_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "frame/spi_abi.h"

struct FileFacts {
    bool found;          // the path (or the first match of a wildcard) exists
    uint32_t size_high;  // the size in two halves; 0 for a directory
    uint32_t size_low;
};

// Looks a path up with FindFirstFileA and closes the search at once. A directory counts
// as found. A null or empty path is not found.
FileFacts file_facts(const char *path);

// Opens a file for reading ("rb"); null when the path is null, names a folder, or the
// open fails.
FILE *open_for_read(const char *path);

// The file position a host's offset names. Offsets and record positions are 32-bit
// unsigned file positions; on a 32-bit host a position of 2 GiB or more arrives as a
// negative offset and is read back as the position it was.
inline uint64_t file_position(spi_offset offset) {
    return static_cast<uint32_t>(offset);
}

// Moves to an absolute position, which may lie beyond 2 GiB and beyond the end.
bool seek_to(FILE *file, uint64_t position);

// Reads up to `size` bytes; whatever the file does not deliver reads as zero. `positioned`
// is what seek_to answered for where the reads start: when the stream could not be moved
// there, nothing is read, so no bytes from elsewhere in the file are taken for the data.
// Answers the number of bytes the file delivered.
size_t read_or_zero(FILE *file, bool positioned, void *buffer, size_t size);

#endif
