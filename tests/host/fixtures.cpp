#include "tests/host/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace host {

ScratchDir::ScratchDir() {
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
    for (char &c : name)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '.') c = '_';
    path_ = "scratch/" + name;
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::contents() const {
    // Paths longer than the system allows (a test's own long names) are listed as far
    // as the system lets them be; an error ends the walk instead of throwing.
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
        out.push_back(it->path().lexically_relative(path_).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

void write_file(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_file(const std::string &path, const std::string &text) {
    write_file(path, Bytes(text.begin(), text.end()));
}

Bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string &path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

void make_dir(const std::string &path) {
    fs::create_directories(path);
}

bool make_sparse_file(const std::string &path, uint64_t size) {
    { std::ofstream out(path, std::ios::binary | std::ios::trunc); }
    std::error_code ec;
    fs::resize_file(path, size, ec);
    return !ec;
}

bool write_at(const std::string &path, uint64_t position, const Bytes &bytes) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(position));
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

Bytes table_record(const std::string &name11, uint32_t data_offset, uint32_t size) {
    Bytes r(19, ' ');
    std::copy_n(name11.begin(), std::min<size_t>(11, name11.size()), r.begin());
    for (int i = 0; i < 4; ++i) {
        r[11 + i] = static_cast<uint8_t>(data_offset >> (24 - 8 * i));
        r[15 + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
    return r;
}

Bytes concat(const std::vector<Bytes> &parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

void B16::set(size_t x, size_t y, uint16_t word) {
    const size_t at = 2 * (y * kB16Width + x);
    bytes[at] = static_cast<uint8_t>(word >> 8);
    bytes[at + 1] = static_cast<uint8_t>(word);
}

void B16::fill_row(size_t y, uint16_t word) {
    for (size_t x = 0; x < kB16Width; ++x) set(x, y, word);
}

void B16::fill(uint16_t word) {
    for (size_t y = 0; y < kB16Rows; ++y) fill_row(y, word);
}

B16 random_b16(uint32_t seed) {
    B16 p;
    uint32_t s = seed ? seed : 1;
    for (uint8_t &b : p.bytes) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        b = static_cast<uint8_t>(s >> 24);
    }
    return p;
}

uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace host
