#include "picture/b16_kernels.h"

#include <string.h>

#include "picture/b16_decoder.h"

#if defined(__i386__) || defined(__x86_64__)
#define B16_HAVE_X86 1
#include <cpuid.h>
#include <tmmintrin.h>
#endif

namespace {

// ---------------------------------------------------------------------------------------
// Portable

void convert_row_portable(const uint8_t *source, uint8_t *row) {
    for (size_t j = 0; j < kB16Width; ++j) {
        const unsigned hi = source[2 * j];
        const unsigned lo = source[2 * j + 1];
        row[3 * j + 0] = kLevelTable[(hi >> 2) & 31];
        row[3 * j + 1] = kLevelTable[((hi & 3) << 3) | (lo >> 5)];
        row[3 * j + 2] = kLevelTable[lo & 31];
    }
}

// Averages a machine word of bytes at a time: (a & b) + ((a ^ b) >> 1) per byte, with the
// bit that the shift carries across each byte boundary masked off.
void average_rows_portable(const uint8_t *above, const uint8_t *below, uint8_t *out, size_t size) {
    typedef size_t word;
    const word low7 = ~word(0) / 255 * 0x7F;
    size_t i = 0;
    for (; i + sizeof(word) <= size; i += sizeof(word)) {
        word a, b;
        memcpy(&a, above + i, sizeof a);
        memcpy(&b, below + i, sizeof b);
        const word mean = (a & b) + (((a ^ b) >> 1) & low7);
        memcpy(out + i, &mean, sizeof mean);
    }
    for (; i < size; ++i) out[i] = static_cast<uint8_t>((above[i] + below[i]) >> 1);
}

const B16Kernels kPortable = {"portable", convert_row_portable, average_rows_portable};

#if B16_HAVE_X86

// ---------------------------------------------------------------------------------------
// SSSE3: sixteen pixels at a time, the level table looked up with byte shuffles.

#if defined(__i386__)
// 32-bit Windows callers may hand over a stack aligned to 4 bytes only.
#define B16_SSSE3 __attribute__((target("ssse3"), force_align_arg_pointer))
#else
#define B16_SSSE3 __attribute__((target("ssse3")))
#endif

// Shuffles that place the blue, green and red bytes of sixteen pixels into three
// vectors of blue-green-red triples: mask[v][c][i] picks, for byte i of output vector v,
// the pixel whose channel c lands there, or zero.
struct InterleaveMasks {
    alignas(16) uint8_t mask[3][3][16];
};

constexpr InterleaveMasks make_interleave_masks() {
    InterleaveMasks m{};
    for (int v = 0; v < 3; ++v)
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 16; ++i) {
                const int k = 16 * v + i;
                m.mask[v][c][i] = (k % 3 == c) ? static_cast<uint8_t>(k / 3) : 0x80;
            }
    return m;
}

constexpr InterleaveMasks kInterleave = make_interleave_masks();

B16_SSSE3 inline __m128i level_lookup(__m128i v, __m128i low_half, __m128i high_half) {
    // Levels 0-15 index the low half (levels 16-31 get bit 7 set and give 0); levels
    // 16-31 index the high half (levels 0-15 wrap to bit 7 set and give 0).
    const __m128i from_low = _mm_shuffle_epi8(low_half, _mm_add_epi8(v, _mm_set1_epi8(0x70)));
    const __m128i from_high = _mm_shuffle_epi8(high_half, _mm_sub_epi8(v, _mm_set1_epi8(16)));
    return _mm_or_si128(from_low, from_high);
}

B16_SSSE3 void convert_row_ssse3(const uint8_t *source, uint8_t *row) {
    const __m128i low_half = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kLevelTable));
    const __m128i high_half = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kLevelTable + 16));
    const __m128i split = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m128i five_bits = _mm_set1_epi8(31);
    const __m128i two_bits = _mm_set1_epi8(3);
    const __m128i three_bits = _mm_set1_epi8(7);
    const __m128i *masks = reinterpret_cast<const __m128i *>(kInterleave.mask);
    const __m128i m00 = _mm_load_si128(masks + 0), m01 = _mm_load_si128(masks + 1), m02 = _mm_load_si128(masks + 2);
    const __m128i m10 = _mm_load_si128(masks + 3), m11 = _mm_load_si128(masks + 4), m12 = _mm_load_si128(masks + 5);
    const __m128i m20 = _mm_load_si128(masks + 6), m21 = _mm_load_si128(masks + 7), m22 = _mm_load_si128(masks + 8);

    for (size_t j = 0; j < kB16Width; j += 16) {
        // Words are big-endian: gather the sixteen high bytes and the sixteen low bytes.
        const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 2 * j)), split);
        const __m128i b =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 2 * j + 16)), split);
        const __m128i hi = _mm_unpacklo_epi64(a, b);
        const __m128i lo = _mm_unpackhi_epi64(a, b);

        // 16-bit shifts carry bits across byte boundaries only into bits the masks drop.
        const __m128i blue_level = _mm_and_si128(_mm_srli_epi16(hi, 2), five_bits);
        const __m128i green_level = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(hi, two_bits), 3),
                                                 _mm_and_si128(_mm_srli_epi16(lo, 5), three_bits));
        const __m128i red_level = _mm_and_si128(lo, five_bits);

        const __m128i blue = level_lookup(blue_level, low_half, high_half);
        const __m128i green = level_lookup(green_level, low_half, high_half);
        const __m128i red = level_lookup(red_level, low_half, high_half);

        __m128i *out = reinterpret_cast<__m128i *>(row + 3 * j);
        _mm_storeu_si128(out + 0, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blue, m00), _mm_shuffle_epi8(green, m01)),
                                               _mm_shuffle_epi8(red, m02)));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blue, m10), _mm_shuffle_epi8(green, m11)),
                                               _mm_shuffle_epi8(red, m12)));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blue, m20), _mm_shuffle_epi8(green, m21)),
                                               _mm_shuffle_epi8(red, m22)));
    }
}

B16_SSSE3 void average_rows_ssse3(const uint8_t *above, const uint8_t *below, uint8_t *out, size_t size) {
    const __m128i one = _mm_set1_epi8(1);
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(above + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(below + i));
        // The rounded-up mean, less one where the sum is odd: the mean rounded down.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), mean);
    }
    for (; i < size; ++i) out[i] = static_cast<uint8_t>((above[i] + below[i]) >> 1);
}

const B16Kernels kSsse3 = {"ssse3", convert_row_ssse3, average_rows_ssse3};

bool cpu_has_ssse3() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & bit_SSSE3) != 0;
}

#endif // B16_HAVE_X86

} // namespace

const B16Kernels &b16_portable_kernels() {
    return kPortable;
}

const B16Kernels *b16_ssse3_kernels() {
#if B16_HAVE_X86
    return cpu_has_ssse3() ? &kSsse3 : nullptr;
#else
    return nullptr;
#endif
}

const B16Kernels &b16_best_kernels() {
    const B16Kernels *fast = b16_ssse3_kernels();
    return fast ? *fast : kPortable;
}
