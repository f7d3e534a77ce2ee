// The Windows DLL's decoding time, measured in a small host program under Wine: the
// median of a number of rounds, beside the same floor as the native benchmark (allocate
// the output block through LocalAlloc, write every byte, copy the source in, free it).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "tools/host/plugin_library.h"

namespace {

constexpr size_t kSource = 286720;

double seconds_now() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median time of one call, over rounds of `per_round` calls.
double median_seconds(const std::function<void()> &call) {
    const int rounds = 15, per_round = 20;
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const double start = seconds_now();
        for (int i = 0; i < per_round; ++i) call();
        times.push_back((seconds_now() - start) / per_round);
    }
    std::sort(times.begin(), times.end());
    return times[rounds / 2];
}

} // namespace

int main() {
    host::Plugin marusk("marusk.spi");
    auto get_picture = marusk.get<spi_GetPicture>("GetPicture");
    auto get_preview = marusk.get<spi_GetPicture>("GetPreview");
    if (!get_picture || !get_preview) {
        std::fprintf(stderr, "cannot load marusk.spi\n");
        return 2;
    }
    std::vector<uint8_t> source(kSource);
    for (size_t i = 0; i < kSource; ++i) source[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    const char path[] = "timing.b16";
    FILE *f = std::fopen(path, "wb");
    if (!f || std::fwrite(source.data(), 1, kSource, f) != kSource || std::fclose(f) != 0) return 2;

    auto floor_of = [&](size_t size) {
        return median_seconds([&] {
            HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
            uint8_t *p = static_cast<uint8_t *>(LocalLock(block));
            std::memset(p, 0x40, size);
            std::memcpy(p, source.data(), kSource);
            LocalUnlock(block);
            LocalFree(block);
        });
    };
    auto decode = [&](spi_GetPicture call, bool from_file) {
        return median_seconds([&] {
            HLOCAL header = nullptr, pixels = nullptr;
            const spi_result r = from_file ? call(path, 0, 0, &header, &pixels, nullptr, 0)
                                           : call(reinterpret_cast<const char *>(source.data()), kSource, 1, &header,
                                                  &pixels, nullptr, 0);
            if (r == 0) {
                LocalFree(header);
                LocalFree(pixels);
            }
        });
    };

    const double full_floor = floor_of(862080), preview_floor = floor_of(432000);
    struct Row {
        const char *name;
        double seconds, floor;
    } rows[] = {
        {"GetPicture from memory", decode(get_picture, false), full_floor},
        {"GetPicture from a file", decode(get_picture, true), full_floor},
        {"GetPreview from memory", decode(get_preview, false), preview_floor},
        {"GetPreview from a file", decode(get_preview, true), preview_floor},
    };
    std::printf("%-24s %12s %12s %8s\n", "marusk.spi under Wine", "time (us)", "floor (us)", "ratio");
    for (const Row &r : rows)
        std::printf("%-24s %12.1f %12.1f %8.2f\n", r.name, r.seconds * 1e6, r.floor * 1e6, r.seconds / r.floor);
    std::remove(path);
    return 0;
}
