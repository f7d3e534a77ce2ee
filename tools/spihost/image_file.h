// Writing a decoded picture (the plug-in's bitmap header and bottom-up pixel block) as a
// PNG or BMP file, top line first as a viewer shows it.
#ifndef TOOLS_SPIHOST_IMAGE_FILE_H
#define TOOLS_SPIHOST_IMAGE_FILE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace spihost {

enum class ImageFormat { png, bmp };

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // top line first, red-green-blue
};

// Reads the header block and pixel block of a 24-bit bottom-up bitmap. False when the
// header does not describe one that the pixel block holds.
bool bitmap_from_blocks(const std::vector<uint8_t> &header, const std::vector<uint8_t> &pixels, Bitmap *out);

// The encoded file. Empty on failure.
std::vector<uint8_t> encode_image(const Bitmap &bitmap, ImageFormat format);

} // namespace spihost

#endif
