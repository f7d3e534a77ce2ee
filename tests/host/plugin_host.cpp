#include "tests/host/plugin_host.h"

#include <string.h>

#if defined(_WIN32)
#include "frame/platform.h"
#else
#include <dirent.h>
#endif

namespace host {

std::string plugin_file(const std::string &name) {
#if defined(_WIN32)
    return name + ".spi";
#else
    return "./" + name + ".spi";
#endif
}

size_t block_size(HLOCAL block) {
    return LocalSize(block);
}

Holdings holdings() {
    Holdings h;
#if !defined(_WIN32)
    h.blocks = win32compat_live_blocks();
    h.searches = win32compat_open_searches();
    if (DIR *d = opendir("/proc/self/fd")) {
        while (struct dirent *e = readdir(d))
            if (e->d_name[0] != '.') ++h.files;
        closedir(d);
        --h.files; // the directory being listed
    }
#endif
    return h;
}

bool can_count_holdings() {
#if defined(_WIN32)
    return false;
#else
    return true;
#endif
}

std::string describe(const Holdings &h) {
    return std::to_string(h.blocks) + " blocks, " + std::to_string(h.searches) + " searches, " +
           std::to_string(h.files) + " open files";
}

Allocations allocations() {
    Allocations a;
#if !defined(_WIN32)
    a.count = win32compat_allocations();
    a.bytes = win32compat_allocated_bytes();
#endif
    return a;
}

bool can_inject_faults() {
    return can_count_holdings();
}

void fail_alloc(unsigned nth) {
#if defined(_WIN32)
    (void)nth;
#else
    win32compat_fail_alloc(nth);
#endif
}

void fail_lock(unsigned nth) {
#if defined(_WIN32)
    (void)nth;
#else
    win32compat_fail_lock(nth);
#endif
}

} // namespace host

