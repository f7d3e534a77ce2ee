// What the fuzz targets share: a sandbox folder per process, checks on the platform
// layer's counts, and the failure that stops the run.
#ifndef FUZZ_FUZZ_SUPPORT_H
#define FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace fuzz {

// Stops the run with a message; libFuzzer keeps the input that got here.
[[noreturn]] void fail(const std::string &what);

// A folder of this process's own, four levels below a root that nothing else writes to,
// so that a file written through "..\.." or "../.." still lands inside the root.
struct Sandbox {
    std::string root; // /tmp/spi-fuzz-<pid>
    std::string work; // root/l1/l2/l3/work, the current folder of the run
};
const Sandbox &sandbox();

// Every path below the root, relative to it.
std::vector<std::string> tree(const std::string &root);

void write_file(const std::string &path, const uint8_t *data, size_t size);
void remove_tree_below(const std::string &folder); // the folder's contents, not the folder

// The platform layer's live blocks and open searches must be what the caller expects.
void expect_holdings(size_t blocks, const char *after);

} // namespace fuzz

#endif
