// The exports of toldrin, the bind archive plug-in.

#include <stdlib.h>
#include <string.h>

#include "archive/bind_table.h"
#include "frame/file_io.h"
#include "frame/plugin_contract.h"

namespace {

// The largest block a 32-bit host can be handed; both builds keep to it so that they
// give the same answers.
constexpr uint64_t kMaxBlockSize = 0xFFFFFFFFu;

// Records per read while scanning a table: at most 1 MiB at a time, so that the fixed
// cost of each read stays small beside the copying; 4 KiB when read through the stack.
constexpr size_t kHeapScanRecords = (1u << 20) / 19;
constexpr size_t kStackScanRecords = 4096 / 19;

// File output is copied through a buffer of at most this many bytes.
constexpr uint32_t kCopyChunk = 1u << 20;

} // namespace

extern "C" {

SPI_EXPORT int32_t SPI_CALL GetPluginInfo(int32_t index, char *buffer, int32_t buffer_size) {
    return copy_plugin_info(kToldrinInfo, index, buffer, buffer_size);
}

SPI_EXPORT int32_t SPI_CALL IsSupported(const char *path, spi_source source) {
    (void)source; // the table is recognised by its companion data file alone
    char data_path[MAX_PATH];
    if (!data_path_for(path, data_path)) return 0;
    return file_facts(data_path).found ? 1 : 0;
}

SPI_EXPORT spi_result SPI_CALL GetArchiveInfo(const char *source, spi_offset offset, spi_flags flag,
                                              HLOCAL *list_out) {
    if ((flag & SPI_FLAG_MEMORY_INPUT) || !list_out) return SPI_NOT_SUPPORTED;
    const FileFacts facts = file_facts(source);
    if (!facts.found) return SPI_OPEN_FAILED;
    if (facts.size_high != 0) return SPI_NOT_SUPPORTED;

    // The number of records comes from the whole file, whatever the offset.
    const size_t n = facts.size_low / kTableRecordSize;
    const uint64_t list_size = (uint64_t(n) + 1) * kEntryRecordSize;
    if (list_size > kMaxBlockSize) return SPI_ALLOC_FAILED;

    HLOCAL list;
    void *data;
    const spi_result got = alloc_locked_block(LMEM_FIXED, static_cast<SIZE_T>(list_size), &list, &data);
    if (got != SPI_OK) return got;
    FILE *table = open_for_read(source);
    if (!table) {
        discard_block(list);
        return SPI_OPEN_FAILED;
    }

    // The whole table is read in one go into the tail of the list, then spread forwards
    // into the entries. Entry i ends where record i starts at the latest, so no record is
    // overwritten before it is read; entries that reach into the tail are cleared first.
    uint8_t *entries = static_cast<uint8_t *>(data);
    const size_t table_bytes = n * kTableRecordSize;
    const size_t tail = static_cast<size_t>(list_size) - table_bytes;
    const uint64_t start = file_position(offset);
    read_or_zero(table, seek_to(table, start), entries + tail, table_bytes);
    fclose(table);

    for (size_t i = 0; i < n; ++i) {
        uint8_t record[kTableRecordSize];
        memcpy(record, entries + tail + i * kTableRecordSize, kTableRecordSize);
        uint8_t *entry = entries + i * kEntryRecordSize;
        if (i * kEntryRecordSize + kEntryRecordSize > tail) memset(entry, 0, kEntryRecordSize);
        decode_record(record, static_cast<uint32_t>(start + i * kTableRecordSize),
                      reinterpret_cast<spi_entry_info *>(entry));
    }
    memset(entries + n * kEntryRecordSize, 0, kEntryRecordSize); // the end mark

    LocalUnlock(list);
    *list_out = list;
    return SPI_OK;
}

SPI_EXPORT spi_result SPI_CALL GetFileInfo(const char *source, spi_offset offset, const char *name, spi_flags flag,
                                           spi_entry_info *entry_out) {
    if ((flag & SPI_FLAG_MEMORY_INPUT) || !name || !entry_out) return SPI_NOT_SUPPORTED;
    const bool ignore_case = (flag & SPI_FLAG_IGNORE_CASE) != 0;
    const FileFacts facts = file_facts(source);
    if (!facts.found) return SPI_OPEN_FAILED;
    FILE *table = open_for_read(source);
    if (!table) return SPI_OPEN_FAILED;

    // Every record is visited; when several carry the name, the last one is reported.
    const size_t n = facts.size_low / kTableRecordSize;
    const uint64_t start = file_position(offset);
    const bool positioned = seek_to(table, start);
    // The table is read in chunks of up to 1 MiB of scratch memory from the heap; when the
    // heap has none to spare, through a smaller buffer on the stack.
    uint8_t stack_chunk[kStackScanRecords * kTableRecordSize];
    size_t chunk_records = n < kHeapScanRecords ? n : kHeapScanRecords;
    uint8_t *heap_chunk = chunk_records > kStackScanRecords
                              ? static_cast<uint8_t *>(malloc(chunk_records * kTableRecordSize))
                              : nullptr;
    uint8_t *chunk = heap_chunk ? heap_chunk : stack_chunk;
    if (!heap_chunk && chunk_records > kStackScanRecords) chunk_records = kStackScanRecords;
    uint8_t matched[kTableRecordSize];
    bool found = false;
    size_t match_index = 0;
    for (size_t done = 0; done < n;) {
        const size_t count = n - done < chunk_records ? n - done : chunk_records;
        read_or_zero(table, positioned, chunk, count * kTableRecordSize);
        const size_t i = last_matching_record(chunk, count, name, ignore_case);
        if (i < count) {
            memcpy(matched, chunk + i * kTableRecordSize, kTableRecordSize);
            match_index = done + i;
            found = true;
        }
        done += count;
    }
    free(heap_chunk);
    fclose(table);
    if (!found) return SPI_NO_ENTRY;

    memset(entry_out, 0, sizeof *entry_out);
    decode_record(matched, static_cast<uint32_t>(start + match_index * kTableRecordSize), entry_out);
    return SPI_OK;
}

SPI_EXPORT spi_result SPI_CALL GetFile(const char *source, spi_offset offset, char *destination, spi_flags flag,
                                       spi_progress progress, spi_user user_value) {
    (void)progress; // extraction is a single copy; there is nothing to report
    (void)user_value;
    if ((flag & SPI_FLAG_MEMORY_INPUT) || !destination) return SPI_NOT_SUPPORTED;
    const bool to_memory = (flag & SPI_FLAG_MEMORY_OUTPUT) != 0;

    // The record is read again from the table, at the position the host hands back.
    FILE *table = open_for_read(source);
    if (!table) return SPI_OPEN_FAILED;
    spi_entry_info entry;
    memset(&entry, 0, sizeof entry);
    const uint32_t data_offset = read_record_at(table, static_cast<uint32_t>(file_position(offset)), &entry);
    fclose(table);

    char data_path[MAX_PATH];
    if (!data_path_for(source, data_path)) return SPI_OPEN_FAILED;
    FILE *data = open_for_read(data_path);
    if (!data) return SPI_OPEN_FAILED;
    const bool positioned = seek_to(data, data_offset);

    if (to_memory) {
        // An empty entry still gets a block the host can lock: one zero byte.
        HLOCAL block;
        void *bytes;
        const spi_result got =
            alloc_locked_block(LMEM_MOVEABLE, entry.size ? entry.size : 1, &block, &bytes);
        if (got != SPI_OK) {
            fclose(data);
            return got;
        }
        // The block is zero-filled already: what the data file does not deliver stays
        // zero without touching it, however large the record says the entry is.
        if (positioned) fread(bytes, 1, entry.size, data);
        fclose(data);
        LocalUnlock(block);
        *reinterpret_cast<HLOCAL *>(destination) = block;
        return SPI_OK;
    }

    // File output: destination followed directly by the entry's name, which must name a
    // file inside that directory and must fit.
    char output_path[MAX_PATH];
    const int dir_length = lstrlenA(destination);
    const int name_length = lstrlenA(entry.file_name);
    if (!is_safe_file_name(entry.file_name) || dir_length + name_length + 1 > MAX_PATH) {
        fclose(data);
        return SPI_CREATE_FAILED;
    }
    lstrcpyA(output_path, destination);
    lstrcatA(output_path, entry.file_name);

    // The copy goes through a bounded buffer, so an entry needs no block of its own size.
    HLOCAL buffer_block = nullptr;
    void *buffer = nullptr;
    const uint32_t chunk = entry.size < kCopyChunk ? entry.size : kCopyChunk;
    if (chunk) {
        const spi_result got = alloc_locked_block(LMEM_MOVEABLE, chunk, &buffer_block, &buffer);
        if (got != SPI_OK) {
            fclose(data);
            return got;
        }
    }
    FILE *output = fopen(output_path, "wb");
    if (!output) {
        if (buffer_block) discard_block(buffer_block);
        fclose(data);
        return SPI_CREATE_FAILED;
    }
    bool written = true;
    for (uint32_t left = entry.size; left > 0;) {
        const uint32_t part = left < chunk ? left : chunk;
        read_or_zero(data, positioned, buffer, part);
        if (fwrite(buffer, 1, part, output) != part) {
            written = false;
            break;
        }
        left -= part;
    }
    if (fclose(output) != 0) written = false;
    fclose(data);
    if (buffer_block) discard_block(buffer_block);
    return written ? SPI_OK : SPI_CREATE_FAILED;
}

} // extern "C"
