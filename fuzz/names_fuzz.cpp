// Name conversion, the lookup's comparison and the data-path rule on their own, each held
// to its rule written out step by step.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "archive/bind_table.h"
#include "fuzz/fuzz_support.h"

namespace {

// Base, dot, extension, zero; then every space deleted where it stands, the rest moving
// left, up to the first zero.
std::string converted_step_by_step(const uint8_t *stored) {
    char text[13];
    std::memcpy(text, stored, 11);
    text[11] = '\0';
    std::memmove(text + 9, text + 8, 4);
    text[8] = '.';
    for (size_t i = 0; text[i] != '\0';) {
        if (text[i] == ' ') {
            std::memmove(text + i, text + i + 1, std::strlen(text + i));
        } else {
            ++i;
        }
    }
    return text;
}

// Walks back from the terminator comparing the rest with ".tbl"; the first byte is never
// compared. Empty when there is no data path.
std::string data_path_step_by_step(const std::string &table) {
    for (size_t p = table.size(); p > 0; --p)
        if (lstrcmpiA(table.c_str() + p, ".tbl") == 0) return table.substr(0, p) + ".dat";
    return "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    uint8_t stored[19] = {};
    const std::vector<uint8_t> name_bytes = in.ConsumeBytes<uint8_t>(11);
    std::copy(name_bytes.begin(), name_bytes.end(), stored);
    const bool ignore_case = in.ConsumeBool();
    const std::string wanted = in.ConsumeRandomLengthString(16);
    const std::string table_path = in.ConsumeRemainingBytesAsString();

    // Conversion.
    char out[kNameTextSize + 8];
    std::memset(out, 0x7E, sizeof out);
    const size_t length = convert_name(stored, out);
    const std::string want = converted_step_by_step(stored);
    if (std::string(out) != want || length != want.size()) fuzz::fail("convert_name gave '" + std::string(out) + "', want '" + want + "'");
    for (size_t i = length + 1; i < sizeof out; ++i)
        if (out[i] != 0x7E) fuzz::fail("convert_name wrote past the terminator");
    if (is_safe_file_name(out) && (want.empty() || want == "." || want == ".." || want.find_first_of("\\/:") != std::string::npos))
        fuzz::fail("an unsafe name passed: " + want);

    // The lookup's comparison against converting and comparing.
    const bool equal = (ignore_case ? lstrcmpiA(want.c_str(), wanted.c_str()) : lstrcmpA(want.c_str(), wanted.c_str())) == 0;
    if ((last_matching_record(stored, 1, wanted.c_str(), ignore_case) == 0) != equal) fuzz::fail("the lookup's comparison disagrees");

    // The data path: as the walk says, and only when it fits in MAX_PATH.
    char path[MAX_PATH + 8];
    std::memset(path, 0x7E, sizeof path);
    const std::string expected = data_path_step_by_step(table_path.c_str()); // up to a zero byte, as a C string
    const int found = data_path_for(table_path.c_str(), path);
    if (expected.empty() || expected.size() + 1 > MAX_PATH) {
        if (found) fuzz::fail("a data path where there should be none");
        for (size_t i = 0; i < sizeof path; ++i)
            if (path[i] != 0x7E) fuzz::fail("data_path_for wrote without a data path");
    } else {
        if (!found || std::string(path) != expected) fuzz::fail("data path differs: " + expected);
        for (size_t i = expected.size() + 1; i < sizeof path; ++i)
            if (path[i] != 0x7E) fuzz::fail("data_path_for wrote past the path");
    }
    return 0;
}
