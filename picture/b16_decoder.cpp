#include "picture/b16_decoder.h"

#include <string.h>

#include "frame/file_io.h"
#include "frame/plugin_contract.h"
#include "picture/b16_kernels.h"

namespace {

void put_le16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put_le32(uint8_t *p, uint32_t v) {
    put_le16(p, static_cast<uint16_t>(v));
    put_le16(p + 2, static_cast<uint16_t>(v >> 16));
}

void fill_header(uint8_t *h, int full) {
    put_le32(h + 0, 40);                                             // biSize
    put_le32(h + 4, kB16Width);                                      // biWidth
    put_le32(h + 8, full ? 2 * kB16Rows : kB16Rows);                 // biHeight
    put_le16(h + 12, 1);                                             // biPlanes
    put_le16(h + 14, 24);                                            // biBitCount
    put_le32(h + 16, 0);                                             // biCompression: none
    put_le32(h + 20, full ? kFullPixelSize : kPreviewPixelSize);     // biSizeImage, spare row included
    put_le32(h + 24, full ? 1 : 2);                                  // biXPelsPerMeter
    put_le32(h + 28, 1);                                             // biYPelsPerMeter
    put_le32(h + 32, 1u << 24);                                      // biClrUsed
    put_le32(h + 36, 0);                                             // biClrImportant
    h[40] = 255;                                                     // one colour entry: white
    h[41] = 255;
    h[42] = 255;
    h[43] = 0;
}

uint8_t *row_at(uint8_t *pixels, size_t row) {
    return pixels + row * kBitmapRow;
}

// Full mode, first stage: every source row converted straight into its final even row.
// Source row s (at 1,280 s) becomes bitmap row 446 - 2s (at 1,920 (446 - 2s)), which
// overlaps at most source rows 669 - 3s and 670 - 3s, never s itself. Those lie farther
// from s = 167.25 than s does, so converting rows in order of falling distance from
// 167.25 (|4s - 669| is never zero and never tied) reads every row before anything is
// written over it.
void place_full_rows(uint8_t *pixels, const B16Kernels &k) {
    int low = 0;
    int high = static_cast<int>(kB16Rows) - 1;
    while (low <= high) {
        const int s = (669 - 4 * low > 4 * high - 669) ? low++ : high--;
        k.convert_row(pixels + static_cast<size_t>(s) * kB16SourceRow, row_at(pixels, 446 - 2 * static_cast<size_t>(s)));
    }
}

// Full mode, second stage: each odd row the mean of its neighbours, rounded down, and
// the top line a copy of the line below it. The spare row stays zero.
void interpolate_full_rows(uint8_t *pixels, const B16Kernels &k) {
    for (size_t f = 1; f <= 445; f += 2) k.average_rows(row_at(pixels, f - 1), row_at(pixels, f + 1), row_at(pixels, f), kBitmapRow);
    memcpy(row_at(pixels, 447), row_at(pixels, 446), kBitmapRow);
}

// Preview mode: every source row converted straight into its final row, 223 - s. That
// row overlaps at most the source rows around 334.5 - 1.5s, which lie farther from
// s = 133.8 than s does, except for rows 133 to 135, which wait for each other (and 134
// for itself). So rows are converted in order of falling distance from 133.8 (by
// |5s - 669|, never zero and never tied), and those three last, through the spare row.
// The spare row ends holding source row 111 (bitmap row 112), the last row a flip by
// exchanges through it would leave there.
void place_preview_rows(uint8_t *pixels, const B16Kernels &k) {
    auto source = [pixels](size_t s) { return pixels + s * kB16SourceRow; };
    auto target = [pixels](size_t s) { return row_at(pixels, kB16Rows - 1 - s); };
    uint8_t *spare = row_at(pixels, kB16Rows);

    int low = 0;
    int high = static_cast<int>(kB16Rows) - 1;
    while (low <= high) {
        const int s = (669 - 5 * low > 5 * high - 669) ? low++ : high--;
        if (s >= 133 && s <= 135) continue;
        k.convert_row(source(static_cast<size_t>(s)), target(static_cast<size_t>(s)));
    }
    memcpy(spare, source(133), kB16SourceRow); // row 135's target covers it
    k.convert_row(source(135), target(135));
    k.convert_row(spare, target(133));
    memcpy(spare, source(134), kB16SourceRow); // row 134's target covers its own source
    k.convert_row(spare, target(134));
    memcpy(spare, row_at(pixels, 112), kBitmapRow);
}

} // namespace

spi_result b16_decode(const char *source, spi_offset offset, spi_flags flag, HLOCAL *header_out, HLOCAL *pixels_out,
                      spi_progress progress, spi_user user_value, int full) {
    if (!header_out || !pixels_out) return SPI_NOT_SUPPORTED;
    const bool in_memory = (flag & SPI_FLAG_MEMORY_INPUT) != 0;

    // The size checked is the whole file's, whatever the offset.
    if (in_memory) {
        if (!source || offset != static_cast<spi_offset>(kB16SourceSize)) return SPI_NOT_SUPPORTED;
    } else {
        const FileFacts facts = file_facts(source);
        if (!facts.found) return SPI_OPEN_FAILED;
        if (facts.size_high != 0 || facts.size_low != kB16SourceSize) return SPI_NOT_SUPPORTED;
    }

    HLOCAL pixel_block, header_block;
    void *pixel_data, *header_data;
    spi_result result = alloc_locked_block(LMEM_MOVEABLE, full ? kFullPixelSize : kPreviewPixelSize, &pixel_block, &pixel_data);
    if (result != SPI_OK) return result;
    result = alloc_locked_block(LMEM_MOVEABLE, kBitmapHeaderSize, &header_block, &header_data);
    if (result != SPI_OK) {
        discard_block(pixel_block);
        return result;
    }
    uint8_t *pixels = static_cast<uint8_t *>(pixel_data);

    // The source goes straight into the front of the pixel block; bytes a file does not
    // deliver stay zero.
    if (in_memory) {
        memcpy(pixels, source, kB16SourceSize);
    } else {
        FILE *file = open_for_read(source);
        if (!file) {
            discard_block(header_block);
            discard_block(pixel_block);
            return SPI_OPEN_FAILED;
        }
        read_or_zero(file, seek_to(file, file_position(offset)), pixels, kB16SourceSize);
        fclose(file);
    }

    const B16Kernels &kernels = b16_best_kernels();
    bool cancelled;
    if (full) {
        place_full_rows(pixels, kernels);
        cancelled = report_progress(progress, 0, 1, user_value) || report_progress(progress, 1, 1, user_value);
        if (!cancelled) interpolate_full_rows(pixels, kernels);
    } else {
        place_preview_rows(pixels, kernels);
        cancelled = report_progress(progress, 0, 0, user_value) != 0;
    }
    if (cancelled) {
        discard_block(header_block);
        discard_block(pixel_block);
        return SPI_CANCELLED;
    }

    fill_header(static_cast<uint8_t *>(header_data), full);
    LocalUnlock(pixel_block);
    LocalUnlock(header_block);
    *header_out = header_block;
    *pixels_out = pixel_block;
    return SPI_OK;
}
