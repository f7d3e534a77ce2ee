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

uint8_t level(unsigned v) {
    return static_cast<uint8_t>((255 * v + 15) / 31);
}

Bgr word_colour(uint16_t word) {
    return Bgr{level((word >> 10) & 31), level((word >> 5) & 31), level(word & 31)};
}

Decoded reference_decode(const Bytes &front, bool full) {
    const size_t stride = 1920;
    Bytes block(full ? 862080 : 432000, 0);
    std::copy(front.begin(), front.end(), block.begin());

    // Convert in place from the last pixel to the first, each word read whole first.
    for (size_t k = 1; k <= 143360; ++k) {
        const unsigned hi = block[286720 - 2 * k];
        const unsigned lo = block[286721 - 2 * k];
        const unsigned blue = (hi >> 2) & 31;
        const unsigned green = ((hi & 3) << 3) | (lo >> 5);
        const unsigned red = lo & 31;
        block[430080 - 3 * k] = level(blue);
        block[430080 - 3 * k + 1] = level(green);
        block[430080 - 3 * k + 2] = level(red);
    }
    uint8_t *row = block.data();
    if (full) {
        for (size_t r = 224; r-- > 0;) std::memmove(row + 2 * r * stride, row + r * stride, stride);
        for (size_t r = 0; r <= 111; ++r) {
            uint8_t *a = row + 2 * r * stride;
            uint8_t *b = row + (446 - 2 * r) * stride;
            uint8_t *temp = row + 1 * stride;
            std::memcpy(temp, a, stride);
            std::memcpy(a, b, stride);
            std::memcpy(b, temp, stride);
        }
        for (size_t c = 0; c < stride; ++c)
            for (size_t f = 445;; f -= 2) {
                row[f * stride + c] =
                    static_cast<uint8_t>((row[(f - 1) * stride + c] + row[(f + 1) * stride + c]) >> 1);
                if (f == 1) break;
            }
        std::memcpy(row + 447 * stride, row + 446 * stride, stride);
    } else {
        for (size_t r = 0; r <= 111; ++r) {
            uint8_t *a = row + r * stride;
            uint8_t *b = row + (223 - r) * stride;
            uint8_t *temp = row + 430080;
            std::memcpy(temp, a, stride);
            std::memcpy(a, b, stride);
            std::memcpy(b, temp, stride);
        }
    }

    Bytes header(44, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, 640);
    put32(8, full ? 448 : 224);
    header[12] = 1;
    header[14] = 24;
    put32(20, full ? 862080 : 432000);
    put32(24, full ? 1 : 2);
    put32(28, 1);
    put32(32, 1u << 24);
    header[40] = header[41] = header[42] = 255;
    return Decoded{header, block};
}

Bgr pixel_at(const Bytes &pixels, size_t lines, size_t x, size_t y) {
    const size_t at = (lines - 1 - y) * 1920 + 3 * x;
    return Bgr{pixels[at], pixels[at + 1], pixels[at + 2]};
}

uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace host
