// marusk through its exports: recognition, the picture info record, and decoding
// compared byte for byte with the decoding algorithm carried out step by step.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "tests/host/fixtures.h"
#include "tests/host/plugin_host.h"

namespace {

using host::Bgr;
using host::Bytes;

const HLOCAL kUntouched = reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A5A));

constexpr size_t kFullLines = 448;
constexpr size_t kPreviewLines = 224;
constexpr size_t kRow = 1920;

class Marusk : public host::LeakCheckedTest {
protected:
    host::Plugin plugin{host::plugin_file("marusk")};
    spi_IsSupported is_supported = plugin.get<spi_IsSupported>("IsSupported");
    spi_GetPictureInfo get_picture_info = plugin.get<spi_GetPictureInfo>("GetPictureInfo");
    spi_GetPicture get_picture = plugin.get<spi_GetPicture>("GetPicture");
    spi_GetPicture get_preview = plugin.get<spi_GetPicture>("GetPreview");
    host::ScratchDir dir;

    void SetUp() override {
        ASSERT_TRUE(is_supported && get_picture_info && get_picture && get_preview);
        LeakCheckedTest::SetUp();
    }

    struct Result {
        spi_result code = 99;
        Bytes header;
        Bytes pixels;
    };

    // One call as a host makes it. On failure the host's variables must stay untouched.
    Result decode(bool full, const char *source, spi_offset offset, spi_flags flag, spi_progress progress = nullptr,
                  spi_user user_value = 0) {
        HLOCAL header = kUntouched, pixels = kUntouched;
        Result r;
        r.code = (full ? get_picture : get_preview)(source, offset, flag, &header, &pixels, progress, user_value);
        if (r.code == 0) {
            r.header = host::take_block(header);
            r.pixels = host::take_block(pixels);
        } else {
            EXPECT_EQ(header, kUntouched);
            EXPECT_EQ(pixels, kUntouched);
        }
        return r;
    }

    Result decode_memory(bool full, const Bytes &bytes) {
        return decode(full, reinterpret_cast<const char *>(bytes.data()), static_cast<spi_offset>(bytes.size()), 0x1);
    }

    Result decode_file(bool full, const Bytes &bytes, spi_offset offset = 0) {
        const std::string path = dir / "PIC.B16";
        host::write_file(path, bytes);
        return decode(full, path.c_str(), offset, 0);
    }
};

// ---------------------------------------------------------------------------------------
// Decoding: crafted pictures that make each rule visible, compared whole with the
// step-by-step algorithm and checked on the lines where the rule shows.

struct Crafted {
    const char *name;
    std::function<host::B16()> make;
    // Checks on the decoded pixel block (full or preview), beside the whole-block comparison.
    std::function<void(const Bytes &pixels, bool full)> check;
};

host::B16 filled(uint16_t word) {
    host::B16 p;
    p.fill(word);
    return p;
}

