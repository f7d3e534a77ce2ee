#include "tools/spihost/system.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace spihost {

std::string program_folder() {
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    return std::filesystem::path(path).parent_path().string();
#else
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
#endif
}

std::vector<std::string> files_ending_in(const std::string &folder, const std::string &suffix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = e.path().filename().string();
        if (name.size() < suffix.size()) continue;
        std::string tail = name.substr(name.size() - suffix.size());
        std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return char(tolower(c)); });
        if (tail == suffix && e.is_regular_file(ec)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

char path_separator() {
#if defined(_WIN32)
    return '\\';
#else
    return '/';
#endif
}

bool stderr_is_terminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

bool write_whole_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace spihost
