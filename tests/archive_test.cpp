// toldrin through its exports: recognising a bind archive, listing, looking up and
// extracting entries, and refusing what it must refuse without leaving anything behind.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/host/fixtures.h"
#include "tests/host/plugin_host.h"

namespace {

using host::Bytes;

const HLOCAL kUntouched = reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(0x5A5A5A5A));
const Bytes kMethod = {0x2D, 0xB2, 0xDD, 0xC1, 0xB7, 0x2D, 0x00, 0x00};

Bytes text_bytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

class Toldrin : public host::LeakCheckedTest {
protected:
    host::Plugin plugin{host::plugin_file("toldrin")};
    spi_IsSupported is_supported = plugin.get<spi_IsSupported>("IsSupported");
    spi_GetArchiveInfo get_archive_info = plugin.get<spi_GetArchiveInfo>("GetArchiveInfo");
    spi_GetFileInfo get_file_info = plugin.get<spi_GetFileInfo>("GetFileInfo");
    spi_GetFile get_file = plugin.get<spi_GetFile>("GetFile");
    host::ScratchDir dir;

    void SetUp() override {
        ASSERT_TRUE(is_supported && get_archive_info && get_file_info && get_file);
        LeakCheckedTest::SetUp();
    }

    // Writes <name>.tbl and, unless data is null, <name>.dat; answers the table's path.
    std::string archive(const std::string &name, const Bytes &table, const Bytes *data) {
        host::write_file(dir / (name + ".tbl"), table);
        if (data) host::write_file(dir / (name + ".dat"), *data);
        return dir / (name + ".tbl");
    }

    struct Listing {
        spi_result code = 99;
        size_t block_size = 0;
        std::vector<spi_entry_info> entries; // every record of the block, the end mark included
    };

    Listing list(const std::string &table, spi_offset offset = 0, spi_flags flag = 0) {
        HLOCAL block = kUntouched;
        Listing l;
        l.code = get_archive_info(table.c_str(), offset, flag, &block);
        if (l.code != 0) {
            EXPECT_EQ(block, kUntouched);
            return l;
        }
        l.block_size = host::block_size(block);
        const Bytes bytes = host::take_block(block);
        for (size_t at = 0; at + 428 <= bytes.size(); at += 428) {
            spi_entry_info e;
            std::memcpy(&e, bytes.data() + at, 428);
            l.entries.push_back(e);
        }
        return l;
    }

    struct Extracted {
        spi_result code = 99;
        Bytes bytes;
        size_t block_size = 0;
    };

    Extracted extract_to_memory(const std::string &table, spi_offset position) {
        HLOCAL block = kUntouched;
        Extracted x;
        x.code = get_file(table.c_str(), position, reinterpret_cast<char *>(&block), 0x100, nullptr, 0);
        if (x.code == 0) {
            x.block_size = host::block_size(block);
            x.bytes = host::take_block(block);
        } else {
            EXPECT_EQ(block, kUntouched);
        }
        return x;
    }
};

Bytes entry_bytes(const spi_entry_info &e) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&e);
    return Bytes(p, p + sizeof e);
}

// ---------------------------------------------------------------------------------------
// IsSupported

