// What the tests need besides loading plug-ins (tools/host): where the plug-ins under test
// are, and whether a call left anything behind. The same code serves the native tree and
// the Windows tree.
#ifndef TESTS_HOST_PLUGIN_HOST_H
#define TESTS_HOST_PLUGIN_HOST_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/spi_abi.h"
#include "tools/host/plugin_library.h"

namespace host {

// The path under which a plug-in of the tree under test is loaded ("toldrin", "marusk").
std::string plugin_file(const std::string &name);

// Size of a block as the platform reports it.
size_t block_size(HLOCAL block);

// What the process holds that a plug-in call could leave behind: live memory blocks,
// open find handles and open file descriptors. Counted where the platform can count
// them (natively); on Windows every count reads 0.
struct Holdings {
    size_t blocks = 0;
    size_t searches = 0;
    size_t files = 0;
    bool operator==(const Holdings &o) const {
        return blocks == o.blocks && searches == o.searches && files == o.files;
    }
};
Holdings holdings();
bool can_count_holdings();
std::string describe(const Holdings &h);

// LocalAlloc calls made so far and the bytes they asked for (natively only).
struct Allocations {
    size_t count = 0;
    uint64_t bytes = 0;
};
Allocations allocations();

// Makes the n-th LocalAlloc / LocalLock from now fail (natively only); 0 disarms.
bool can_inject_faults();
void fail_alloc(unsigned nth);
void fail_lock(unsigned nth);

// A test that checks, when asked, that everything the plug-ins hold is as it was when
// the test started.
class LeakCheckedTest : public ::testing::Test {
protected:
    Holdings before;
    void SetUp() override { before = holdings(); }
    void expect_nothing_left() {
        const Holdings now = holdings();
        EXPECT_EQ(now, before) << "before: " << describe(before) << "; after: " << describe(now);
    }
};

} // namespace host

#endif
