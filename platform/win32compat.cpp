// The Windows kernel services of win32compat.h, over POSIX.

#include "platform/win32compat.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// ---------------------------------------------------------------------------------------
// Local memory

// A fixed block's handle is its address; a movable block's handle is the address of its
// Block record, which is not the address of its memory.
struct Block {
    void *data;     // null for a movable block of zero bytes
    size_t size;
    bool movable;
    unsigned locks; // movable blocks only
};

std::mutex g_memory_mutex;
std::unordered_map<void *, Block *> g_blocks; // by handle
size_t g_allocations = 0;
uint64_t g_allocated_bytes = 0;
unsigned g_fail_alloc_countdown = 0;
unsigned g_fail_lock_countdown = 0;

// Counts down an armed failure; true when this call is the one that must fail.
bool fault_due(unsigned &countdown) {
    if (countdown == 0) return false;
    return --countdown == 0;
}

Block *find_block(HLOCAL handle) {
    auto it = g_blocks.find(handle);
    return it == g_blocks.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------------------
// Find handles

struct Search {
    int unused;
};
std::atomic<size_t> g_open_searches{0};

unsigned char fold_ascii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Wildcard match of one name component: '*' is any run of characters, '?' one character,
// everything else matches itself without regard to the case of ASCII letters.
bool wildcard_match(const char *pattern, const char *name) {
    const char *star = nullptr;
    const char *resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' ||
                   (*pattern && fold_ascii(static_cast<unsigned char>(*pattern)) ==
                                    fold_ascii(static_cast<unsigned char>(*name)))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

void to_filetime(const struct timespec &t, FILETIME *out) {
    // 100-nanosecond intervals since 1601-01-01.
    const uint64_t epoch_offset = 116444736000000000ull;
    uint64_t ticks = epoch_offset + static_cast<uint64_t>(t.tv_sec) * 10000000ull +
                     static_cast<uint64_t>(t.tv_nsec) / 100u;
    out->dwLowDateTime = static_cast<DWORD>(ticks);
    out->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

void fill_find_data(const struct stat &st, const char *name, WIN32_FIND_DATAA *out) {
    std::memset(out, 0, sizeof *out);
    const bool directory = S_ISDIR(st.st_mode);
    out->dwFileAttributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) out->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    const uint64_t size = directory ? 0u : static_cast<uint64_t>(st.st_size);
    out->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    out->nFileSizeLow = static_cast<DWORD>(size);
    to_filetime(st.st_mtim, &out->ftCreationTime);
    to_filetime(st.st_atim, &out->ftLastAccessTime);
    to_filetime(st.st_mtim, &out->ftLastWriteTime);
    std::strncpy(out->cFileName, name, MAX_PATH - 1);
}

bool has_wildcard(const char *s) {
    return std::strpbrk(s, "*?") != nullptr;
}

} // namespace

extern "C" {

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    if (fault_due(g_fail_alloc_countdown)) return nullptr;

    const bool zero = (flags & LMEM_ZEROINIT) != 0;
    const bool movable = (flags & LMEM_MOVEABLE) != 0;
    void *data = nullptr;
    if (bytes != 0 || !movable) {
        // A fixed block always has an address, even at zero bytes.
        const size_t real = bytes ? bytes : 1;
        data = zero ? std::calloc(real, 1) : std::malloc(real);
        if (!data) return nullptr;
    }
    Block *block = new (std::nothrow) Block{data, bytes, movable, 0};
    if (!block) {
        std::free(data);
        return nullptr;
    }
    HLOCAL handle = movable ? static_cast<HLOCAL>(block) : data;
    g_blocks.emplace(handle, block);
    ++g_allocations;
    g_allocated_bytes += bytes;
    return handle;
}

LPVOID LocalLock(HLOCAL handle) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    Block *block = find_block(handle);
    if (!block) return nullptr;
    if (fault_due(g_fail_lock_countdown)) return nullptr;
    if (!block->movable) return block->data;
    if (!block->data) return nullptr; // zero bytes: nothing to lock
    ++block->locks;
    return block->data;
}

BOOL LocalUnlock(HLOCAL handle) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    Block *block = find_block(handle);
    if (!block || !block->movable || block->locks == 0) return FALSE;
    --block->locks;
    return block->locks != 0;
}

HLOCAL LocalFree(HLOCAL handle) {
    if (!handle) return nullptr;
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    auto it = g_blocks.find(handle);
    if (it == g_blocks.end()) return handle; // not a block: failure
    Block *block = it->second;
    g_blocks.erase(it);
    std::free(block->data);
    delete block;
    return nullptr;
}

