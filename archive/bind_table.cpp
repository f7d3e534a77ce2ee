#include "archive/bind_table.h"

#include <string.h>

#include "frame/ascii.h"
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

size_t convert_name(const uint8_t *stored, char *out) {
    size_t w = 0;
    for (size_t i = 0; i < kTableNameBytes; ++i) {
        if (i == 8) out[w++] = '.';
        const char c = static_cast<char>(stored[i]);
        if (c == '\0') break;
        out[w] = c;
        w += c != ' ';
    }
    out[w] = '\0';
    return w;
}

#if defined(_WIN32)

// The system's comparisons follow the user's locale and code page, so every name is
// converted and handed to them.
size_t last_matching_record(const uint8_t *records, size_t count, const char *wanted, bool ignore_case) {
    size_t found = count;
    for (size_t i = 0; i < count; ++i) {
        char name[kNameTextSize];
        convert_name(records + i * kTableRecordSize, name);
        if ((ignore_case ? lstrcmpiA(name, wanted) : lstrcmpA(name, wanted)) == 0) found = i;
    }
    return found;
}

#else

// win32compat's lstrcmpA compares bytes and its lstrcmpiA folds the ASCII letters only.
// The same comparison is made here while each name is converted, so that a record is
// turned down at its first differing byte, most of them at their very first.
namespace {

template <bool kIgnoreCase> unsigned char fold(unsigned char c) {
    return kIgnoreCase ? ascii_lower(c) : c;
}

template <bool kIgnoreCase> bool name_matches(const uint8_t *stored, const unsigned char *w) {
    for (size_t i = 0; i < kTableNameBytes; ++i) {
        if (i == 8) {
            if (*w != '.') return false;
            ++w;
        }
        const unsigned char c = stored[i];
        if (c == '\0') break;
        if (c == ' ') continue;
        if (fold<kIgnoreCase>(c) != fold<kIgnoreCase>(*w)) return false;
        ++w;
    }
    return *w == '\0';
}

template <bool kIgnoreCase> size_t last_match(const uint8_t *records, size_t count, const char *wanted) {
    const unsigned char *w = reinterpret_cast<const unsigned char *>(wanted);
    // The bytes a matching record can start with: the name's first character (in either
    // case when case is ignored), or a space or a zero, which are not characters of the
    // converted name.
    bool may_start[256] = {};
    may_start[0x20] = may_start[0x00] = true;
    may_start[w[0]] = true;
    if (kIgnoreCase && static_cast<unsigned>((w[0] | 0x20) - 'a') < 26u) may_start[w[0] ^ 0x20] = true; // a letter's other case

    // Eight records are tested with one branch; only a group with a possible start is
    // looked at record by record.
    size_t found = count;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint8_t *r = records + i * kTableRecordSize;
        const bool any = may_start[r[0]] | may_start[r[19]] | may_start[r[38]] | may_start[r[57]] |
                         may_start[r[76]] | may_start[r[95]] | may_start[r[114]] | may_start[r[133]];
        if (!any) continue;
        for (size_t k = 0; k < 8; ++k)
            if (name_matches<kIgnoreCase>(r + k * kTableRecordSize, w)) found = i + k;
    }
    for (; i < count; ++i)
        if (name_matches<kIgnoreCase>(records + i * kTableRecordSize, w)) found = i;
    return found;
}

} // namespace

size_t last_matching_record(const uint8_t *records, size_t count, const char *wanted, bool ignore_case) {
    return ignore_case ? last_match<true>(records, count, wanted) : last_match<false>(records, count, wanted);
}

#endif

uint32_t decode_record(const uint8_t *record, uint32_t position, spi_entry_info *entry) {
    const uint32_t size = read_be32(record + 15);
    memcpy(entry->method, kMethodLabel, 7);
    entry->position = position;
    entry->packed_size = size;
    entry->size = size;
    entry->timestamp = 0;
    convert_name(record, entry->file_name);
    entry->checksum = 0;
    return read_be32(record + 11);
}

uint32_t read_record_at(FILE *table, uint32_t position, spi_entry_info *entry) {
    uint8_t record[kTableRecordSize];
    read_or_zero(table, seek_to(table, position), record, sizeof record);
    return decode_record(record, position, entry);
}

bool is_safe_file_name(const char *name) {
    if (!name[0]) return false;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
    return strpbrk(name, "\\/:") == nullptr;
}
