#include "archive/bind_table.h"

#include <string.h>

#include "frame/file_io.h"

int data_path_for(const char *table_path, char *out) {
    if (!table_path || !*table_path) return 0;
    // Walk back from the terminator; the first byte is never compared, so ".tbl" needs
    // at least one byte before it.
    for (int p = lstrlenA(table_path); p > 0; --p) {
        if (lstrcmpiA(table_path + p, ".tbl") != 0) continue;
        if (p + 5 > MAX_PATH) return 0; // the kept part, ".dat" and the terminator
        memcpy(out, table_path, static_cast<size_t>(p));
        memcpy(out + p, ".dat", 5);
        return 1;
    }
    return 0;
}

char *convert_name(char *text) {
    // Base, dot, extension, zero.
    memmove(text + 9, text + 8, 4);
    text[8] = '.';
    // Remove every space up to the first zero byte.
    size_t w = 0;
    for (size_t r = 0; text[r] != '\0'; ++r) {
        if (text[r] != ' ') text[w++] = text[r];
    }
    text[w] = '\0';
    return text;
}

uint32_t decode_record(const uint8_t *record, uint32_t position, spi_entry_info *entry) {
    char name[kNameTextSize];
    memcpy(name, record, kTableNameBytes);
    name[kTableNameBytes] = '\0';
    convert_name(name);

    const uint32_t size = read_be32(record + 15);
    memcpy(entry->method, kMethodLabel, 7);
    entry->position = position;
    entry->packed_size = size;
    entry->size = size;
    entry->timestamp = 0;
    memcpy(entry->file_name, name, strlen(name) + 1);
    entry->checksum = 0;
    return read_be32(record + 11);
}

uint32_t read_record_at(FILE *table, uint32_t position, spi_entry_info *entry) {
    uint8_t record[kTableRecordSize];
    if (seek_to(table, position)) {
        read_or_zero(table, record, sizeof record);
    } else {
        memset(record, 0, sizeof record);
    }
    return decode_record(record, position, entry);
}

bool is_safe_file_name(const char *name) {
    if (!name[0]) return false;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
    return strpbrk(name, "\\/:") == nullptr;
}