const Crafted kCrafted[] = {
    {"all zero is black", [] { return host::B16(); },
     [](const Bytes &px, bool) {
         for (uint8_t b : px) ASSERT_EQ(b, 0);
     }},
    {"0x7FFF is white", [] { return filled(0x7FFF); },
     [](const Bytes &px, bool full) {
         const size_t lines = full ? kFullLines : kPreviewLines;
         for (size_t i = 0; i < lines * kRow; ++i) ASSERT_EQ(px[i], 255) << i;
     }},
    {"bit 15 is ignored: 0xFFFF is white", [] { return filled(0xFFFF); },
     [](const Bytes &px, bool full) {
         const size_t lines = full ? kFullLines : kPreviewLines;
         for (size_t i = 0; i < lines * kRow; ++i) ASSERT_EQ(px[i], 255) << i;
     }},
    {"channels and level table entries",
     [] {
         host::B16 p;
         const uint16_t words[] = {0x001F, 0x7C00, 0x03E0, 3 << 10 | 3 << 5 | 3, 7 << 10 | 24 << 5 | 28,
                                   28 << 10 | 7 << 5 | 24, 0x8000 | 24 << 10 | 28 << 5 | 7};
         for (size_t x = 0; x < sizeof words / sizeof *words; ++x) p.set(x, 0, words[x]);
         return p;
     },
     [](const Bytes &px, bool full) {
         const size_t lines = full ? kFullLines : kPreviewLines;
         const size_t y = full ? 1 : 0; // full: source row 0 is line 1 (and line 0)
         EXPECT_EQ(host::pixel_at(px, lines, 0, y), (Bgr{0, 0, 255}));
         EXPECT_EQ(host::pixel_at(px, lines, 1, y), (Bgr{255, 0, 0}));
         EXPECT_EQ(host::pixel_at(px, lines, 2, y), (Bgr{0, 255, 0}));
         EXPECT_EQ(host::pixel_at(px, lines, 3, y), (Bgr{25, 25, 25}));
         // The rounded table, not bit replication (24, 57, 198, 231).
         EXPECT_EQ(host::pixel_at(px, lines, 4, y), (Bgr{58, 197, 230}));
         EXPECT_EQ(host::pixel_at(px, lines, 5, y), (Bgr{230, 58, 197}));
         EXPECT_EQ(host::pixel_at(px, lines, 6, y), (Bgr{197, 230, 58}));
     }},
    {"the first two words of the top line",
     [] {
         host::B16 p;
         p.set(0, 0, 0x7C00);
         p.set(1, 0, 0x001F);
         return p;
     },
     [](const Bytes &px, bool full) {
         const size_t top = (full ? kFullLines : kPreviewLines) - 1;
         const uint8_t expected[6] = {255, 0, 0, 0, 0, 255};
         EXPECT_EQ(Bytes(px.begin() + top * kRow, px.begin() + top * kRow + 6), Bytes(expected, expected + 6));
     }},
    {"white over black: the interpolated line rounds down",
     [] {
         host::B16 p;
         p.fill_row(0, 0x7FFF);
         return p;
     },
     [](const Bytes &px, bool full) {
         if (full) {
             EXPECT_EQ(host::pixel_at(px, kFullLines, 0, 0), (Bgr{255, 255, 255}));
             EXPECT_EQ(host::pixel_at(px, kFullLines, 639, 1), (Bgr{255, 255, 255}));
             EXPECT_EQ(host::pixel_at(px, kFullLines, 5, 2), (Bgr{127, 127, 127}));
             EXPECT_EQ(host::pixel_at(px, kFullLines, 5, 3), (Bgr{0, 0, 0}));
         } else {
             EXPECT_EQ(host::pixel_at(px, kPreviewLines, 0, 0), (Bgr{255, 255, 255}));
             EXPECT_EQ(host::pixel_at(px, kPreviewLines, 0, 1), (Bgr{0, 0, 0}));
         }
     }},
    {"the bottom line is source row 223",
     [] {
         host::B16 p;
         p.fill_row(223, 0x001F);
         return p;
     },
     [](const Bytes &px, bool full) {
         if (full) {
             EXPECT_EQ(host::pixel_at(px, kFullLines, 10, 447), (Bgr{0, 0, 255}));
             EXPECT_EQ(host::pixel_at(px, kFullLines, 10, 446), (Bgr{0, 0, 127}));
             EXPECT_EQ(host::pixel_at(px, kFullLines, 10, 445), (Bgr{0, 0, 0}));
         } else {
             EXPECT_EQ(host::pixel_at(px, kPreviewLines, 10, 223), (Bgr{0, 0, 255}));
             EXPECT_EQ(host::pixel_at(px, kPreviewLines, 10, 222), (Bgr{0, 0, 0}));
         }
     }},
    {"every row its own colour keeps its order",
     [] {
         host::B16 p;
         for (size_t y = 0; y < 224; ++y) p.fill_row(y, static_cast<uint16_t>((y % 32) << 10 | (y / 32) << 5 | 31));
         return p;
     },
     [](const Bytes &px, bool full) {
         for (size_t y = 0; y < 224; ++y) {
             const Bgr want = host::word_colour(static_cast<uint16_t>((y % 32) << 10 | (y / 32) << 5 | 31));
             if (full) {
                 ASSERT_EQ(host::pixel_at(px, kFullLines, 320, 2 * y + 1), want) << "source row " << y;
             } else {
                 ASSERT_EQ(host::pixel_at(px, kPreviewLines, 320, y), want) << "source row " << y;
             }
         }
     }},
    {"random words", [] { return host::random_b16(12345); }, [](const Bytes &, bool) {}},
    {"more random words", [] { return host::random_b16(0xBADC0FFE); }, [](const Bytes &, bool) {}},
};

