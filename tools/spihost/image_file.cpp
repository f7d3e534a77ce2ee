#include "tools/spihost/image_file.h"

#include "stb_image_write.h"

namespace spihost {

namespace {

uint32_t get_le32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void put_le(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void append(void *context, void *data, int size) {
    auto *out = static_cast<std::vector<uint8_t> *>(context);
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

bool bitmap_from_blocks(const std::vector<uint8_t> &header, const std::vector<uint8_t> &pixels, Bitmap *out) {
    if (header.size() < 40 || get_le32(header.data()) < 40) return false;
    const int32_t width = static_cast<int32_t>(get_le32(header.data() + 4));
    const int32_t height = static_cast<int32_t>(get_le32(header.data() + 8));
    const unsigned bits = header[14] | (header[15] << 8);
    if (width <= 0 || width > 65535 || height <= 0 || height > 65535 || bits != 24) return false;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    if (pixels.size() < stride * static_cast<size_t>(height)) return false;

    out->width = width;
    out->height = height;
    out->rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = pixels.data() + static_cast<size_t>(height - 1 - y) * stride;
        uint8_t *dst = out->rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            dst[3 * x + 0] = row[3 * x + 2];
            dst[3 * x + 1] = row[3 * x + 1];
            dst[3 * x + 2] = row[3 * x + 0];
        }
    }
    return true;
}

std::vector<uint8_t> encode_image(const Bitmap &bitmap, ImageFormat format) {
    std::vector<uint8_t> out;
    if (format == ImageFormat::png) {
        if (!stbi_write_png_to_func(append, &out, bitmap.width, bitmap.height, 3, bitmap.rgb.data(), bitmap.width * 3))
            out.clear();
        return out;
    }
    // BMP: file header, information header, bottom-up blue-green-red rows padded to 4.
    const uint32_t stride = (static_cast<uint32_t>(bitmap.width) * 3 + 3) & ~3u;
    const uint32_t image = stride * static_cast<uint32_t>(bitmap.height);
    out.reserve(54 + image);
    out.push_back('B');
    out.push_back('M');
    put_le(out, 54 + image, 4);
    put_le(out, 0, 4);
    put_le(out, 54, 4);
    put_le(out, 40, 4);
    put_le(out, static_cast<uint32_t>(bitmap.width), 4);
    put_le(out, static_cast<uint32_t>(bitmap.height), 4);
    put_le(out, 1, 2);
    put_le(out, 24, 2);
    put_le(out, 0, 4);
    put_le(out, image, 4);
    put_le(out, 2835, 4); // 72 dots per inch
    put_le(out, 2835, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    for (int y = bitmap.height - 1; y >= 0; --y) {
        const uint8_t *src = bitmap.rgb.data() + static_cast<size_t>(y) * bitmap.width * 3;
        for (int x = 0; x < bitmap.width; ++x) {
            out.push_back(src[3 * x + 2]);
            out.push_back(src[3 * x + 1]);
            out.push_back(src[3 * x + 0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(bitmap.width) * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

} // namespace spihost
