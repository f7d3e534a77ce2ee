// toldrin against the least any archive plug-in must do, measured in the same run:
//   listing     read the table once and zero-fill the list
//   lookup      read the table once
//   extraction  copy the entry's bytes with one read (and, to a file, one write)
// on tables of 10,000 and 1,000,000 records and an entry of 256 MiB.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_report.h"
#include "tools/host/plugin_library.h"

namespace {

constexpr uint32_t kBigEntry = 256u << 20;
const char kBigTable[] = "bench_big.tbl";
const char kBigData[] = "bench_big.dat";
const char kOutFolder[] = "bench_out/";
const char kOutFile[] = "bench_out/BIG.BIN";

std::string table_name(int64_t records) {
    return "bench_" + std::to_string(records) + ".tbl";
}

void put_be32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A table of names like real ones: eight-character bases padded with spaces, three-letter
// extensions, offsets and sizes growing through the data file.
bool make_table(int64_t records) {
    std::vector<uint8_t> table(static_cast<size_t>(records) * 19);
    for (int64_t i = 0; i < records; ++i) {
        uint8_t *r = table.data() + i * 19;
        char name[16];
        std::snprintf(name, sizeof name, "F%05d  %s", static_cast<int>(i % 100000), i % 2 ? "B16" : "TXT");
        std::memcpy(r, name, 11);
        put_be32(r + 11, static_cast<uint32_t>(i * 2048));
        put_be32(r + 15, 1000 + static_cast<uint32_t>(i % 5000));
    }
    return write_file(table_name(records), table) && write_file(table_name(records).substr(0, table_name(records).size() - 4) + ".dat", {0});
}

bool make_big_archive() {
    std::vector<uint8_t> record(19, ' ');
    std::memcpy(record.data(), "BIG     BIN", 11);
    put_be32(record.data() + 11, 4096);
    put_be32(record.data() + 15, kBigEntry);
    if (!write_file(kBigTable, record)) return false;
    FILE *f = std::fopen(kBigData, "wb");
    if (!f) return false;
    std::vector<uint8_t> chunk(1 << 20);
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(i * 131);
    bool ok = std::fwrite(chunk.data(), 1, 4096, f) == 4096;
    for (uint32_t done = 0; ok && done < kBigEntry; done += static_cast<uint32_t>(chunk.size()))
        ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    return std::fclose(f) == 0 && ok;
}

const host::Plugin &toldrin() {
    static const host::Plugin plugin("./toldrin.spi");
    return plugin;
}

// ---------------------------------------------------------------------------------------
// Listing

void BM_ListingFloor(benchmark::State &state) {
    const std::string path = table_name(state.range(0));
    const size_t table = static_cast<size_t>(state.range(0)) * 19;
    const size_t list = (static_cast<size_t>(state.range(0)) + 1) * 428;
    for (auto _ : state) {
        HLOCAL block = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, list);
        uint8_t *p = static_cast<uint8_t *>(LocalLock(block));
        FILE *f = std::fopen(path.c_str(), "rb");
        if (std::fread(p, 1, table, f) != table) state.SkipWithError("short read");
        std::fclose(f);
        std::memset(p, 0, list);
        benchmark::ClobberMemory();
        LocalFree(block);
    }
}

void BM_GetArchiveInfo(benchmark::State &state) {
    auto list = toldrin().get<spi_GetArchiveInfo>("GetArchiveInfo");
    const std::string path = table_name(state.range(0));
    for (auto _ : state) {
        HLOCAL block = nullptr;
        if (list(path.c_str(), 0, 0, &block) != 0) {
            state.SkipWithError("GetArchiveInfo failed");
            break;
        }
        LocalFree(block);
    }
}

// ---------------------------------------------------------------------------------------
// Lookup: a name that no record carries, so every record is visited.

void BM_LookupFloor(benchmark::State &state) {
    const std::string path = table_name(state.range(0));
    std::vector<uint8_t> buffer(static_cast<size_t>(state.range(0)) * 19);
    for (auto _ : state) {
        FILE *f = std::fopen(path.c_str(), "rb");
        if (std::fread(buffer.data(), 1, buffer.size(), f) != buffer.size()) state.SkipWithError("short read");
        std::fclose(f);
        benchmark::ClobberMemory();
    }
}

void BM_GetFileInfoMiss(benchmark::State &state) {
    auto lookup = toldrin().get<spi_GetFileInfo>("GetFileInfo");
    const std::string path = table_name(state.range(0));
    for (auto _ : state) {
        spi_entry_info e;
        if (lookup(path.c_str(), 0, "NOTHERE.TXT", 0, &e) != 2) {
            state.SkipWithError("GetFileInfo did not miss");
            break;
        }
    }
}