TEST_F(Marusk, DecodesCraftedPicturesExactlyFromMemoryAndFromFiles) {
    for (const Crafted &c : kCrafted) {
        const Bytes source = c.make().bytes;
        for (bool full : {true, false}) {
            const host::Decoded want = host::reference_decode(source, full);
            for (bool from_file : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + (full ? ", full" : ", preview") + (from_file ? ", file" : ", memory"));
                const Result got = from_file ? decode_file(full, source) : decode_memory(full, source);
                ASSERT_EQ(got.code, 0);
                EXPECT_EQ(got.header, want.header);
                ASSERT_EQ(got.pixels.size(), want.pixels.size());
                EXPECT_TRUE(got.pixels == want.pixels) << "pixel blocks differ";
                c.check(got.pixels, full);
            }
        }
    }
    expect_nothing_left();
}

TEST_F(Marusk, HeaderBlockAndSpareRow) {
    const Bytes source = host::random_b16(7).bytes;
    const Result full = decode_memory(true, source);
    const Result preview = decode_memory(false, source);
    ASSERT_EQ(full.code, 0);
    ASSERT_EQ(preview.code, 0);
    struct Field {
        size_t offset;
        uint32_t full, preview;
    } fields[] = {{0, 40, 40},         {4, 640, 640},       {8, 448, 224},         {16, 0, 0},
                  {20, 862080, 432000}, {24, 1, 2},          {28, 1, 1},            {32, 1u << 24, 1u << 24},
                  {36, 0, 0}};
    ASSERT_EQ(full.header.size(), 44u);
    ASSERT_EQ(preview.header.size(), 44u);
    for (const Field &f : fields) {
        EXPECT_EQ(host::le32(&full.header[f.offset]), f.full) << "offset " << f.offset;
        EXPECT_EQ(host::le32(&preview.header[f.offset]), f.preview) << "offset " << f.offset;
    }
    for (const Result *r : {&full, &preview}) {
        EXPECT_EQ(host::le16(&r->header[12]), 1u);
        EXPECT_EQ(host::le16(&r->header[14]), 24u);
        EXPECT_EQ(Bytes(r->header.begin() + 40, r->header.end()), (Bytes{255, 255, 255, 0}));
    }
    ASSERT_EQ(full.pixels.size(), 862080u);
    ASSERT_EQ(preview.pixels.size(), 432000u);
    // Full: the spare row stays zero. Preview: it holds source row 111, which is the
    // picture's line 111 counted from the top, block row 112.
    EXPECT_EQ(Bytes(full.pixels.end() - kRow, full.pixels.end()), Bytes(kRow, 0));
    EXPECT_EQ(Bytes(preview.pixels.end() - kRow, preview.pixels.end()),
              Bytes(preview.pixels.begin() + 112 * kRow, preview.pixels.begin() + 113 * kRow));
}

TEST_F(Marusk, FileInputReadsFromTheOffsetAndLeavesWhatIsNotReadZero) {
    const Bytes source = host::random_b16(99).bytes;
    struct Case {
        spi_offset offset;
        size_t skipped; // bytes of the file before the read starts; the rest of the front is zero
    } cases[] = {{0, 0}, {1, 1}, {1000, 1000}, {286720, 286720}, {500000, 286720},
                 // A negative offset is a position of 2 GiB or more, past this file's end.
                 {-1, 286720}, {static_cast<spi_offset>(INT32_MIN), 286720}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.offset);
        Bytes front(source.begin() + static_cast<std::ptrdiff_t>(c.skipped), source.end());
        front.resize(source.size(), 0);
        for (bool full : {true, false}) {
            const Result got = decode_file(full, source, c.offset);
            ASSERT_EQ(got.code, 0);
            EXPECT_TRUE(got.pixels == host::reference_decode(front, full).pixels);
        }
    }
    expect_nothing_left();
}

// ---------------------------------------------------------------------------------------
// Inputs that are refused: a defined code, nothing allocated, nothing left open.

