// What both plug-ins share with the host besides the ABI: result codes, flag bits, the
// information strings, memory blocks handed to the host, and the progress callback.
#ifndef FRAME_PLUGIN_CONTRACT_H
#define FRAME_PLUGIN_CONTRACT_H

#include <stddef.h>
#include <stdint.h>

#include "frame/spi_abi.h"

// Result codes. No export returns any other value.
enum : spi_result {
    SPI_OK = 0,
    SPI_NOT_SUPPORTED = -1, // input in memory where only files are taken, a file of 4 GiB
                            // or more, a picture of the wrong size
    SPI_CANCELLED = 1,      // the progress callback asked to stop
    SPI_NO_ENTRY = 2,       // no entry of the requested name
    SPI_ALLOC_FAILED = 4,   // a memory block could not be allocated
    SPI_LOCK_FAILED = 5,    // a memory block could not be locked
    SPI_OPEN_FAILED = 6,    // a file was not found or could not be opened for reading
    SPI_CREATE_FAILED = 8,  // the output file could not be created
};

// Bits of the host's flag word; all others are ignored.
enum : spi_flags {
    SPI_FLAG_MEMORY_INPUT = 0x001,  // source points to the data, offset is its size
    SPI_FLAG_IGNORE_CASE = 0x080,   // GetFileInfo compares names without regard to case
    SPI_FLAG_MEMORY_OUTPUT = 0x100, // GetFile hands the entry out as a memory block
};

// The four information strings of one plug-in: kind, name and version, file pattern,
// description of the pattern.
struct PluginInfoTable {
    const char *strings[4];
};

inline constexpr PluginInfoTable kToldrinInfo = {{
    "00AM",
    "toldrin - ver.0.03 (C) 2026 Fennick Works",
    "bind*.tbl",
    "[SS]Kaltrev Bind Archive  (bind*.tbl+dat)",
}};

inline constexpr PluginInfoTable kMaruskInfo = {{
    "00IN",
    "felvane - ver.0.04 (C) 2026 Fennick Works",
    "*.b16",
    "[SS]Kaltrev 16bit(640x224)  (*.B16)",
}};

// GetPluginInfo for one table. An index outside 0..3 (negative ones too) gives 0 and
// leaves the buffer alone. Otherwise the string is copied with its terminator and the
// answer is its length plus one. A buffer too small for that receives as much of the
// string as fits, still terminated, and the answer is the number of bytes written,
// terminator included; a buffer of no bytes receives nothing and the answer is 0.
int32_t copy_plugin_info(const PluginInfoTable &table, int32_t index, char *buffer, int32_t buffer_size);

// Reports progress to the host. Answers non-zero when the host asks to cancel; a null
// callback never cancels.
int report_progress(spi_progress progress, int32_t numerator, int32_t denominator, spi_user user_value);

// A memory block for the host, allocated with `flags` (zero-filled) and locked for
// filling. Answers SPI_OK with both outputs set, SPI_ALLOC_FAILED, or SPI_LOCK_FAILED
// after freeing the block; on failure nothing is left allocated.
spi_result alloc_locked_block(UINT flags, SIZE_T size, HLOCAL *handle, void **data);

// Unlocks and frees a block obtained from alloc_locked_block (failure paths).
void discard_block(HLOCAL handle);

#endif