SIZE_T LocalSize(HLOCAL handle) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    Block *block = find_block(handle);
    return block ? block->size : 0;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA *found) {
    if (!pattern || !*pattern || !found) return INVALID_HANDLE_VALUE;
    const char *slash = std::strrchr(pattern, '/');
    const char *leaf = slash ? slash + 1 : pattern;
    if (!*leaf) return INVALID_HANDLE_VALUE; // a trailing separator names no file

    struct stat st;
    if (!has_wildcard(leaf)) {
        if (stat(pattern, &st) != 0) return INVALID_HANDLE_VALUE;
        fill_find_data(st, leaf, found);
    } else {
        const std::string dir = slash ? std::string(pattern, static_cast<size_t>(slash - pattern) + 1) : std::string("./");
        DIR *d = opendir(dir.c_str());
        if (!d) return INVALID_HANDLE_VALUE;
        // The first match in name order answers, so the answer does not depend on the
        // order in which the file system happens to list the directory.
        std::string best;
        bool any = false;
        while (struct dirent *e = readdir(d)) {
            if (!wildcard_match(leaf, e->d_name)) continue;
            if (!any || std::strcmp(e->d_name, best.c_str()) < 0) {
                best = e->d_name;
                any = true;
            }
        }
        closedir(d);
        if (!any || stat((dir + best).c_str(), &st) != 0) return INVALID_HANDLE_VALUE;
        fill_find_data(st, best.c_str(), found);
    }
    Search *search = new (std::nothrow) Search{0};
    if (!search) return INVALID_HANDLE_VALUE;
    ++g_open_searches;
    return search;
}

BOOL FindClose(HANDLE search) {
    if (!search || search == INVALID_HANDLE_VALUE) return FALSE;
    delete static_cast<Search *>(search);
    --g_open_searches;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, DWORD *read_count, void *overlapped) {
    (void)overlapped;
    if (read_count) *read_count = 0;
    if (!file || file == INVALID_HANDLE_VALUE || (!buffer && to_read)) return FALSE;
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(file));
    DWORD total = 0;
    while (total < to_read) {
        const ssize_t got = ::read(fd, static_cast<char *>(buffer) + total, to_read - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            return FALSE;
        }
        if (got == 0) break; // end of file
        total += static_cast<DWORD>(got);
    }
    if (read_count) *read_count = total;
    return TRUE;
}

int lstrlenA(LPCSTR s) {
    return s ? static_cast<int>(std::strlen(s)) : 0;
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int size) {
    if (!dst || size <= 0) return dst;
    int i = 0;
    if (src) {
        for (; i < size - 1 && src[i]; ++i) dst[i] = src[i];
    }
    dst[i] = '\0';
    return dst;
}

LPSTR lstrcpyA(LPSTR dst, LPCSTR src) {
    if (!dst) return nullptr;
    return std::strcpy(dst, src ? src : "");
}

LPSTR lstrcatA(LPSTR dst, LPCSTR src) {
    if (!dst) return nullptr;
    return std::strcat(dst, src ? src : "");
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
    const unsigned char *x = reinterpret_cast<const unsigned char *>(a ? a : "");
    const unsigned char *y = reinterpret_cast<const unsigned char *>(b ? b : "");
    while (*x && *x == *y) ++x, ++y;
    return (*x > *y) - (*x < *y);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
    const unsigned char *x = reinterpret_cast<const unsigned char *>(a ? a : "");
    const unsigned char *y = reinterpret_cast<const unsigned char *>(b ? b : "");
    while (*x && fold_ascii(*x) == fold_ascii(*y)) ++x, ++y;
    const unsigned char fx = fold_ascii(*x), fy = fold_ascii(*y);
    return (fx > fy) - (fx < fy);
}

size_t win32compat_live_blocks(void) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    return g_blocks.size();
}

size_t win32compat_allocations(void) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    return g_allocations;
}

uint64_t win32compat_allocated_bytes(void) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    return g_allocated_bytes;
}

size_t win32compat_open_searches(void) {
    return g_open_searches.load();
}

void win32compat_fail_alloc(unsigned nth) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    g_fail_alloc_countdown = nth;
}

void win32compat_fail_lock(unsigned nth) {
    std::lock_guard<std::mutex> guard(g_memory_mutex);
    g_fail_lock_countdown = nth;
}

} // extern "C"
