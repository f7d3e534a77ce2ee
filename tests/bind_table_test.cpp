// The lookup's comparison, made while names are converted, agrees with converting each
// name and comparing it with the platform's lstrcmpA / lstrcmpiA, on names made of the
// bytes that matter: spaces, zeros, dots, letters of both cases, bytes above 0x7F.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/bind_table.h"

namespace {

TEST(NameComparison, AgreesWithConvertingAndComparing) {
    const uint8_t alphabet[] = {' ', ' ', ' ', '\0', '.', 'a', 'A', 'b', 'B', 'z', 'Z', '@', '[', '`', '{',
                                '1', '\t', 0xE4, 0xC4, 0xB2};
    uint32_t s = 12345;
    auto next = [&s] {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    };
    // Thirteen records a round: a group of eight and five more, as the scan takes them.
    const size_t kRecords = 13;
    for (int round = 0; round < 40000; ++round) {
        uint8_t records[kRecords * 19] = {};
        char converted[kRecords][kNameTextSize];
        for (size_t r = 0; r < kRecords; ++r) {
            for (int i = 0; i < 11; ++i) records[r * 19 + i] = alphabet[next() % sizeof alphabet];
            convert_name(records + r * 19, converted[r]);
        }
        // The wanted name: often one record's own converted name, altered a little.
        std::string wanted = converted[next() % kRecords];
        switch (next() % 6) {
        case 0: break;
        case 1:
            if (!wanted.empty()) wanted[next() % wanted.size()] ^= 0x20;
            break;
        case 2: wanted += static_cast<char>(alphabet[next() % sizeof alphabet] | 1); break;
        case 3:
            if (!wanted.empty()) wanted.pop_back();
            break;
        case 4:
            wanted.clear();
            for (unsigned k = next() % 13; k > 0; --k) wanted += static_cast<char>(alphabet[next() % sizeof alphabet] | 1);
            break;
        case 5: wanted.insert(wanted.begin() + static_cast<std::ptrdiff_t>(next() % (wanted.size() + 1)), ' '); break;
        }
        for (bool ignore_case : {false, true}) {
            size_t want = kRecords;
            for (size_t r = 0; r < kRecords; ++r)
                if ((ignore_case ? lstrcmpiA(converted[r], wanted.c_str()) : lstrcmpA(converted[r], wanted.c_str())) == 0)
                    want = r;
            ASSERT_EQ(last_matching_record(records, kRecords, wanted.c_str(), ignore_case), want)
                << "wanted '" << wanted << "'" << (ignore_case ? " ignoring case" : "") << " in round " << round;
        }
    }
}

} // namespace
