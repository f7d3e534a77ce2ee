// The archive plug-in on tables, data files, names, positions, flags and destinations
// made from the input: each export must answer with one of its codes, hand out only the
// blocks it reports, and write nothing outside the sandbox's work folder.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "frame/spi_abi.h"
#include "fuzz/fuzz_support.h"

namespace {

bool one_of(spi_result r, std::initializer_list<spi_result> codes) {
    return std::find(codes.begin(), codes.end(), r) != codes.end();
}

spi_flags pick_flags(FuzzedDataProvider &in) {
    static const spi_flags common[] = {0, 0x1, 0x80, 0x100, 0x180, 0x101};
    return in.ConsumeBool() ? common[in.ConsumeIntegralInRange<size_t>(0, 5)] : in.ConsumeIntegral<spi_flags>();
}

spi_offset pick_offset(FuzzedDataProvider &in) {
    return in.ConsumeBool() ? 19 * in.ConsumeIntegralInRange<spi_offset>(-2, 40) + in.ConsumeIntegralInRange<spi_offset>(0, 1)
                            : static_cast<spi_offset>(in.ConsumeIntegral<int32_t>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const fuzz::Sandbox &box = fuzz::sandbox();
    FuzzedDataProvider in(data, size);
    const spi_flags flags = pick_flags(in);
    const spi_offset offset = pick_offset(in);
    spi_offset position = pick_offset(in);
    const std::string name = in.ConsumeRandomLengthString(16);
    const int destination = in.ConsumeIntegralInRange<int>(0, 2); // "out/", "out", memory
    const bool with_data = in.ConsumeBool();
    const std::string table_name = in.ConsumeBool() ? "bind0.tbl" : "BIND0.TBL";
    std::vector<uint8_t> table = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 19 * 64));
    // Entries of up to 1 MiB: a record may ask for 4 GiB, which is extracted as asked
    // (zeros past the data file's end), but at a pace that would stall the search.
    // A record cut short by the table's end reads its missing bytes as zero, so its size
    // bytes are capped too.
    for (size_t r = 0; r + 15 < table.size(); r += 19) {
        table[r + 15] = 0;
        if (r + 16 < table.size()) table[r + 16] = 0;
    }
    const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();

    // File output reads records at their starts only, where the sizes are capped above; a
    // position inside a record may read any four bytes as the size, which memory output
    // takes in its stride (the block is zero-filled and never touched past the data).
    if (destination != 2 && position >= 0 && position < static_cast<spi_offset>(table.size()))
        position -= position % 19;

    fuzz::remove_tree_below(box.work);
    fuzz::write_file(table_name, table.data(), table.size());
    if (with_data) fuzz::write_file(table_name.substr(0, table_name.size() - 4) + ".dat", bytes.data(), bytes.size());
    std::filesystem::create_directory("out");
    const std::vector<std::string> before = fuzz::tree(box.root);

    const int32_t supported = IsSupported(table_name.c_str(), 0);
    if (supported != 0 && supported != 1) fuzz::fail("IsSupported answered " + std::to_string(supported));
    fuzz::expect_holdings(0, "IsSupported");

    HLOCAL list = nullptr;
    const spi_result listed = GetArchiveInfo(table_name.c_str(), offset, flags, &list);
    if (!one_of(listed, {0, -1, 4, 5, 6})) fuzz::fail("GetArchiveInfo answered " + std::to_string(listed));
    if (listed == 0) {
        fuzz::expect_holdings(1, "GetArchiveInfo");
        const size_t records = table.size() / 19;
        if (LocalSize(list) != (records + 1) * sizeof(spi_entry_info)) fuzz::fail("list of the wrong size");
        const uint8_t *p = static_cast<const uint8_t *>(LocalLock(list));
        for (size_t i = 0; i < sizeof(spi_entry_info); ++i)
            if (p[records * sizeof(spi_entry_info) + i] != 0) fuzz::fail("end mark not zero");
        for (size_t r = 0; r < records; ++r) {
            spi_entry_info e;
            std::memcpy(&e, p + r * sizeof e, sizeof e);
            if (e.method[0] != 0x2D || std::memchr(e.file_name, 0, 13) == nullptr) fuzz::fail("entry malformed");
        }
        LocalUnlock(list);
        LocalFree(list);
    } else if (list) {
        fuzz::fail("GetArchiveInfo failed and handed out a block");
    }
    fuzz::expect_holdings(0, "GetArchiveInfo");

    spi_entry_info entry;
    std::memset(&entry, 0x55, sizeof entry);
    const spi_result found = GetFileInfo(table_name.c_str(), offset, name.c_str(), flags, &entry);
    if (!one_of(found, {0, -1, 2, 6})) fuzz::fail("GetFileInfo answered " + std::to_string(found));
    if (found != 0) {
        for (size_t i = 0; i < sizeof entry; ++i)
            if (reinterpret_cast<uint8_t *>(&entry)[i] != 0x55) fuzz::fail("GetFileInfo failed and wrote the record");
    }
    fuzz::expect_holdings(0, "GetFileInfo");

    HLOCAL block = nullptr;
    char folder[8];
    std::strcpy(folder, destination == 0 ? "out/" : "out");
    const spi_flags file_flags = destination == 2 ? (flags | 0x100) : (flags & ~spi_flags(0x100));
    char *dest = destination == 2 ? reinterpret_cast<char *>(&block) : folder;
    const spi_result got = GetFile(table_name.c_str(), position, dest, file_flags, nullptr, 0);
    if (!one_of(got, {0, -1, 4, 5, 6, 8})) fuzz::fail("GetFile answered " + std::to_string(got));
    if (destination == 2 && got == 0) {
        fuzz::expect_holdings(1, "GetFile to memory");
        if (!LocalLock(block)) fuzz::fail("extracted block cannot be locked");
        LocalUnlock(block);
        LocalFree(block);
    } else if (block) {
        fuzz::fail("GetFile handed out a block it did not report");
    }
    fuzz::expect_holdings(0, "GetFile");

    // Anything new lies in the work folder: directly in out/, or beside it as "out" + name.
    for (const std::string &path : fuzz::tree(box.root)) {
        if (std::find(before.begin(), before.end(), path) != before.end()) continue;
        const std::string prefix = "l1/l2/l3/work/out";
        if (path.compare(0, prefix.size(), prefix) != 0) fuzz::fail("a file appeared outside the destination: " + path);
        const std::string rest = path.substr(prefix.size());
        if (rest.find('/', 1) != std::string::npos || (destination == 0 && rest[0] != '/'))
            fuzz::fail("a file appeared outside the destination: " + path);
        if (got != 0) fuzz::fail("GetFile failed and created " + path);
    }
    return 0;
}
