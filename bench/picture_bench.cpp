// marusk's decoding time against the least any decoder must do: allocate a block of the
// output size through the same platform call, write every byte of it, copy the source in
// and free it.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/ratio_report.h"
#include "picture/b16_kernels.h"
#include "tools/host/plugin_library.h"

namespace {

constexpr size_t kSource = 286720;
constexpr size_t kFullBlock = 862080;
constexpr size_t kPreviewBlock = 432000;
const char kPictureFile[] = "bench_picture.b16";

std::vector<uint8_t> make_source() {
    std::vector<uint8_t> bytes(kSource);
    uint32_t s = 2463534242u;
    for (uint8_t &b : bytes) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        b = static_cast<uint8_t>(s);
    }
    return bytes;
}

const std::vector<uint8_t> &source() {
    static const std::vector<uint8_t> bytes = make_source();
    return bytes;
}

const host::Plugin &marusk() {
    static const host::Plugin plugin("./marusk.spi");
    return plugin;
}

void floor_of(benchmark::State &state, size_t block_size) {
    const std::vector<uint8_t> &src = source();
    for (auto _ : state) {
        HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, block_size);
        uint8_t *p = static_cast<uint8_t *>(LocalLock(block));
        std::memset(p, 0x40, block_size);
        std::memcpy(p, src.data(), kSource);
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
        LocalUnlock(block);
        LocalFree(block);
    }
}

void decode(benchmark::State &state, const char *which, bool from_file) {
    auto call = marusk().get<spi_GetPicture>(which);
    if (!call) {
        state.SkipWithError("marusk.spi not loaded");
        return;
    }
    const char *src = from_file ? kPictureFile : reinterpret_cast<const char *>(source().data());
    const spi_offset offset = from_file ? 0 : static_cast<spi_offset>(kSource);
    const spi_flags flag = from_file ? 0 : 1;
    for (auto _ : state) {
        HLOCAL header = nullptr, pixels = nullptr;
        if (call(src, offset, flag, &header, &pixels, nullptr, 0) != 0) {
            state.SkipWithError("decoding failed");
            break;
        }
        LocalFree(header);
        LocalFree(pixels);
    }
}

void BM_FloorFull(benchmark::State &state) { floor_of(state, kFullBlock); }
void BM_FloorPreview(benchmark::State &state) { floor_of(state, kPreviewBlock); }
void BM_GetPictureMemory(benchmark::State &state) { decode(state, "GetPicture", false); }
void BM_GetPictureFile(benchmark::State &state) { decode(state, "GetPicture", true); }
void BM_GetPreviewMemory(benchmark::State &state) { decode(state, "GetPreview", false); }
void BM_GetPreviewFile(benchmark::State &state) { decode(state, "GetPreview", true); }

// The conversion of all 224 rows by each path, for orientation.
void convert_rows(benchmark::State &state, const B16Kernels *k) {
    if (!k) {
        state.SkipWithError("this processor lacks SSSE3");
        return;
    }
    std::vector<uint8_t> out(224 * 1920);
    for (auto _ : state) {
        for (size_t r = 0; r < 224; ++r) k->convert_row(source().data() + r * 1280, out.data() + r * 1920);
        benchmark::ClobberMemory();
    }
}
void BM_ConvertRowsPortable(benchmark::State &state) { convert_rows(state, &b16_portable_kernels()); }
void BM_ConvertRowsSsse3(benchmark::State &state) { convert_rows(state, b16_ssse3_kernels()); }

BENCHMARK(BM_FloorFull)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPictureMemory)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPictureFile)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorPreview)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPreviewMemory)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPreviewFile)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertRowsPortable)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertRowsSsse3)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    FILE *f = std::fopen(kPictureFile, "wb");
    if (!f || std::fwrite(source().data(), 1, kSource, f) != kSource || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", kPictureFile);
        return 2;
    }
    std::printf("marusk decodes with the %s kernels on this processor\n", b16_best_kernels().name);
    const bench::Times times = bench::run(argc, argv);
    const int status = bench::report(times,
                                             {
                                                 {"BM_GetPictureMemory", "BM_FloorFull", 6.0},
                                                 {"BM_GetPictureFile", "BM_FloorFull", 6.0},
                                                 {"BM_GetPreviewMemory", "BM_FloorPreview", 8.0},
                                                 {"BM_GetPreviewFile", "BM_FloorPreview", 8.0},
                                                 {"BM_ConvertRowsPortable", "BM_FloorFull", 0},
                                                 {"BM_ConvertRowsSsse3", "BM_FloorFull", 0},
                                             });
    std::remove(kPictureFile);
    return status;
}
