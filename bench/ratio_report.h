// Runs the registered benchmarks and then reports each measured benchmark as a ratio of
// the floor measured beside it in the same run, against its target.
#ifndef BENCH_RATIO_REPORT_H
#define BENCH_RATIO_REPORT_H

#include <map>
#include <string>
#include <vector>

namespace bench {

// Real time per iteration, in seconds, by benchmark name (without "/real_time").
using Times = std::map<std::string, double>;

// Runs the benchmarks, with the command-line flags Google Benchmark takes.
Times run(int argc, char **argv);

struct Ratio {
    std::string measured; // benchmark name
    std::string floor;    // benchmark name of its floor
    double target;        // the most the ratio may be; 0 for none
};

// The ratio of two measured times, or 0 when either was not run (filtered out).
double ratio(const Times &times, const std::string &measured, const std::string &floor);

// Prints the ratio table. Answers 0 when every ratio with a target meets it, 1 otherwise.
int report(const Times &times, const std::vector<Ratio> &ratios);

} // namespace bench

#endif
