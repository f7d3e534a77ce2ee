// The picture plug-in on pictures, sizes, offsets, flags and cancel points made from the
// input: IsSupported by pointer and by handle, GetPicture and GetPreview from memory and
// from a file. Every decode that succeeds must give exactly the blocks of the decoding
// algorithm carried out step by step; every call must leave only the blocks it reports.

#include <fcntl.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame/spi_abi.h"
#include "fuzz/fuzz_support.h"
#include "tests/host/reference_b16.h"

namespace {

constexpr size_t kPicture = 286720;

struct Cancel {
    int at = 0; // 1-based report that cancels; 0 never
    int reports = 0;
};

int32_t SPI_CALL on_progress(int32_t, int32_t, spi_user user_value) {
    Cancel *c = reinterpret_cast<Cancel *>(user_value);
    return ++c->reports == c->at ? 1 : 0;
}

std::vector<uint8_t> block_bytes(HLOCAL block) {
    const uint8_t *p = static_cast<const uint8_t *>(LocalLock(block));
    if (!p) fuzz::fail("a handed-out block cannot be locked");
    std::vector<uint8_t> bytes(p, p + LocalSize(block));
    LocalUnlock(block);
    LocalFree(block);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::sandbox();
    FuzzedDataProvider in(data, size);
    const bool full = in.ConsumeBool();
    const bool from_file = in.ConsumeBool();
    const size_t picture_size = in.ConsumeIntegralInRange<int>(0, 7) ? kPicture : in.ConsumeIntegralInRange<size_t>(0, kPicture + 2);
    const spi_offset offset = in.ConsumeBool() ? in.ConsumeIntegralInRange<spi_offset>(0, 3) : static_cast<spi_offset>(in.ConsumeIntegral<int32_t>());
    const spi_flags extra_flags = in.ConsumeBool() ? 0 : (in.ConsumeIntegral<spi_flags>() & ~spi_flags(1));
    Cancel cancel;
    cancel.at = in.ConsumeIntegralInRange<int>(0, 2);
    const std::string name = in.ConsumeRandomLengthString(12);
    const std::vector<uint8_t> seed = in.ConsumeRemainingBytes<uint8_t>();

    // The picture: the input's bytes repeated to the size chosen.
    std::vector<uint8_t> picture(picture_size, 0);
    for (size_t i = 0; i < picture_size && !seed.empty(); ++i) picture[i] = seed[i % seed.size()];
    fuzz::write_file("pic.b16", picture.data(), picture.size());

    // IsSupported, by pointer to the first bytes and by handle.
    std::vector<uint8_t> first(2048, 0);
    std::copy_n(picture.begin(), std::min(first.size(), picture.size()), first.begin());
    const int32_t by_pointer = IsSupported(name.c_str(), reinterpret_cast<spi_source>(first.data()));
    const int fd = open("pic.b16", O_RDONLY);
    const int32_t by_handle = IsSupported(name.c_str(), static_cast<spi_source>(fd));
    const off_t moved = lseek(fd, 0, SEEK_CUR);
    close(fd);
    if ((by_pointer != 0 && by_pointer != 1) || (by_handle != 0 && by_handle != 1)) fuzz::fail("IsSupported answered other than 0 or 1");
    if (by_handle && !by_pointer) fuzz::fail("a handle was accepted where the name was not");
    if (moved != static_cast<off_t>(std::min<size_t>(2048, picture_size))) fuzz::fail("IsSupported read other than 2,048 bytes");
    fuzz::expect_holdings(0, "IsSupported");

    HLOCAL header = nullptr, pixels = nullptr;
    const char *source = from_file ? "pic.b16" : reinterpret_cast<const char *>(picture.data());
    const spi_offset arg = from_file ? offset : static_cast<spi_offset>(picture_size);
    const spi_flags flags = from_file ? extra_flags : (extra_flags | 1);
    const spi_result r = (full ? GetPicture : GetPreview)(source, arg, flags, &header, &pixels, on_progress,
                                                          reinterpret_cast<spi_user>(&cancel));
    if (r != 0) {
        if (header || pixels) fuzz::fail("a failed decode handed out a block");
        fuzz::expect_holdings(0, "a failed decode");
        const bool expected = (picture_size != kPicture && r == -1) || (cancel.at != 0 && r == 1);
        if (!expected) fuzz::fail("decode answered " + std::to_string(r));
        return 0;
    }
    if (picture_size != kPicture) fuzz::fail("a picture of the wrong size was decoded");
    if (cancel.at != 0 && cancel.at <= (full ? 2 : 1)) fuzz::fail("a cancelled decode succeeded");
    fuzz::expect_holdings(2, "a decode");

    // What the decoder read into the front of the block: from the offset on, zero after.
    std::vector<uint8_t> front(kPicture, 0);
    const uint64_t start = from_file ? static_cast<uint32_t>(offset) : 0;
    if (start < kPicture) std::copy(picture.begin() + static_cast<std::ptrdiff_t>(start), picture.end(), front.begin());
    const host::Decoded want = host::reference_decode(front, full);
    if (block_bytes(header) != want.header) fuzz::fail("header block differs");
    if (block_bytes(pixels) != want.pixels) fuzz::fail("pixel block differs");
    fuzz::expect_holdings(0, "freeing a decode");
    return 0;
}
