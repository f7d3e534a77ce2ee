// The row operations of the B16 decoder, in a portable form and, on x86, a vectorised
// form that is chosen at run time when the processor has SSSE3. Every form gives the
// same bytes.
#ifndef PICTURE_B16_KERNELS_H
#define PICTURE_B16_KERNELS_H

#include <stddef.h>
#include <stdint.h>

struct B16Kernels {
    const char *name;
    // One source row (1,280 bytes) into one bitmap row (1,920 bytes, blue-green-red).
    // The two must not overlap.
    void (*convert_row)(const uint8_t *source, uint8_t *row);
    // out[i] = (above[i] + below[i]) >> 1 for `size` bytes.
    void (*average_rows)(const uint8_t *above, const uint8_t *below, uint8_t *out, size_t size);
};

const B16Kernels &b16_portable_kernels();

// The vectorised kernels, or null where they are not built or the processor lacks SSSE3.
const B16Kernels *b16_ssse3_kernels();

// The fastest kernels this processor runs; asks the processor on every call.
const B16Kernels &b16_best_kernels();

#endif