TEST_F(Toldrin, IsSupportedWhenTheDataFileIsBesideTheTable) {
    host::write_file(dir / "bind6.tbl", Bytes(19, ' '));
    host::write_file(dir / "bind4.tbl", Bytes(19, ' '));
    host::write_file(dir / "bind4.dat", Bytes(1, 0));
    host::write_file(dir / "bind3.tb", Bytes(19, ' '));
    host::write_file(dir / "bind3.dat", Bytes(1, 0));
    host::write_file(dir / "bind.tbl.dat", Bytes(1, 0));
    host::write_file(dir / ".dat", Bytes(1, 0));
    host::write_file(dir / "a.dat", Bytes(1, 0));
    host::make_dir(dir / "folder.dat");

    struct Case {
        std::string path;
        int32_t answer;
    } cases[] = {
        {dir / "bind4.tbl", 1},
        {dir / "bind7.tbl", 0},       // neither file
        {dir / "bind6.tbl", 0},       // a table without its data file
        {dir / "bind4.TBL", 1},       // any case of ".tbl"; ".dat" is always lower case
        {dir / "bind3.tb", 0},        // no ".tbl" ending, whatever files exist
        {dir / "bind.tbl.TbL", 1},    // the last ".tbl" is replaced: bind.tbl.dat
        {dir / "folder.tbl", 1},      // a folder of the data file's name counts
        {dir / ".tbl", 1},            // a separator before ".tbl" is a byte like any other
        {".tbl", 0},                  // nothing before ".tbl"
        {dir / "a.tbla", 0},
        {dir / "bind4.tbl ", 0},      // the ending runs to the end of the path
        {"", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(is_supported(c.path.c_str(), 0), c.answer);
        EXPECT_EQ(is_supported(c.path.c_str(), 0x12345678), c.answer) << "the source is not used";
    }
    EXPECT_EQ(is_supported(nullptr, 0), 0);
    expect_nothing_left();
}

// ---------------------------------------------------------------------------------------
// Listing

TEST_F(Toldrin, ListsOneEntryPerWholeRecordAndAZeroEndMark) {
    const Bytes three = host::concat({host::table_record("FILE0001BIN", 0x100, 0x20),
                                      host::table_record("README  TXT", 0, 5),
                                      host::table_record("BIG     DAT", 0x80000000u, 0x80000000u)});
    struct Case {
        size_t table_bytes;
        size_t records;
    } cases[] = {{0, 0}, {18, 0}, {19, 1}, {38, 2}, {40, 2}, {57, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.table_bytes);
        Bytes table = three;
        table.resize(c.table_bytes, 0x41);
        const Listing l = list(archive("bind0", table, nullptr));
        ASSERT_EQ(l.code, 0);
        EXPECT_EQ(l.block_size, (c.records + 1) * 428);
        ASSERT_EQ(l.entries.size(), c.records + 1);
        EXPECT_EQ(entry_bytes(l.entries.back()), Bytes(428, 0)) << "end mark";
        for (size_t i = 0; i < c.records; ++i) {
            EXPECT_EQ(Bytes(l.entries[i].method, l.entries[i].method + 8), kMethod);
            EXPECT_EQ(l.entries[i].position, 19 * i);
        }
    }
    const Listing l = list(dir / "bind0.tbl");
    ASSERT_EQ(l.entries.size(), 4u);
    const spi_entry_info &first = l.entries[0];
    EXPECT_STREQ(first.file_name, "FILE0001.BIN");
    EXPECT_EQ(first.size, 32u);
    EXPECT_EQ(first.packed_size, 32u);
    EXPECT_EQ(first.timestamp, 0u);
    EXPECT_EQ(first.checksum, 0u);
    EXPECT_EQ(Bytes(first.directory, first.directory + 200), Bytes(200, 0));
    EXPECT_EQ(Bytes(first.file_name + 13, first.file_name + 200), Bytes(187, 0));
    EXPECT_EQ(l.entries[2].size, 0x80000000u) << "sizes are unsigned";
    EXPECT_EQ(l.entries[2].packed_size, 0x80000000u);
    expect_nothing_left();
}

TEST_F(Toldrin, ConvertsStoredNamesToFileNames) {
    struct Case {
        std::string stored; // 11 bytes
        std::string name;
    } cases[] = {
        {"README  TXT", "README.TXT"},
        {"A B     C  ", "AB.C"},
        {"NAME       ", "NAME."},
        {"           ", "."},
        {"X       Y Z", "X.YZ"},
        {std::string("AB\0\0\0\0\0\0TXT", 11), "AB"},
        {std::string("AB      T\0Z", 11), "AB.T"},
        {std::string("\0BCDEFGHIJK", 11), ""},
        {"ABCDEFGHIJK", "ABCDEFGH.IJK"},
        {"A\tB     C  ", "A\tB.C"},
        {"\xB2\xDD" "abc   x y", "\xB2\xDD" "abc.xy"},
        {"..\\..\\X EXE", "..\\..\\X.EXE"},
    };
    std::vector<Bytes> records;
    for (const Case &c : cases) records.push_back(host::table_record(c.stored, 0, 0));
    const Listing l = list(archive("bind0", host::concat(records), nullptr));
    ASSERT_EQ(l.code, 0);
    ASSERT_EQ(l.entries.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(std::string(l.entries[i].file_name), cases[i].name);
        const size_t end = cases[i].name.size();
        EXPECT_EQ(Bytes(l.entries[i].file_name + end, l.entries[i].file_name + 200), Bytes(200 - end, 0));
    }
}

TEST_F(Toldrin, EveryEntryOfALongListingIsExactlyItsRecord) {
    // Long names before short ones, sizes and offsets of every width: any byte an entry
    // kept from elsewhere (the table read into the list, another entry) shows.
    std::vector<Bytes> records;
    std::vector<spi_entry_info> want;
    for (uint32_t i = 0; i < 300; ++i) {
        const std::string stored = i % 3 == 0 ? "ABCDEFGHIJK" : i % 3 == 1 ? "X          " : std::string(11, '\0');
        const uint32_t size = i * 0x01010101u, offset = ~i;
        records.push_back(host::table_record(stored, offset, size));
        spi_entry_info e;
        std::memset(&e, 0, sizeof e);
        std::memcpy(e.method, kMethod.data(), 8);
        e.position = 19 * i;
        e.size = e.packed_size = size;
        std::strcpy(e.file_name, i % 3 == 0 ? "ABCDEFGH.IJK" : i % 3 == 1 ? "X." : "");
        want.push_back(e);
    }
    const Listing l = list(archive("bind0", host::concat(records), nullptr));
    ASSERT_EQ(l.code, 0);
    ASSERT_EQ(l.entries.size(), want.size() + 1);
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(entry_bytes(l.entries[i]), entry_bytes(want[i])) << "entry " << i;
    EXPECT_EQ(entry_bytes(l.entries.back()), Bytes(428, 0));
}

TEST_F(Toldrin, ListingFromAnOffsetCountsRecordsByTheWholeFileAndReadsMissingBytesAsZero) {
    const Bytes table = host::concat({host::table_record("ONE     TXT", 1, 2), host::table_record("TWO     TXT", 3, 4),
                                      host::table_record("THREE   TXT", 5, 6)});
    const std::string path = archive("bind0", table, nullptr);
    const Listing l = list(path, 19);
    ASSERT_EQ(l.code, 0);
    ASSERT_EQ(l.entries.size(), 4u);
    EXPECT_STREQ(l.entries[0].file_name, "TWO.TXT");
    EXPECT_EQ(l.entries[0].position, 19u);
    EXPECT_STREQ(l.entries[1].file_name, "THREE.TXT");
    EXPECT_EQ(l.entries[1].position, 38u);
    // The third record lies past the end: its bytes read as zero, not as leftovers.
    EXPECT_STREQ(l.entries[2].file_name, "");
    EXPECT_EQ(l.entries[2].position, 57u);
    EXPECT_EQ(l.entries[2].size, 0u);
    EXPECT_EQ(Bytes(l.entries[2].method, l.entries[2].method + 8), kMethod);

    // Cut part-way: a 40-byte table read from offset 5 has two records, the second short.
    Bytes forty = table;
    forty.resize(40);
    const Listing cut = list(archive("bind1", forty, nullptr), 5);
    ASSERT_EQ(cut.entries.size(), 3u);
    EXPECT_EQ(cut.entries[1].position, 24u);
    EXPECT_EQ(cut.entries[1].size, 0x48000000u) << "one size byte ('H') in the file, three past its end";

    // A negative offset is a position of 2 GiB or more: past this table's end.
    const Listing distant = list(path, -1);
    ASSERT_EQ(distant.code, 0);
    ASSERT_EQ(distant.entries.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_STREQ(distant.entries[i].file_name, "");
        EXPECT_EQ(distant.entries[i].size, 0u);
    }
    expect_nothing_left();
}

TEST_F(Toldrin, ListingRefusalsLeaveNothingBehind) {
    const std::string path = archive("bind0", host::table_record("README  TXT", 0, 5), nullptr);
    host::make_dir(dir / "folder.tbl");
    const std::string folder = dir / "folder.tbl", missing = dir / "missing.tbl";
    struct Case {
        const char *what;
        const char *source;
        spi_flags flag;
        spi_result code;
    } cases[] = {
        {"input in memory", path.c_str(), 0x1, -1},
        {"input in memory, other bits set", path.c_str(), 0xFFFFFFFF, -1},
        {"missing table", missing.c_str(), 0, 6},
        {"null path", nullptr, 0, 6},
        {"a folder: found with size 0, then cannot be opened", folder.c_str(), 0, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> files = dir.contents();
        EXPECT_EQ(list(c.source ? c.source : "", 0, c.flag).code, c.code);
        if (!c.source) {
            HLOCAL block = kUntouched;
            EXPECT_EQ(get_archive_info(nullptr, 0, c.flag, &block), c.code);
            EXPECT_EQ(block, kUntouched);
        }
        EXPECT_EQ(dir.contents(), files);
        expect_nothing_left();
    }
    EXPECT_EQ(get_archive_info(path.c_str(), 0, 0, nullptr), -1);
}

TEST_F(Toldrin, ListsThatCannotBeHandedToAHostAreRefusedWithoutAllocating) {
    // From 190,664,430 bytes on, (n + 1) x 428 no longer fits 32 bits; from 4 GiB on the
    // size itself does not.
    struct Case {
        uint64_t size;
        spi_result code;
    } cases[] = {{190664430, 4}, {uint64_t(1) << 31, 4}, {(uint64_t(1) << 32) + 57, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        const std::string path = dir / "huge.tbl";
        if (!host::make_sparse_file(path, c.size)) GTEST_SKIP() << "no sparse files here";
        const host::Allocations start = host::allocations();
        EXPECT_EQ(list(path).code, c.code);
        EXPECT_EQ(host::allocations().count, start.count);
        expect_nothing_left();
    }
}

TEST_F(Toldrin, ListingAllocationAndLockFailures) {
    if (!host::can_inject_faults()) GTEST_SKIP() << "the system's LocalAlloc cannot be made to fail";
    const std::string path = archive("bind0", host::table_record("README  TXT", 0, 5), nullptr);
    host::fail_alloc(1);
    EXPECT_EQ(list(path).code, 4);
    host::fail_lock(1);
    EXPECT_EQ(list(path).code, 5);
    host::fail_alloc(0);
    host::fail_lock(0);
    expect_nothing_left();
}

// ---------------------------------------------------------------------------------------
// Lookup

TEST_F(Toldrin, LooksUpByNameWithOrWithoutRegardToCase) {
    const std::string path = archive(
        "bind0",
        host::concat({host::table_record("README  TXT", 7, 5), host::table_record("README     ", 9, 1)}), nullptr);
    struct Case {
        const char *name;
        spi_flags flag;
        spi_result code;
        uint32_t position;
    } cases[] = {
        {"README.TXT", 0, 0, 0},     {"readme.txt", 0, 2, 0}, {"readme.txt", 0x80, 0, 0},
        {"README", 0, 2, 0},         {"README", 0x80, 2, 0},  {"README.", 0, 0, 19},
        {"README.TXT ", 0, 2, 0},    {"", 0, 2, 0},           {"readme.txt", 0xFFFFFFFE, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " flag " + std::to_string(c.flag));
        spi_entry_info e;
        std::memset(&e, 0x55, sizeof e);
        EXPECT_EQ(get_file_info(path.c_str(), 0, c.name, c.flag, &e), c.code);
        if (c.code != 0) {
            EXPECT_EQ(entry_bytes(e), Bytes(428, 0x55)) << "no match leaves the record untouched";
            continue;
        }
        EXPECT_EQ(e.position, c.position);
        // The whole record is written: zero where nothing else goes.
        spi_entry_info want;
        std::memset(&want, 0, sizeof want);
        std::memcpy(want.method, kMethod.data(), 8);
        want.position = c.position;
        want.size = want.packed_size = c.position ? 1 : 5;
        std::strcpy(want.file_name, c.position ? "README." : "README.TXT");
        EXPECT_EQ(entry_bytes(e), entry_bytes(want));
    }
    expect_nothing_left();
}

TEST_F(Toldrin, TheLastOfSeveralMatchesWinsAcrossTheWholeTable) {
    // 120,000 records (2.2 MB, more than one read's worth): matches within one stretch,
    // on both sides of every 1 MiB boundary, and at the very end.
    const size_t n = 120000;
    Bytes table(n * 19);
    for (size_t i = 0; i < n; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%07zuBIN", i);
        const Bytes r = host::table_record(name, static_cast<uint32_t>(i), 1);
        std::copy(r.begin(), r.end(), table.begin() + static_cast<std::ptrdiff_t>(19 * i));
    }
    const size_t per_mib = (1u << 20) / 19;
    const std::string path = dir / "bind0.tbl";
    struct Case {
        std::vector<size_t> twins;
        size_t reported;
    } cases[] = {{{0, 5}, 5},
                 {{per_mib - 1, per_mib}, per_mib},
                 {{per_mib - 1}, per_mib - 1},
                 {{2 * per_mib - 1, 2 * per_mib, 17}, 2 * per_mib},
                 {{0, per_mib, n - 1}, n - 1},
                 {{n - 2, 3}, n - 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reported);
        Bytes t = table;
        const Bytes twin = host::table_record("TWIN    DAT", 0, 2);
        for (size_t i : c.twins) std::copy(twin.begin(), twin.end(), t.begin() + static_cast<std::ptrdiff_t>(19 * i));
        archive("bind0", t, nullptr);
        spi_entry_info e;
        ASSERT_EQ(get_file_info(path.c_str(), 0, "TWIN.DAT", 0, &e), 0);
        EXPECT_EQ(e.position, 19u * c.reported);
        ASSERT_EQ(get_file_info(path.c_str(), 0, "twin.dat", 0x80, &e), 0);
        EXPECT_EQ(e.position, 19u * c.reported);
    }
    archive("bind0", table, nullptr);
    spi_entry_info e;
    ASSERT_EQ(get_file_info(path.c_str(), 0, "F0003447.BIN", 0, &e), 0);
    EXPECT_EQ(e.position, 19u * 3447);
    ASSERT_EQ(get_file_info(path.c_str(), 0, "F0119999.BIN", 0, &e), 0);
    EXPECT_EQ(e.position, 19u * 119999);
    // From an offset, positions count from the offset.
    ASSERT_EQ(get_file_info(path.c_str(), 19, "F0000001.BIN", 0, &e), 0);
    EXPECT_EQ(e.position, 19u);
    EXPECT_EQ(get_file_info(path.c_str(), 0, "F0120000.BIN", 0, &e), 2);
    expect_nothing_left();
}

TEST_F(Toldrin, LookupRefusals) {
    const std::string path = archive("bind0", host::table_record("README  TXT", 0, 5), nullptr);
    host::make_dir(dir / "folder.tbl");
    const std::string folder = dir / "folder.tbl", missing = dir / "missing.tbl";
    struct Case {
        const char *what;
        const char *source;
        const char *name;
        spi_flags flag;
        spi_result code;
    } cases[] = {
        {"input in memory", path.c_str(), "README.TXT", 0x1, -1},
        {"input in memory, case ignored", path.c_str(), "README.TXT", 0x81, -1},
        {"missing table", missing.c_str(), "README.TXT", 0, 6},
        {"a folder", folder.c_str(), "README.TXT", 0, 6},
        {"null path", nullptr, "README.TXT", 0, 6},
        {"null name", path.c_str(), nullptr, 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        spi_entry_info e;
        std::memset(&e, 0x55, sizeof e);
        EXPECT_EQ(get_file_info(c.source, 0, c.name, c.flag, &e), c.code);
        EXPECT_EQ(entry_bytes(e), Bytes(428, 0x55));
        expect_nothing_left();
    }
    EXPECT_EQ(get_file_info(path.c_str(), 0, "README.TXT", 0, nullptr), -1);
}

// ---------------------------------------------------------------------------------------
// Extraction

TEST_F(Toldrin, ExtractsToAFolderOrToMemory) {
    Bytes data = text_bytes("....hello, world....");
    const std::string path = archive("bind0", host::concat({host::table_record("README  TXT", 4, 12),
                                                            host::table_record("TAIL    BIN", 16, 10),
                                                            host::table_record("FAR     BIN", 1000, 3)}),
                                     &data);
    host::make_dir(dir / "out");

    const std::string out = dir / "out/";
    EXPECT_EQ(get_file(path.c_str(), 0, const_cast<char *>(out.c_str()), 0, nullptr, 0), 0);
    EXPECT_EQ(host::read_file(dir / "out/README.TXT"), text_bytes("hello, world"));
    // Nothing goes between the destination and the name.
    const std::string bare = dir / "out";
    EXPECT_EQ(get_file(path.c_str(), 0, const_cast<char *>(bare.c_str()), 0, nullptr, 0), 0);
    EXPECT_EQ(host::read_file(dir / "outREADME.TXT"), text_bytes("hello, world"));

    // Past the end of the data file: the entry's size all the same, the rest zero.
    EXPECT_EQ(get_file(path.c_str(), 19, const_cast<char *>(out.c_str()), 0, nullptr, 0), 0);
    EXPECT_EQ(host::read_file(dir / "out/TAIL.BIN"), (Bytes{'.', '.', '.', '.', 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(get_file(path.c_str(), 38, const_cast<char *>(out.c_str()), 0, nullptr, 0), 0);
    EXPECT_EQ(host::read_file(dir / "out/FAR.BIN"), Bytes(3, 0));

    const std::vector<std::string> files = dir.contents();
    struct Case {
        spi_offset position;
        Bytes bytes;
    } cases[] = {{0, text_bytes("hello, world")}, {19, {'.', '.', '.', '.', 0, 0, 0, 0, 0, 0}}, {38, Bytes(3, 0)}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.position);
        const Extracted x = extract_to_memory(path, c.position);
        EXPECT_EQ(x.code, 0);
        EXPECT_EQ(x.block_size, c.bytes.size());
        EXPECT_EQ(x.bytes, c.bytes);
    }
    EXPECT_EQ(dir.contents(), files) << "memory output writes nothing to disk";
    expect_nothing_left();
}

TEST_F(Toldrin, EmptyEntries) {
    Bytes data = text_bytes("xyz");
    const std::string path = archive("bind0", host::table_record("EMPTY   TXT", 1, 0), &data);
    host::make_dir(dir / "out");
    const std::string out = dir / "out/";
    host::write_file(dir / "out/EMPTY.TXT", text_bytes("old contents"));
    EXPECT_EQ(get_file(path.c_str(), 0, const_cast<char *>(out.c_str()), 0, nullptr, 0), 0);
    EXPECT_TRUE(host::exists(dir / "out/EMPTY.TXT"));
    EXPECT_EQ(host::read_file(dir / "out/EMPTY.TXT"), Bytes()) << "an empty file replaces the old one";
    // In memory: a block the host can lock, holding one zero byte; the entry says 0 bytes.
    const Extracted x = extract_to_memory(path, 0);
    EXPECT_EQ(x.code, 0);
    EXPECT_EQ(x.bytes, Bytes(1, 0));
    expect_nothing_left();
}

TEST_F(Toldrin, PositionsOffRecordBoundariesReadTheBytesFoundThere) {
    Bytes data(64);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    // Bytes 1 to 19 of the table form a record of their own: name "BCDEFGHIJKL", data
    // offset 0, size 4. Bytes 20 and on are zero, and the table ends at 38.
    Bytes table = host::concat({Bytes{'A'}, host::table_record("BCDEFGHIJKL", 0, 4), Bytes(18, 0)});
    const std::string path = archive("bind0", table, &data);
    const Extracted x = extract_to_memory(path, 1);
    EXPECT_EQ(x.code, 0);
    EXPECT_EQ(x.bytes, (Bytes{0, 1, 2, 3}));

    // Within the last bytes of the table, or past its end, the missing bytes read as zero.
    const Extracted tail = extract_to_memory(path, 30);
    EXPECT_EQ(tail.code, 0);
    EXPECT_EQ(tail.bytes, Bytes(1, 0)) << "a size of zero";
    const Extracted beyond = extract_to_memory(path, -1);
    EXPECT_EQ(beyond.code, 0);
    EXPECT_EQ(beyond.bytes, Bytes(1, 0));
    // A record of zeros names no file, so it cannot be written to a folder.
    host::make_dir(dir / "out");
    const std::string out = dir / "out/";
    EXPECT_EQ(get_file(path.c_str(), -1, const_cast<char *>(out.c_str()), 0, nullptr, 0), 8);
    EXPECT_TRUE(dir.contents() == (std::vector<std::string>{"bind0.dat", "bind0.tbl", "out"}));
    expect_nothing_left();
}

TEST_F(Toldrin, UnsafeNamesAreNeverWrittenOutsideTheDestination) {
    Bytes data = text_bytes("payload!");
    const std::vector<std::string> stored = {
        "..\\..\\X EXE",                 // ..\..\X.EXE
        "../ESCAPETXT",                  // ../ESCAP.ETX
        "C:AUTO   BAT",                  // C:AUTO.BAT
        "A/B     TXT",                   // A/B.TXT
        ".          ",                   // ..
        "           ",                   // .
        std::string("\0NAME   TXT", 11), // empty
    };
    std::vector<Bytes> records;
    for (const std::string &s : stored) records.push_back(host::table_record(s, 0, 8));
    records.push_back(host::table_record("SAFE    TXT", 0, 8));
    const std::string path = archive("bind0", host::concat(records), &data);
    host::make_dir(dir / "out/deeper");
    const std::string out = dir / "out/deeper/";
    const std::vector<std::string> files = dir.contents();
    for (size_t i = 0; i < stored.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(get_file(path.c_str(), static_cast<spi_offset>(19 * i), const_cast<char *>(out.c_str()), 0, nullptr, 0), 8);
        EXPECT_EQ(dir.contents(), files) << "nothing is created anywhere";
        // Memory output is unaffected.
        const Extracted x = extract_to_memory(path, static_cast<spi_offset>(19 * i));
        EXPECT_EQ(x.code, 0);
        EXPECT_EQ(x.bytes, data);
    }
    EXPECT_FALSE(host::exists("X.EXE"));
    EXPECT_FALSE(host::exists(dir / "out/ESCAP.ETX"));
    EXPECT_EQ(get_file(path.c_str(), static_cast<spi_offset>(19 * stored.size()), const_cast<char *>(out.c_str()), 0,
                       nullptr, 0),
              0);
    EXPECT_EQ(host::read_file(dir / "out/deeper/SAFE.TXT"), data);
    expect_nothing_left();
}

TEST_F(Toldrin, PathsThatDoNotFitMaxPathAreRefused) {
    Bytes data = text_bytes("abc");
    const std::string path = archive("bind0", host::table_record("ABCDEFGHIJK", 0, 3), &data);
    // Output: destination and name together must leave room for the terminator.
    const std::string name = "ABCDEFGH.IJK"; // 12 characters
    const std::string base = dir / "";
    for (size_t total : {size_t(259), size_t(260), size_t(300)}) {
        SCOPED_TRACE(total);
        // A destination folder whose path with the name is `total` characters long.
        std::string dest = base + std::string(total - name.size() - base.size() - 1, 'd') + "/";
        const bool fits = total < 260;
        if (fits) host::make_dir(dest);
        const std::vector<std::string> files = dir.contents();
        const spi_result r = get_file(path.c_str(), 0, const_cast<char *>(dest.c_str()), 0, nullptr, 0);
        if (fits) {
            if (!host::exists(dest)) continue; // this system cannot make a folder that deep
            EXPECT_EQ(r, 0);
            EXPECT_EQ(host::read_file(dest + name), data);
        } else {
            EXPECT_EQ(r, 8);
            EXPECT_EQ(dir.contents(), files);
        }
    }
    // Data path: exactly as long as the table path, so a table path of 260 characters or
    // more has none.
    const std::string long_table = base + std::string(260 - base.size() - 4, 't') + ".tbl";
    const std::string long_data = long_table.substr(0, long_table.size() - 4) + ".dat";
    host::write_file(long_table, host::table_record("ABC     TXT", 0, 3));
    host::write_file(long_data, data);
    EXPECT_EQ(is_supported(long_table.c_str(), 0), 0);
    EXPECT_EQ(extract_to_memory(long_table, 0).code, 6);
    const std::string fitting_table = long_table.substr(1);  // 259 characters: just fits
    const std::string fitting_data = long_data.substr(1);
    host::write_file(fitting_table, host::table_record("ABC     TXT", 0, 3));
    host::write_file(fitting_data, data);
    if (host::exists(fitting_data)) {
        EXPECT_EQ(is_supported(fitting_table.c_str(), 0), 1);
        EXPECT_EQ(extract_to_memory(fitting_table, 0).bytes, data);
    }
    expect_nothing_left();
}

TEST_F(Toldrin, ExtractionRefusalsLeaveNothingBehind) {
    Bytes data = text_bytes("abc");
    const std::string path = archive("bind0", host::table_record("ABC     TXT", 0, 3), &data);
    const std::string no_data = archive("bind1", host::table_record("ABC     TXT", 0, 3), nullptr);
    const std::string missing = dir / "missing.tbl";
    const std::string out = dir / "out/";
    const std::string nowhere = dir / "no/such/folder/";
    const std::string no_ending = dir / "bind0.tb";
    host::write_file(no_ending, host::table_record("ABC     TXT", 0, 3));
    host::make_dir(out);
    struct Case {
        const char *what;
        const char *source;
        const char *destination;
        spi_flags flag;
        spi_result code;
    } cases[] = {
        {"input in memory", path.c_str(), out.c_str(), 0x1, -1},
        {"input in memory, output in memory", path.c_str(), out.c_str(), 0x101, -1},
        {"missing table", missing.c_str(), out.c_str(), 0, 6},
        {"missing data file", no_data.c_str(), out.c_str(), 0, 6},
        {"missing data file, output in memory", no_data.c_str(), out.c_str(), 0x100, 6},
        {"table path without .tbl", no_ending.c_str(), out.c_str(), 0, 6},
        {"null path", nullptr, out.c_str(), 0, 6},
        {"destination that cannot be created", path.c_str(), nowhere.c_str(), 0, 8},
        {"null destination", path.c_str(), nullptr, 0, -1},
        {"null destination, output in memory", path.c_str(), nullptr, 0x100, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> files = dir.contents();
        HLOCAL block = kUntouched;
        char *destination = (c.flag & 0x100) && c.destination ? reinterpret_cast<char *>(&block)
                                                              : const_cast<char *>(c.destination);
        EXPECT_EQ(get_file(c.source, 0, destination, c.flag, nullptr, 0), c.code);
        EXPECT_EQ(block, kUntouched);
        EXPECT_EQ(dir.contents(), files);
        expect_nothing_left();
    }
}

int32_t SPI_CALL count_progress(int32_t, int32_t, spi_user user_value) {
    ++*reinterpret_cast<int *>(user_value);
    return 1;
}

TEST_F(Toldrin, TheProgressCallbackIsAcceptedAndNeverCalled) {
    Bytes data = text_bytes("abc");
    const std::string path = archive("bind0", host::table_record("ABC     TXT", 0, 3), &data);
    host::make_dir(dir / "out");
    const std::string out = dir / "out/";
    int calls = 0;
    EXPECT_EQ(get_file(path.c_str(), 0, const_cast<char *>(out.c_str()), 0, count_progress,
                       reinterpret_cast<spi_user>(&calls)),
              0);
    HLOCAL block = nullptr;
    EXPECT_EQ(get_file(path.c_str(), 0, reinterpret_cast<char *>(&block), 0x100, count_progress,
                       reinterpret_cast<spi_user>(&calls)),
              0);
    host::take_block(block);
    EXPECT_EQ(calls, 0);
}

TEST_F(Toldrin, ExtractionAllocationAndLockFailures) {
    if (!host::can_inject_faults()) GTEST_SKIP() << "the system's LocalAlloc cannot be made to fail";
    Bytes data = text_bytes("abc");
    const std::string path = archive("bind0", host::table_record("ABC     TXT", 0, 3), &data);
    host::make_dir(dir / "out");
    const std::string out = dir / "out/";
    for (bool to_memory : {true, false}) {
        for (bool lock : {false, true}) {
            SCOPED_TRACE(std::string(to_memory ? "memory" : "file") + (lock ? ", lock" : ", allocation"));
            const std::vector<std::string> files = dir.contents();
            (lock ? host::fail_lock : host::fail_alloc)(1);
            HLOCAL block = kUntouched;
            char *destination = to_memory ? reinterpret_cast<char *>(&block) : const_cast<char *>(out.c_str());
            EXPECT_EQ(get_file(path.c_str(), 0, destination, to_memory ? 0x100 : 0, nullptr, 0), lock ? 5 : 4);
            host::fail_alloc(0);
            host::fail_lock(0);
            EXPECT_EQ(block, kUntouched);
            EXPECT_EQ(dir.contents(), files);
            expect_nothing_left();
        }
    }
}

TEST_F(Toldrin, AFailedWriteIsReportedNotPassedOffAsSuccess) {
#if defined(_WIN32)
    GTEST_SKIP() << "needs a device that refuses writes (/dev/full)";
#else
    // An entry named "full" extracted into /dev/ opens /dev/full, which takes no bytes.
    Bytes data(100, 1);
    const std::string path = archive("bind0", host::table_record(std::string("full\0\0\0\0BIN", 11), 0, 100), &data);
    char destination[] = "/dev/";
    EXPECT_EQ(get_file(path.c_str(), 0, destination, 0, nullptr, 0), 8);
    expect_nothing_left();
#endif
}

#if !defined(_WIN32)
size_t resident_bytes() {
    FILE *f = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%lu %lu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4096;
}
#endif

TEST_F(Toldrin, AnEntryLargerThanItsDataCostsNoMoreMemoryThanTheData) {
    // A 19-byte record may claim nearly 4 GiB. The block is allocated as asked, zero-filled
    // by the system, and only the bytes the data file holds are written into it.
    Bytes data = text_bytes("tiny");
    const std::string path = archive("bind0", host::table_record("HUGE    BIN", 0, 0xFFFFFFF0u), &data);
    HLOCAL block = kUntouched;
#if defined(_WIN32)
    // A 32-bit process cannot have such a block: the allocation fails.
    EXPECT_EQ(get_file(path.c_str(), 0, reinterpret_cast<char *>(&block), 0x100, nullptr, 0), 4);
    EXPECT_EQ(block, kUntouched);
#else
    const size_t before_call = resident_bytes();
    ASSERT_EQ(get_file(path.c_str(), 0, reinterpret_cast<char *>(&block), 0x100, nullptr, 0), 0);
    EXPECT_EQ(host::block_size(block), 0xFFFFFFF0u);
    const uint8_t *p = static_cast<const uint8_t *>(LocalLock(block));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p, p + 6), (Bytes{'t', 'i', 'n', 'y', 0, 0}));
    EXPECT_EQ(p[0xFFFFFFEFu], 0);
    // Under valgrind its own allocator fills the block, so only the contents can be checked.
    const char *preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "valgrind")) {
        EXPECT_LT(resident_bytes(), before_call + (256u << 20)) << "the block's pages past the data were touched";
    }
    LocalUnlock(block);
    LocalFree(block);
#endif
    expect_nothing_left();
}

TEST_F(Toldrin, DataBeyondTwoAndFourGiBIsReadWhereItsOffsetSays) {
    const std::string data_path = dir / "bind0.dat";
    if (!host::make_sparse_file(data_path, (uint64_t(1) << 32) + 4096)) GTEST_SKIP() << "no sparse files here";
    const Bytes low = text_bytes("below 2 GiB"), mid = text_bytes("at 2 GiB and more"), high = text_bytes("near 4 GiB");
    ASSERT_TRUE(host::write_at(data_path, 100, low));
    ASSERT_TRUE(host::write_at(data_path, 0x80000010u, mid));
    ASSERT_TRUE(host::write_at(data_path, 0xFFFFFFF0u, high));
    host::write_file(dir / "bind0.tbl",
                     host::concat({host::table_record("LOW     TXT", 100, static_cast<uint32_t>(low.size())),
                                   host::table_record("MID     TXT", 0x80000010u, static_cast<uint32_t>(mid.size())),
                                   host::table_record("HIGH    TXT", 0xFFFFFFF0u, static_cast<uint32_t>(high.size()))}));
    const std::string path = dir / "bind0.tbl";
    EXPECT_EQ(extract_to_memory(path, 0).bytes, low);
    EXPECT_EQ(extract_to_memory(path, 19).bytes, mid);
    EXPECT_EQ(extract_to_memory(path, 38).bytes, high);
    host::make_dir(dir / "out");
    const std::string out = dir / "out/";
    EXPECT_EQ(get_file(path.c_str(), 19, const_cast<char *>(out.c_str()), 0, nullptr, 0), 0);
    EXPECT_EQ(host::read_file(dir / "out/MID.TXT"), mid);
    expect_nothing_left();
}

} // namespace
