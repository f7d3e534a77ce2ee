// A decode makes exactly two allocations, the header block and the pixel block at their
// sizes, and holds nothing else on the heap that grows with the picture: the heap's peak
// during a decode, less the two blocks handed out, stays within a small constant (a file
// stream and the platform's bookkeeping).

#include <cstdio>
#include <vector>

#include "bench/heap_counter.h"
#include "tools/host/plugin_library.h"

namespace {

constexpr long long kSlack = 64 * 1024;

int check(const host::Plugin &marusk, const char *which, const char *source, spi_offset offset, spi_flags flag,
          unsigned long long expected_bytes) {
    auto decode = marusk.get<spi_GetPicture>(which);
    HLOCAL header = nullptr, pixels = nullptr;
    // One decode first, so that whatever the C library sets up once is not counted.
    if (decode(source, offset, flag, &header, &pixels, nullptr, 0) != 0) return 1;
    LocalFree(header);
    LocalFree(pixels);

    const size_t allocations = win32compat_allocations();
    const unsigned long long bytes = win32compat_allocated_bytes();
    const long long held = heap_held();
    heap_reset_peak();
    if (decode(source, offset, flag, &header, &pixels, nullptr, 0) != 0) return 1;
    const long long peak = heap_peak() - held;
    const long long blocks = heap_held() - held; // the two blocks, as the heap holds them
    const size_t calls = win32compat_allocations() - allocations;
    const unsigned long long asked = win32compat_allocated_bytes() - bytes;
    LocalFree(header);
    LocalFree(pixels);

    const bool ok = calls == 2 && asked == expected_bytes && peak - blocks <= kSlack;
    std::printf("%-10s from %-6s: %zu allocations of %llu bytes in all; heap peak %lld bytes, %lld beyond the "
                "blocks handed out: %s\n",
                which, flag ? "memory" : "a file", calls, asked, peak, peak - blocks, ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}

} // namespace

int main() {
    host::Plugin marusk("./marusk.spi");
    if (!marusk.loaded()) {
        std::fprintf(stderr, "cannot load ./marusk.spi\n");
        return 2;
    }
    std::vector<uint8_t> picture(286720, 0x5A);
    const char path[] = "memory_check.b16";
    FILE *f = std::fopen(path, "wb");
    if (!f || std::fwrite(picture.data(), 1, picture.size(), f) != picture.size() || std::fclose(f) != 0) return 2;

    const char *bytes = reinterpret_cast<const char *>(picture.data());
    int failed = 0;
    failed |= check(marusk, "GetPicture", bytes, 286720, 1, 862080 + 44);
    failed |= check(marusk, "GetPicture", path, 0, 0, 862080 + 44);
    failed |= check(marusk, "GetPreview", bytes, 286720, 1, 432000 + 44);
    failed |= check(marusk, "GetPreview", path, 0, 0, 432000 + 44);
    std::remove(path);
    return failed;
}
