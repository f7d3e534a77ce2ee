#include "frame/file_io.h"

#include <string.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

FileFacts file_facts(const char *path) {
    FileFacts facts = {false, 0, 0};
    if (!path || !*path) return facts;
    WIN32_FIND_DATAA data;
    memset(&data, 0, sizeof data);
    HANDLE search = FindFirstFileA(path, &data);
    if (search == INVALID_HANDLE_VALUE) return facts;
    FindClose(search);
    facts.found = true;
    facts.size_high = data.nFileSizeHigh;
    facts.size_low = data.nFileSizeLow;
    return facts;
}

FILE *open_for_read(const char *path) {
    if (!path || !*path) return nullptr;
    FILE *file = fopen(path, "rb");
#if !defined(_WIN32)
    // A folder opens for reading here, though not on Windows; both builds refuse it.
    struct stat st;
    if (file && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(file);
        return nullptr;
    }
#endif
    return file;
}

bool seek_to(FILE *file, uint64_t position) {
#if defined(_WIN32)
    // The system C runtime's fpos_t is a 64-bit byte position.
    fpos_t pos = static_cast<fpos_t>(position);
    return fsetpos(file, &pos) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

size_t read_or_zero(FILE *file, bool positioned, void *buffer, size_t size) {
    const size_t got = positioned ? fread(buffer, 1, size, file) : 0;
    if (got < size) memset(static_cast<char *>(buffer) + got, 0, size - got);
    return got;
}