TEST_F(Marusk, WrongSizesAndMissingFilesAllocateNothing) {
    const Bytes picture(286720, 0);
    host::write_file(dir / "short.b16", Bytes(286719, 0));
    host::write_file(dir / "long.b16", Bytes(286721, 0));
    host::write_file(dir / "empty.b16", Bytes());
    host::make_dir(dir / "folder.b16");
    host::make_dir(dir / "wild");
    host::write_file(dir / "wild/only.b16", picture);
    const bool huge = host::make_sparse_file(dir / "huge.b16", uint64_t(1) << 32);
    const std::string wildcard = dir / "wild/*.b16"; // found with the right size, but no file has that name

    struct Case {
        const char *what;
        const char *source;
        spi_offset offset;
        spi_flags flag;
        spi_result code;
    };
    const std::string short_file = dir / "short.b16", long_file = dir / "long.b16", empty = dir / "empty.b16",
                      folder = dir / "folder.b16", missing = dir / "missing.b16", huge_file = dir / "huge.b16";
    const char *bytes = reinterpret_cast<const char *>(picture.data());
    std::vector<Case> cases = {
        {"memory, one byte short", bytes, 286719, 1, -1},
        {"memory, one byte long", bytes, 286721, 1, -1},
        {"memory, no bytes", bytes, 0, 1, -1},
        {"memory, negative size", bytes, -286720, 1, -1},
        {"memory, null pointer", nullptr, 286720, 1, -1},
        {"file of 286,719 bytes", short_file.c_str(), 0, 0, -1},
        {"file of 286,721 bytes", long_file.c_str(), 0, 0, -1},
        {"empty file", empty.c_str(), 0, 0, -1},
        {"file of 286,721 bytes with offset 1", long_file.c_str(), 1, 0, -1},
        {"a folder", folder.c_str(), 0, 0, -1},
        {"missing file", missing.c_str(), 0, 0, 6},
        {"null path", nullptr, 0, 0, 6},
        {"empty path", "", 0, 0, 6},
        {"found but cannot be opened", wildcard.c_str(), 0, 0, 6},
    };
    if (huge) cases.push_back({"file of 4 GiB", huge_file.c_str(), 0, 0, -1});
    const host::Allocations allocated = host::allocations();
    for (const Case &c : cases) {
        for (bool full : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (full ? ", full" : ", preview"));
            EXPECT_EQ(decode(full, c.source, c.offset, c.flag).code, c.code);
            expect_nothing_left();
        }
    }
    // Only the unopenable file gets as far as allocating (and frees both blocks).
    EXPECT_EQ(host::allocations().count, allocated.count + (host::can_count_holdings() ? 4u : 0u));
}

TEST_F(Marusk, NullHostVariablesAreRefused) {
    const Bytes picture(286720, 0);
    HLOCAL block = kUntouched;
    for (spi_GetPicture call : {get_picture, get_preview}) {
        EXPECT_EQ(call(reinterpret_cast<const char *>(picture.data()), 286720, 1, nullptr, &block, nullptr, 0), -1);
        EXPECT_EQ(call(reinterpret_cast<const char *>(picture.data()), 286720, 1, &block, nullptr, nullptr, 0), -1);
    }
    EXPECT_EQ(block, kUntouched);
    expect_nothing_left();
}

TEST_F(Marusk, AllocationAndLockFailuresReleaseWhatWasObtained) {
    if (!host::can_inject_faults()) GTEST_SKIP() << "the system's LocalAlloc cannot be made to fail";
    const Bytes source = host::random_b16(3).bytes;
    host::write_file(dir / "PIC.B16", source);
    const std::string path = dir / "PIC.B16";
    struct Case {
        const char *what;
        void (*arm)(unsigned);
        unsigned nth;
        spi_result code;
    } cases[] = {
        {"pixel block allocation", host::fail_alloc, 1, 4},
        {"header block allocation", host::fail_alloc, 2, 4},
        {"pixel block lock", host::fail_lock, 1, 5},
        {"header block lock", host::fail_lock, 2, 5},
    };
    for (const Case &c : cases) {
        for (bool full : {true, false}) {
            for (bool from_file : {false, true}) {
                SCOPED_TRACE(std::string(c.what) + (full ? ", full" : ", preview") + (from_file ? ", file" : ", memory"));
                c.arm(c.nth);
                const Result r = from_file ? decode(full, path.c_str(), 0, 0) : decode_memory(full, source);
                c.arm(0);
                EXPECT_EQ(r.code, c.code);
                expect_nothing_left();
            }
        }
    }
}

