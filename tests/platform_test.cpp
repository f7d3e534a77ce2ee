// The win32compat layer behaves as the plug-ins and hosts rely on (native builds only).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "frame/platform.h"
#include "tests/host/fixtures.h"

namespace {

TEST(LocalMemory, FixedBlocksAreTheirOwnAddressAndZeroFilled) {
    const size_t before = win32compat_live_blocks();
    HLOCAL h = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(win32compat_live_blocks(), before + 1);
    void *p = LocalLock(h);
    EXPECT_EQ(p, h);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(static_cast<uint8_t *>(p)[i], 0);
    EXPECT_EQ(LocalSize(h), 100u);
    EXPECT_FALSE(LocalUnlock(h)); // fixed blocks are never counted as locked
    EXPECT_EQ(LocalFree(h), nullptr);
    EXPECT_EQ(win32compat_live_blocks(), before);
}

TEST(LocalMemory, MovableBlocksCountTheirLocks) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 10);
    ASSERT_NE(h, nullptr);
    void *p = LocalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, h);
    EXPECT_EQ(LocalLock(h), p);
    EXPECT_TRUE(LocalUnlock(h));  // still locked once
    EXPECT_FALSE(LocalUnlock(h)); // now unlocked
    EXPECT_FALSE(LocalUnlock(h)); // was not locked
    EXPECT_EQ(LocalFree(h), nullptr);
}

TEST(LocalMemory, ZeroByteBlocks) {
    HLOCAL movable = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 0);
    ASSERT_NE(movable, nullptr);
    EXPECT_EQ(LocalLock(movable), nullptr) << "a zero-byte movable block cannot be locked";
    EXPECT_EQ(LocalSize(movable), 0u);
    EXPECT_EQ(LocalFree(movable), nullptr);

    HLOCAL fixed = LocalAlloc(LMEM_FIXED, 0);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(LocalLock(fixed), fixed);
    EXPECT_EQ(LocalFree(fixed), nullptr);
}

TEST(LocalMemory, FreeingSomethingThatIsNotABlockFails) {
    int not_a_block = 0;
    EXPECT_EQ(LocalFree(&not_a_block), &not_a_block);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    EXPECT_EQ(LocalLock(&not_a_block), nullptr);
}

TEST(LocalMemory, InjectedFailuresHitTheNthCallOnly) {
    win32compat_fail_alloc(2);
    HLOCAL first = LocalAlloc(LPTR, 8);
    HLOCAL second = LocalAlloc(LPTR, 8);
    HLOCAL third = LocalAlloc(LPTR, 8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);

    win32compat_fail_lock(1);
    EXPECT_EQ(LocalLock(first), nullptr);
    EXPECT_EQ(LocalLock(first), first);
    LocalFree(first);
    LocalFree(third);
}

class FindFirstFile : public ::testing::Test {
protected:
    host::ScratchDir dir;
    WIN32_FIND_DATAA data;

    bool find(const std::string &pattern) {
        std::memset(&data, 0x55, sizeof data);
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return false;
        EXPECT_EQ(win32compat_open_searches(), 1u);
        EXPECT_TRUE(FindClose(h));
        EXPECT_EQ(win32compat_open_searches(), 0u);
        return true;
    }
};

TEST_F(FindFirstFile, FilesAndDirectories) {
    host::write_file(dir / "bind0.tbl", std::string(57, 'x'));
    host::make_dir(dir / "sub.dat");

    ASSERT_TRUE(find(dir / "bind0.tbl"));
    EXPECT_STREQ(data.cFileName, "bind0.tbl");
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.nFileSizeLow, 57u);
    EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    ASSERT_TRUE(find(dir / "sub.dat"));
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.nFileSizeLow, 0u);

    EXPECT_FALSE(find(dir / "missing.tbl"));
    EXPECT_FALSE(find(dir / "sub.dat/"));
    EXPECT_FALSE(find(""));
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
}

TEST_F(FindFirstFile, WildcardsMatchWithoutRegardToCaseAndTheFirstNameAnswers) {
    host::write_file(dir / "bindB.tbl", std::string(2, 'x'));
    host::write_file(dir / "BINDA.TBL", std::string(1, 'x'));
    host::write_file(dir / "other.txt", std::string(3, 'x'));

    ASSERT_TRUE(find(dir / "bind*.tbl"));
    EXPECT_STREQ(data.cFileName, "BINDA.TBL");
    EXPECT_EQ(data.nFileSizeLow, 1u);
    ASSERT_TRUE(find(dir / "bind?.tbl"));
    EXPECT_STREQ(data.cFileName, "BINDA.TBL");
    ASSERT_TRUE(find(dir / "*.txt"));
    EXPECT_STREQ(data.cFileName, "other.txt");
    EXPECT_FALSE(find(dir / "bind??.tbl"));
}

TEST_F(FindFirstFile, SizesOfFourGiBAndMoreComeInTwoHalves) {
    const uint64_t size = (uint64_t(1) << 32) + 38;
    if (!host::make_sparse_file(dir / "huge.tbl", size)) GTEST_SKIP() << "no sparse files here";
    ASSERT_TRUE(find(dir / "huge.tbl"));
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, 38u);
}

TEST(ReadFileOnADescriptor, ReadsWhatThereIsAndFailsOnBadHandles) {
    host::ScratchDir dir;
    host::write_file(dir / "five", std::string("12345"));
    const int fd = open((dir / "five").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[8] = {};
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)), buffer, 8, &got, nullptr));
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(buffer, 5), "12345");
    EXPECT_TRUE(ReadFile(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)), buffer, 8, &got, nullptr));
    EXPECT_EQ(got, 0u) << "at the end of the file";
    close(fd);

    EXPECT_FALSE(ReadFile(nullptr, buffer, 8, &got, nullptr));
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buffer, 8, &got, nullptr));
    EXPECT_FALSE(ReadFile(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)), buffer, 8, &got, nullptr))
        << "a closed descriptor";
}

TEST(AnsiStrings, CopyConcatenateAndCompare) {
    EXPECT_EQ(lstrlenA("abc"), 3);
    EXPECT_EQ(lstrlenA(nullptr), 0);

    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    lstrcpynA(buffer, "abcdef", 4);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'x');
    lstrcpyA(buffer, "ab");
    lstrcatA(buffer, "cd");
    EXPECT_STREQ(buffer, "abcd");

    EXPECT_EQ(lstrcmpA("README.TXT", "README.TXT"), 0);
    EXPECT_NE(lstrcmpA("README.TXT", "readme.txt"), 0);
    EXPECT_EQ(lstrcmpiA("README.TXT", "readme.txt"), 0);
    EXPECT_LT(lstrcmpA("a", "b"), 0);
    EXPECT_GT(lstrcmpiA("B", "a"), 0);
    // Only ASCII letters fold: a-umlaut and A-umlaut in an 8-bit code page stay apart.
    EXPECT_NE(lstrcmpiA("\xC4", "\xE4"), 0);
    EXPECT_NE(lstrcmpiA("README", "README."), 0);
}

} // namespace
