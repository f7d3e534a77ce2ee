#include "tools/host/plugin_library.h"

#include <utility>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace host {

Plugin::Plugin(const std::string &file) : file_(file) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void *>(LoadLibraryA(file.c_str()));
#else
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

Plugin::Plugin(Plugin &&other) noexcept : file_(std::move(other.file_)), handle_(other.handle_) {
    other.handle_ = nullptr;
}

Plugin::~Plugin() {
    if (!handle_) return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void *Plugin::symbol(const char *name) const {
    if (!handle_) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

std::string Plugin::info(int32_t index) const {
    auto get_info = get<spi_GetPluginInfo>("GetPluginInfo");
    if (!get_info) return "";
    char buffer[512];
    const int32_t n = get_info(index, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}

FileHandle::FileHandle(const std::string &path) {
#if defined(_WIN32)
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    value_ = (h == INVALID_HANDLE_VALUE) ? 0 : reinterpret_cast<spi_source>(h);
#else
    // Descriptors above 0xFFFF would read as pointers; 0 reads as no handle.
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd > 0xFFFF) close(fd);
    value_ = (fd <= 0 || fd > 0xFFFF) ? 0 : static_cast<spi_source>(fd);
#endif
}

FileHandle::~FileHandle() {
    if (!value_) return;
#if defined(_WIN32)
    CloseHandle(reinterpret_cast<HANDLE>(value_));
#else
    close(static_cast<int>(value_));
#endif
}

uint64_t FileHandle::position() const {
#if defined(_WIN32)
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(value_), zero, &at, FILE_CURRENT)) return ~uint64_t(0);
    return static_cast<uint64_t>(at.QuadPart);
#else
    return static_cast<uint64_t>(lseek(static_cast<int>(value_), 0, SEEK_CUR));
#endif
}

std::vector<uint8_t> take_block(HLOCAL block) {
    std::vector<uint8_t> bytes;
    if (!block) return bytes;
    const size_t size = LocalSize(block);
    if (const void *p = LocalLock(block)) {
        bytes.assign(static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + size);
        LocalUnlock(block);
    }
    LocalFree(block);
    return bytes;
}

const char *result_meaning(spi_result code) {
    switch (code) {
    case 0: return "success";
    case -1: return "not supported (input in memory, a file of 4 GiB or more, or a picture of the wrong size)";
    case 1: return "cancelled";
    case 2: return "no entry of that name in the bind table";
    case 4: return "out of memory";
    case 5: return "a memory block could not be locked";
    case 6: return "file not found or could not be opened";
    case 8: return "the output file could not be created (or the entry's name is unsafe)";
    default: return "unknown result code";
    }
}

} // namespace host
