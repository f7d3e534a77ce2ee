// Bind archives: a bind table of 19-byte records naming each entry, and a bind data
// file beside it holding the entries' bytes.
//
// Table record (all fields stored, no header, no trailer):
//   0   8  base name, padded with spaces
//   8   3  extension, padded with spaces, no dot
//   11  4  data offset, unsigned big-endian: where the entry starts in the data file
//   15  4  size, unsigned big-endian
#ifndef ARCHIVE_BIND_TABLE_H
#define ARCHIVE_BIND_TABLE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "frame/spi_abi.h"

constexpr size_t kTableRecordSize = 19;
constexpr size_t kTableNameBytes = 11;
constexpr size_t kEntryRecordSize = sizeof(spi_entry_info);

// A converted name with its terminator: at most 8 + 1 + 3 characters and a zero.
constexpr size_t kNameTextSize = 13;

// The method label of every entry: "-" and four half-width katakana and "-" in code
// page 932, written byte for byte whatever the system's code page.
constexpr uint8_t kMethodLabel[8] = {0x2D, 0xB2, 0xDD, 0xC1, 0xB7, 0x2D, 0x00, 0x00};

// Unsigned 32-bit value stored most significant byte first.
inline uint32_t read_be32(const uint8_t *b) {
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

// The bind data file's path: the table path with its final ".tbl" (any case, with at
// least one byte before it) replaced by ".dat". Writes it into `out` (MAX_PATH bytes) and
// answers non-zero; answers 0 and leaves `out` alone when the path has no such ending or
// the data path would not fit.
int data_path_for(const char *table_path, char *out);

// Turns the 11 stored name bytes into a file name: base, dot, extension, with every 0x20
// byte removed; a zero byte ends the name wherever it stands (before the dot when it is in
// the base). Writes the name and its terminator to `out` (kNameTextSize bytes of room)
// and nothing beyond them; answers the name's length.
size_t convert_name(const uint8_t *stored, char *out);

// The last of `count` consecutive table records whose converted name equals `wanted`
// under the comparison the host chose: with regard to case (lstrcmpA) or without
// (lstrcmpiA). Answers its index, or `count` when none does.
size_t last_matching_record(const uint8_t *records, size_t count, const char *wanted, bool ignore_case);

// Fills an entry from one table record found at table position `position`: the method
// label, position, sizes, timestamp and checksum, and the converted name. Other bytes of
// the entry keep what they held. Answers the record's data offset.
uint32_t decode_record(const uint8_t *record, uint32_t position, spi_entry_info *entry);

// Reads the table record at `position` of an open table and decodes it. Bytes beyond the
// end of the table read as zero. Answers the data offset.
uint32_t read_record_at(FILE *table, uint32_t position, spi_entry_info *entry);

// Whether a converted name is safe to append to a destination directory: not empty, not
// "." or "..", and without '\\', '/' or ':', so the file lands in that directory.
bool is_safe_file_name(const char *name);

#endif