void BM_GetFileInfoMissIgnoringCase(benchmark::State &state) {
    auto lookup = toldrin().get<spi_GetFileInfo>("GetFileInfo");
    const std::string path = table_name(state.range(0));
    for (auto _ : state) {
        spi_entry_info e;
        if (lookup(path.c_str(), 0, "nothere.txt", 0x80, &e) != 2) {
            state.SkipWithError("GetFileInfo did not miss");
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Extraction of a 256 MiB entry.

// Reads the entry with one read into a block of its size, and writes it with one write
// when it goes to a file.
void extraction_floor(benchmark::State &state, bool to_file) {
    for (auto _ : state) {
        HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, kBigEntry);
        void *p = LocalLock(block);
        FILE *f = std::fopen(kBigData, "rb");
        std::fseek(f, 4096, SEEK_SET);
        if (std::fread(p, 1, kBigEntry, f) != kBigEntry) state.SkipWithError("short read");
        std::fclose(f);
        if (to_file) {
            FILE *out = std::fopen(kOutFile, "wb");
            if (std::fwrite(p, 1, kBigEntry, out) != kBigEntry) state.SkipWithError("short write");
            std::fclose(out);
        }
        LocalUnlock(block);
        LocalFree(block);
    }
}

void BM_ExtractToMemoryFloor(benchmark::State &state) { extraction_floor(state, false); }
void BM_ExtractToFileFloor(benchmark::State &state) { extraction_floor(state, true); }

void BM_GetFileToMemory(benchmark::State &state) {
    auto get_file = toldrin().get<spi_GetFile>("GetFile");
    for (auto _ : state) {
        HLOCAL block = nullptr;
        if (get_file(kBigTable, 0, reinterpret_cast<char *>(&block), 0x100, nullptr, 0) != 0) {
            state.SkipWithError("GetFile failed");
            break;
        }
        LocalFree(block);
    }
}

void BM_GetFileToFile(benchmark::State &state) {
    auto get_file = toldrin().get<spi_GetFile>("GetFile");
    char destination[] = "bench_out/";
    for (auto _ : state) {
        if (get_file(kBigTable, 0, destination, 0, nullptr, 0) != 0) {
            state.SkipWithError("GetFile failed");
            break;
        }
    }
}

BENCHMARK(BM_ListingFloor)->Arg(10000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetArchiveInfo)->Arg(10000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupFloor)->Arg(10000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetFileInfoMiss)->Arg(10000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetFileInfoMissIgnoringCase)->Arg(10000)->Arg(1000000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractToMemoryFloor)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetFileToMemory)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractToFileFloor)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetFileToFile)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (!toldrin().loaded()) {
        std::fprintf(stderr, "cannot load ./toldrin.spi\n");
        return 2;
    }
    std::fprintf(stderr, "writing the benchmark archives...\n");
    if (!make_table(10000) || !make_table(1000000) || !make_big_archive() ||
        (std::remove(kOutFolder), !write_file("bench_out.keep", {}))) {
        std::fprintf(stderr, "cannot write the benchmark archives\n");
        return 2;
    }
    std::string mkdir = std::string("mkdir -p ") + kOutFolder;
    if (std::system(mkdir.c_str()) != 0) return 2;

    const bench::Times times = bench::run(argc, argv);
    int status = bench::report(times, {
                                          {"BM_GetArchiveInfo/10000", "BM_ListingFloor/10000", 2.0},
                                          {"BM_GetArchiveInfo/1000000", "BM_ListingFloor/1000000", 2.0},
                                          {"BM_GetFileInfoMiss/10000", "BM_LookupFloor/10000", 2.0},
                                          {"BM_GetFileInfoMiss/1000000", "BM_LookupFloor/1000000", 2.0},
                                          {"BM_GetFileInfoMissIgnoringCase/10000", "BM_LookupFloor/10000", 2.0},
                                          {"BM_GetFileInfoMissIgnoringCase/1000000", "BM_LookupFloor/1000000", 2.0},
                                          {"BM_GetFileToMemory", "BM_ExtractToMemoryFloor", 1.3},
                                          {"BM_GetFileToFile", "BM_ExtractToFileFloor", 1.3},
                                      });

    // Linear growth: the ratio at 1,000,000 records no worse than at 10,000 (within the
    // run-to-run noise of a few per cent).
    std::printf("\n%-40s %10s %10s\n", "growth (ratio at 10,000 -> 1,000,000)", "10,000", "1,000,000");
    const char *pairs[][2] = {{"BM_GetArchiveInfo", "BM_ListingFloor"},
                              {"BM_GetFileInfoMiss", "BM_LookupFloor"},
                              {"BM_GetFileInfoMissIgnoringCase", "BM_LookupFloor"}};
    for (const auto &p : pairs) {
        const double small = bench::ratio(times, std::string(p[0]) + "/10000", std::string(p[1]) + "/10000");
        const double large = bench::ratio(times, std::string(p[0]) + "/1000000", std::string(p[1]) + "/1000000");
        if (small == 0 || large == 0) continue;
        const bool linear = large <= small * 1.05;
        if (!linear) status = 1;
        std::printf("%-40s %10.2f %10.2f %s\n", p[0], small, large, linear ? "linear" : "GROWS FASTER");
    }
    std::remove(kOutFile);
    std::remove("bench_out.keep");
    std::remove(kBigData);
    return status;
}
