// The exports of marusk, the B16 picture plug-in.

#include <string.h>

#include "frame/ascii.h"
#include "frame/plugin_contract.h"
#include "picture/b16_decoder.h"

namespace {

// How many bytes IsSupported asks of a file handle.
constexpr DWORD kProbeSize = 2048;

// Equal without regard to the case of the ASCII letters, whatever the locale.
bool equals_ignoring_ascii_case(const char *a, const char *b) {
    for (;; ++a, ++b) {
        if (ascii_lower(static_cast<unsigned char>(*a)) != ascii_lower(static_cast<unsigned char>(*b))) return false;
        if (!*a) return true;
    }
}

// The text from the last dot to the end, or the whole path if it has no dot after its
// first character, must be ".B16".
bool has_b16_extension(const char *path) {
    if (!path || !*path) return false;
    size_t p = strlen(path) - 1;
    while (p > 0 && path[p] != '.') --p;
    return equals_ignoring_ascii_case(path + p, ".B16");
}

} // namespace

extern "C" {

SPI_EXPORT int32_t SPI_CALL GetPluginInfo(int32_t index, char *buffer, int32_t buffer_size) {
    return copy_plugin_info(kMaruskInfo, index, buffer, buffer_size);
}

SPI_EXPORT int32_t SPI_CALL IsSupported(const char *path, spi_source source) {
    // A handle must yield at least one byte; the bytes themselves are not examined, and
    // reading moves the handle's position whatever the answer.
    DWORD count = kProbeSize;
    if (source <= 0xFFFF) {
        uint8_t probe[kProbeSize];
        if (!ReadFile(reinterpret_cast<HANDLE>(source), probe, kProbeSize, &count, nullptr)) return 0;
    }
    if (count == 0) return 0;
    return has_b16_extension(path) ? 1 : 0;
}

SPI_EXPORT spi_result SPI_CALL GetPictureInfo(const char *source, spi_offset offset, spi_flags flag,
                                              spi_picture_info *info_out) {
    // The same record for every picture: the full 640 x 448 bitmap of GetPicture.
    (void)source;
    (void)offset;
    (void)flag;
    if (!info_out) return SPI_NOT_SUPPORTED;
    info_out->left = 0;
    info_out->top = 0;
    info_out->width = static_cast<int32_t>(kB16Width);
    info_out->height = static_cast<int32_t>(2 * kB16Rows);
    info_out->x_density = 1;
    info_out->y_density = 1;
    info_out->colour_depth = 24;
    info_out->text = nullptr;
    return SPI_OK;
}

SPI_EXPORT spi_result SPI_CALL GetPicture(const char *source, spi_offset offset, spi_flags flag, HLOCAL *header_out,
                                          HLOCAL *pixels_out, spi_progress progress, spi_user user_value) {
    return b16_decode(source, offset, flag, header_out, pixels_out, progress, user_value, 1);
}

SPI_EXPORT spi_result SPI_CALL GetPreview(const char *source, spi_offset offset, spi_flags flag, HLOCAL *header_out,
                                          HLOCAL *pixels_out, spi_progress progress, spi_user user_value) {
    return b16_decode(source, offset, flag, header_out, pixels_out, progress, user_value, 0);
}

} // extern "C"
