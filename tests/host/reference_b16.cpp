#include "tests/host/reference_b16.h"

#include <algorithm>
#include <cstring>

namespace host {

using Bytes = std::vector<uint8_t>;

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

} // namespace host
