#include "tools/host/plugin_library.h"

#include <utility>

#if !defined(_WIN32)
#include <dlfcn.h>
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
