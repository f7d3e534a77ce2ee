// B16 pictures: 640 x 224 pixels, no header, each pixel a big-endian 16-bit word
// (bit 15 ignored, bits 14-10 blue, 9-5 green, 4-0 red), rows top to bottom.
//
// Decoding gives the host two blocks: a 44-byte bitmap header (a BITMAPINFOHEADER and one
// RGBQUAD) and a pixel block holding a 24-bit bottom-up bitmap, blue-green-red, 1,920
// bytes a row, followed by one spare row. Full mode shows 448 lines (the first source line
// twice at the top, an interpolated line between each pair of source lines); preview mode
// shows the 224 source lines.
#ifndef PICTURE_B16_DECODER_H
#define PICTURE_B16_DECODER_H

#include <stddef.h>
#include <stdint.h>

#include "frame/spi_abi.h"

constexpr size_t kB16Width = 640;
constexpr size_t kB16Rows = 224;
constexpr size_t kB16SourceRow = kB16Width * 2;                 // 1,280
constexpr size_t kB16SourceSize = kB16SourceRow * kB16Rows;     // 286,720
constexpr size_t kBitmapRow = kB16Width * 3;                    // 1,920
constexpr size_t kConvertedSize = kBitmapRow * kB16Rows;        // 430,080
constexpr size_t kFullPixelSize = 2 * kConvertedSize + kBitmapRow;  // 862,080: 448 rows and a spare
constexpr size_t kPreviewPixelSize = kConvertedSize + kBitmapRow;   // 432,000: 224 rows and a spare
constexpr size_t kBitmapHeaderSize = 44;

// A 5-bit level as an 8-bit intensity: 255 * v / 31 rounded to nearest.
constexpr uint8_t kLevelTable[32] = {0,   8,   16,  25,  33,  41,  49,  58,  66,  74,  82,
                                     90,  99,  107, 115, 123, 132, 140, 148, 156, 165, 173,
                                     181, 189, 197, 206, 214, 222, 230, 239, 247, 255};

// Decodes a B16 picture given as a path and file offset, or (flag bit 0) as a pointer
// and size. `full` is non-zero for the 640 x 448 picture, 0 for the 640 x 224 preview.
// On SPI_OK both blocks are unlocked and stored in the host's variables; on any other
// result nothing is stored and nothing stays allocated.
spi_result b16_decode(const char *source, spi_offset offset, spi_flags flag, HLOCAL *header_out, HLOCAL *pixels_out,
                      spi_progress progress, spi_user user_value, int full);

#endif
