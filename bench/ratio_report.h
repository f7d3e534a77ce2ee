// Runs the registered benchmarks and then reports each measured benchmark as a ratio of
// the floor measured beside it in the same run, against its target.
#ifndef BENCH_RATIO_REPORT_H
#define BENCH_RATIO_REPORT_H

#include <string>
#include <vector>

namespace bench {

struct Ratio {
    std::string measured; // benchmark name
    std::string floor;    // benchmark name of its floor
    double target;        // the most the ratio may be; 0 for no target
};

// Runs the benchmarks (command-line flags as Google Benchmark takes them) and prints the
// ratio table. Answers 0 when every ratio with a target meets it, 1 otherwise.
int run_and_report(int argc, char **argv, const std::vector<Ratio> &ratios);

} // namespace bench

#endif
