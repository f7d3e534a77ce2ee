// Small fixtures built inside the tests: scratch folders, bind tables, B16 pictures, and
// the B16 decoding algorithm written out step by step as the oracle for whole-block
// comparisons.
#ifndef TESTS_HOST_FIXTURES_H
#define TESTS_HOST_FIXTURES_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tests/host/reference_b16.h"

namespace host {

using Bytes = std::vector<uint8_t>;

// A folder of its own for one test, below "scratch/" in the working directory, removed
// with everything in it when the object goes. Paths use '/', which both builds accept.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    // Every file and folder below the scratch folder, as paths relative to it, sorted.
    std::vector<std::string> contents() const;

private:
    std::string path_;
};

void write_file(const std::string &path, const Bytes &bytes);
void write_file(const std::string &path, const std::string &text);
Bytes read_file(const std::string &path);
bool exists(const std::string &path);
void make_dir(const std::string &path);
// A file of `size` bytes that takes no disk space (a hole), where the file system allows.
bool make_sparse_file(const std::string &path, uint64_t size);
// Writes bytes at a position of an existing file, which may lie beyond 4 GiB.
bool write_at(const std::string &path, uint64_t position, const Bytes &bytes);

// One 19-byte bind table record: 11 name bytes (padded with spaces if shorter),
// data offset and size big-endian.
Bytes table_record(const std::string &name11, uint32_t data_offset, uint32_t size);
Bytes concat(const std::vector<Bytes> &parts);

// A B16 picture: 224 rows of 640 big-endian words.
constexpr size_t kB16Width = 640;
constexpr size_t kB16Rows = 224;
constexpr size_t kB16Size = 286720;
struct B16 {
    Bytes bytes = Bytes(kB16Size, 0);
    void set(size_t x, size_t y, uint16_t word);
    void fill_row(size_t y, uint16_t word);
    void fill(uint16_t word);
};
B16 random_b16(uint32_t seed);

// Unsigned little-endian fields of a record.
uint32_t le32(const uint8_t *p);
uint16_t le16(const uint8_t *p);

} // namespace host

#endif