TEST_F(Marusk, ADecodeAllocatesExactlyItsTwoBlocks) {
    if (!host::can_count_holdings()) GTEST_SKIP() << "allocations are counted by our own platform layer only";
    const Bytes source = host::random_b16(5).bytes;
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "full" : "preview");
        const host::Allocations start = host::allocations();
        ASSERT_EQ(decode_file(full, source).code, 0);
        const host::Allocations end = host::allocations();
        EXPECT_EQ(end.count - start.count, 2u);
        EXPECT_EQ(end.bytes - start.bytes, full ? 862080u + 44u : 432000u + 44u);
    }
}

// ---------------------------------------------------------------------------------------
// The progress callback.

struct Recorder {
    std::vector<std::tuple<int32_t, int32_t, spi_user>> calls;
    size_t cancel_at = 0; // 1-based report that answers "cancel"; 0 never
};

int32_t SPI_CALL record_progress(int32_t numerator, int32_t denominator, spi_user user_value) {
    Recorder *r = reinterpret_cast<Recorder *>(user_value);
    r->calls.emplace_back(numerator, denominator, user_value);
    return r->calls.size() == r->cancel_at ? 1 : 0;
}

TEST_F(Marusk, ProgressIsReportedAtItsPointsWithTheUserValue) {
    const Bytes source = host::random_b16(11).bytes;
    Recorder full_run, preview_run;
    const spi_user full_user = reinterpret_cast<spi_user>(&full_run);
    const spi_user preview_user = reinterpret_cast<spi_user>(&preview_run);
    ASSERT_EQ(decode(true, reinterpret_cast<const char *>(source.data()), 286720, 1, record_progress, full_user).code, 0);
    ASSERT_EQ(decode(false, reinterpret_cast<const char *>(source.data()), 286720, 1, record_progress, preview_user).code, 0);
    using Call = std::tuple<int32_t, int32_t, spi_user>;
    EXPECT_EQ(full_run.calls, (std::vector<Call>{Call{0, 1, full_user}, Call{1, 1, full_user}}));
    EXPECT_EQ(preview_run.calls, (std::vector<Call>{Call{0, 0, preview_user}}));
}

TEST_F(Marusk, CancellingAtAnyReportFreesBothBlocksAndLeavesTheHostVariables) {
    const Bytes source = host::random_b16(13).bytes;
    host::write_file(dir / "PIC.B16", source);
    const std::string path = dir / "PIC.B16";
    struct Case {
        bool full;
        size_t cancel_at;
    } cases[] = {{true, 1}, {true, 2}, {false, 1}};
    for (const Case &c : cases) {
        for (bool from_file : {false, true}) {
            SCOPED_TRACE(std::string(c.full ? "full" : "preview") + ", report " + std::to_string(c.cancel_at) +
                         (from_file ? ", file" : ", memory"));
            Recorder r;
            r.cancel_at = c.cancel_at;
            const Result got = from_file ? decode(c.full, path.c_str(), 0, 0, record_progress, reinterpret_cast<spi_user>(&r))
                                         : decode(c.full, reinterpret_cast<const char *>(source.data()), 286720, 1,
                                                  record_progress, reinterpret_cast<spi_user>(&r));
            EXPECT_EQ(got.code, 1);
            EXPECT_EQ(r.calls.size(), c.cancel_at) << "no report after the cancel";
            expect_nothing_left();
        }
    }
}

// ---------------------------------------------------------------------------------------
// IsSupported and GetPictureInfo.

