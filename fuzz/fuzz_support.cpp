#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "frame/platform.h"

namespace fs = std::filesystem;

namespace fuzz {

void fail(const std::string &what) {
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what.c_str());
    std::abort();
}

const Sandbox &sandbox() {
    static const Sandbox box = [] {
        Sandbox b;
        b.root = "/tmp/spi-fuzz-" + std::to_string(getpid());
        b.work = b.root + "/l1/l2/l3/work";
        std::error_code ec;
        fs::remove_all(b.root, ec);
        fs::create_directories(b.work);
        fs::current_path(b.work);
        std::atexit([] {
            std::error_code ignored;
            fs::current_path("/tmp", ignored);
            fs::remove_all("/tmp/spi-fuzz-" + std::to_string(getpid()), ignored);
        });
        return b;
    }();
    return box;
}

std::vector<std::string> tree(const std::string &root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        out.push_back(it->path().lexically_relative(root).generic_string());
    return out;
}

void write_file(const std::string &path, const uint8_t *data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
}

void remove_tree_below(const std::string &folder) {
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec)) fs::remove_all(e.path(), ec);
}

void expect_holdings(size_t blocks, const char *after) {
    if (win32compat_live_blocks() != blocks)
        fail(std::string("live blocks after ") + after + ": " + std::to_string(win32compat_live_blocks()) +
             ", expected " + std::to_string(blocks));
    if (win32compat_open_searches() != 0) fail(std::string("a find handle left open after ") + after);
}

} // namespace fuzz
