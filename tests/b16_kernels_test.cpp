// Every row kernel the processor can run gives the same bytes: all 65,536 words through
// the conversion, all 65,536 byte pairs through the mean. The plug-in picks one path per
// call, so this is where the paths it does not pick on this machine are held to it.

#include <gtest/gtest.h>

#include <vector>

#include "picture/b16_kernels.h"
#include "tests/host/fixtures.h"

namespace {

std::vector<const B16Kernels *> runnable_kernels() {
    std::vector<const B16Kernels *> all = {&b16_portable_kernels()};
    if (const B16Kernels *fast = b16_ssse3_kernels()) all.push_back(fast);
    return all;
}

TEST(B16Kernels, TheBestPathIsOneThisProcessorRuns) {
    const B16Kernels &best = b16_best_kernels();
    bool listed = false;
    for (const B16Kernels *k : runnable_kernels()) listed = listed || k == &best;
    EXPECT_TRUE(listed);
    RecordProperty("best_kernels", best.name);
}

TEST(B16Kernels, EveryPathConvertsEveryWordThroughTheLevelTable) {
    for (const B16Kernels *k : runnable_kernels()) {
        SCOPED_TRACE(k->name);
        // 102.4 rows of 640 words hold every word once; offset each row's start by one
        // byte too, so unaligned loads are exercised.
        std::vector<uint8_t> source(2 * 65536 + 1280 + 1), row(1920);
        for (uint32_t w = 0; w < 65536 + 640; ++w) {
            source[1 + 2 * w] = static_cast<uint8_t>((w & 0xFFFF) >> 8);
            source[2 + 2 * w] = static_cast<uint8_t>(w & 0xFFFF);
        }
        for (uint32_t first = 0; first < 65536; first += 640) {
            k->convert_row(source.data() + 1 + 2 * first, row.data());
            for (uint32_t j = 0; j < 640; ++j) {
                const host::Bgr want = host::word_colour(static_cast<uint16_t>(first + j));
                ASSERT_EQ((host::Bgr{row[3 * j], row[3 * j + 1], row[3 * j + 2]}), want) << "word " << first + j;
            }
        }
    }
}

TEST(B16Kernels, EveryPathAveragesEveryPairRoundingDown) {
    std::vector<uint8_t> above(65536 + 7), below(65536 + 7), out(65536 + 7);
    for (uint32_t i = 0; i < 65536; ++i) {
        above[i] = static_cast<uint8_t>(i >> 8);
        below[i] = static_cast<uint8_t>(i);
    }
    for (const B16Kernels *k : runnable_kernels()) {
        SCOPED_TRACE(k->name);
        // Odd lengths reach the tail loops as well.
        for (size_t size : {size_t(65536), size_t(65536 + 7), size_t(1920), size_t(3)}) {
            std::fill(out.begin(), out.end(), 0xEE);
            k->average_rows(above.data(), below.data(), out.data(), size);
            for (size_t i = 0; i < size; ++i) ASSERT_EQ(out[i], (above[i] + below[i]) >> 1) << "pair " << i;
            for (size_t i = size; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << "wrote past the end at " << i;
        }
    }
}

} // namespace