TEST_F(Marusk, IsSupportedGoesByTheExtensionOnceAHandleYieldsAByte) {
    host::write_file(dir / "content", Bytes(10, 1));
    host::write_file(dir / "empty", Bytes());
    const Bytes first_bytes(2048, 0);
    const spi_source pointer = reinterpret_cast<spi_source>(first_bytes.data());

    enum Source { content, empty, null_handle, bytes_in_memory };
    struct Case {
        const char *path;
        Source source;
        int32_t answer;
    } cases[] = {
        {"PIC.B16", content, 1},           {"pic.b16", content, 1},        {"C:\\DATA\\X.b16", content, 1},
        {"dir/x.B16", content, 1},         {".b16", content, 1},           {"PIC.B16X", content, 0},
        {"PIC.B1", content, 0},            {"PIC", content, 0},            {"C:\\DIR.B16\\FILE", content, 0},
        {"PIC.B16.", content, 0},          {"PIC.B16 ", content, 0},       {"", content, 0},
        {nullptr, content, 0},             {"B16", content, 0},            {"PIC.\xC2\x31\x36", content, 0},
        {"PIC.B16", empty, 0},             {"PIC.B16", null_handle, 0},    {"PIC.B16", bytes_in_memory, 1},
        {"PIC.b16", bytes_in_memory, 1},   {"PIC.TXT", bytes_in_memory, 0}, {"", bytes_in_memory, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.path ? c.path : "(null)") + " source " + std::to_string(c.source));
        if (c.source == content || c.source == empty) {
            host::FileHandle h(dir / (c.source == content ? "content" : "empty"));
            ASSERT_TRUE(h.valid());
            EXPECT_EQ(is_supported(c.path, h.value()), c.answer);
        } else {
            EXPECT_EQ(is_supported(c.path, c.source == null_handle ? 0 : pointer), c.answer);
        }
    }
}

TEST_F(Marusk, IsSupportedReadsFromTheHandleWhateverTheName) {
    host::write_file(dir / "five-thousand", Bytes(5000, 7));
    host::FileHandle h(dir / "five-thousand");
    ASSERT_TRUE(h.valid());
    EXPECT_EQ(is_supported("NOTES.TXT", h.value()), 0);
    EXPECT_EQ(h.position(), 2048u);
    EXPECT_EQ(is_supported("PIC.B16", h.value()), 1);
    EXPECT_EQ(h.position(), 4096u);
    EXPECT_EQ(is_supported("PIC.B16", h.value()), 1); // 904 bytes left: still at least one
    EXPECT_EQ(h.position(), 5000u);
    EXPECT_EQ(is_supported("PIC.B16", h.value()), 0); // nothing left to read
}

TEST_F(Marusk, GetPictureInfoGivesTheSameRecordForEveryInput) {
    const Bytes expected_start = {0, 0, 0, 0, 0, 0, 0, 0, 0x80, 2, 0, 0, 0xC0, 1, 0, 0, 1, 0, 1, 0, 24, 0};
    const char *sources[] = {"missing/nowhere.b16", "", nullptr};
    for (const char *source : sources) {
        for (spi_flags flag : {0u, 1u, 0xFFFFFFFFu}) {
            SCOPED_TRACE(flag);
            uint8_t record[sizeof(spi_picture_info) + 4];
            std::memset(record, 0x55, sizeof record);
            EXPECT_EQ(get_picture_info(source, 12345, flag, reinterpret_cast<spi_picture_info *>(record)), 0);
            EXPECT_EQ(Bytes(record, record + 22), expected_start);
            EXPECT_EQ(Bytes(record + 22, record + sizeof(spi_picture_info)), Bytes(sizeof(HLOCAL), 0)) << "no text block";
            EXPECT_EQ(Bytes(record + sizeof(spi_picture_info), record + sizeof record), Bytes(4, 0x55));
        }
    }
    EXPECT_EQ(get_picture_info("x.b16", 0, 0, nullptr), -1);
    expect_nothing_left();
}

TEST_F(Marusk, APreviewOfAFileOfTheWrongSizeIsRefusedThoughItsNameIsTaken) {
    host::write_file(dir / "WRONG.B16", Bytes(1000, 1));
    host::FileHandle h(dir / "WRONG.B16");
    const std::string path = dir / "WRONG.B16";
    EXPECT_EQ(is_supported(path.c_str(), h.value()), 1);
    EXPECT_EQ(decode(false, path.c_str(), 0, 0).code, -1);
}

} // namespace
