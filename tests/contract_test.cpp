// Both plug-ins load by file and answer for their information strings as a host reads
// them.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/host/plugin_host.h"

namespace {

struct LibraryExports {
    const char *library;
    std::vector<const char *> present;
    std::vector<const char *> absent;
};

const LibraryExports kExports[] = {
    {"toldrin", {"GetPluginInfo", "IsSupported", "GetArchiveInfo", "GetFileInfo", "GetFile"},
     {"GetPictureInfo", "GetPicture", "GetPreview", "DllMain"}},
    {"marusk", {"GetPluginInfo", "IsSupported", "GetPictureInfo", "GetPicture", "GetPreview"},
     {"GetArchiveInfo", "GetFileInfo", "GetFile", "DllMain"}},
};

TEST(PluginLoading, EachLibraryLoadsByFileAndExportsItsFunctionsByName) {
    for (const LibraryExports &e : kExports) {
        SCOPED_TRACE(e.library);
        host::Plugin plugin(host::plugin_file(e.library));
        ASSERT_TRUE(plugin.loaded());
        for (const char *name : e.present) EXPECT_NE(plugin.symbol(name), nullptr) << name;
        for (const char *name : e.absent) EXPECT_EQ(plugin.symbol(name), nullptr) << name;
    }
}

std::string info_string(const char *library, int32_t index, int32_t *returned) {
    host::Plugin plugin(host::plugin_file(library));
    auto get_info = plugin.get<spi_GetPluginInfo>("GetPluginInfo");
    if (!get_info) return "<no export>";
    char buffer[260];
    std::memset(buffer, 0x55, sizeof buffer);
    *returned = get_info(index, buffer, sizeof buffer);
    return std::string(buffer);
}

struct InfoCase {
    const char *library;
    int32_t index;
    const char *text; // exact text, or the start of it for the version line
    bool exact;
};

const InfoCase kInfo[] = {
    {"toldrin", 0, "00AM", true},
    {"toldrin", 1, "toldrin - ver.0.03 ", false},
    {"toldrin", 2, "bind*.tbl", true},
    {"toldrin", 3, "[SS]Kaltrev Bind Archive  (bind*.tbl+dat)", true},
    {"marusk", 0, "00IN", true},
    {"marusk", 1, "felvane - ver.0.04 ", false},
    {"marusk", 2, "*.b16", true},
    {"marusk", 3, "[SS]Kaltrev 16bit(640x224)  (*.B16)", true},
};

TEST(GetPluginInfo, HandsOutEachStringWithItsLengthPlusOne) {
    for (const InfoCase &c : kInfo) {
        SCOPED_TRACE(std::string(c.library) + " #" + std::to_string(c.index));
        int32_t returned = 0;
        const std::string text = info_string(c.library, c.index, &returned);
        if (c.exact) {
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
            EXPECT_NE(text.find("2026"), std::string::npos) << "the version line names a year: " << text;
        }
        EXPECT_EQ(returned, static_cast<int32_t>(text.size() + 1));
    }
}

TEST(GetPluginInfo, IndexesOutsideTheTableGiveZeroAndLeaveTheBufferAlone) {
    for (const char *library : {"toldrin", "marusk"}) {
        host::Plugin plugin(host::plugin_file(library));
        auto get_info = plugin.get<spi_GetPluginInfo>("GetPluginInfo");
        ASSERT_NE(get_info, nullptr);
        for (int32_t index : {4, 5, 255, -1, -4, INT32_MIN, INT32_MAX}) {
            SCOPED_TRACE(std::string(library) + " #" + std::to_string(index));
            char buffer[16];
            std::memset(buffer, 0x55, sizeof buffer);
            EXPECT_EQ(get_info(index, buffer, sizeof buffer), 0);
            for (char c : buffer) EXPECT_EQ(c, 0x55);
        }
    }
}

TEST(GetPluginInfo, NeverWritesPastTheBufferSize) {
    host::Plugin plugin(host::plugin_file("marusk"));
    auto get_info = plugin.get<spi_GetPluginInfo>("GetPluginInfo");
    ASSERT_NE(get_info, nullptr);
    // "*.b16" needs 6 bytes. A smaller buffer gets as much as fits, terminated; the
    // answer counts the bytes written.
    struct Case {
        int32_t size;
        const char *written;
        int32_t returned;
    } cases[] = {{7, "*.b16", 6}, {6, "*.b16", 6}, {5, "*.b1", 5}, {2, "*", 2}, {1, "", 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        char buffer[16];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(get_info(2, buffer, c.size), c.returned);
        EXPECT_STREQ(buffer, c.written);
        for (int32_t i = c.size; i < 16; ++i) EXPECT_EQ(buffer[i], 0x55) << "byte " << i;
    }
    for (int32_t size : {0, -1, INT32_MIN}) {
        char buffer[4] = {0x55, 0x55, 0x55, 0x55};
        EXPECT_EQ(get_info(2, buffer, size), 0);
        for (char c : buffer) EXPECT_EQ(c, 0x55);
    }
    EXPECT_EQ(get_info(2, nullptr, 260), 0);
}

} // namespace
