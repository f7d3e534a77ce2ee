// The B16 decoding algorithm carried out step by step, byte by byte, as the oracle that
// the decoder's blocks are compared with (tests and the picture fuzz target).
#ifndef TESTS_HOST_REFERENCE_B16_H
#define TESTS_HOST_REFERENCE_B16_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace host {

// 5-bit level to 8-bit intensity, and a word's blue, green and red intensities.
uint8_t level(unsigned v);
struct Bgr {
    uint8_t b, g, r;
    bool operator==(const Bgr &o) const { return b == o.b && g == o.g && r == o.r; }
};
Bgr word_colour(uint16_t word);

// The decoding algorithm step by step, byte by byte: `front` is what lands in the front
// of the pixel block (286,720 bytes). Gives the header block and the pixel block.
struct Decoded {
    std::vector<uint8_t> header;
    std::vector<uint8_t> pixels;
};
Decoded reference_decode(const std::vector<uint8_t> &front, bool full);

// The pixel of a decoded bitmap at line y counted from the top (the block is bottom-up).
Bgr pixel_at(const std::vector<uint8_t> &pixels, size_t lines, size_t x, size_t y);

} // namespace host

#endif
