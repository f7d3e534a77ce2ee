#include "bench/ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <set>

namespace bench {

namespace {

// The console report as usual, keeping each benchmark's real time per iteration: the
// median of its repetitions when it was repeated, else its one run.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    Times times;

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.iterations == 0) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            std::string name = run.run_name.str();
            const std::string suffix = "/real_time";
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                name.erase(name.size() - suffix.size());
            const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            if (median || !medians_.count(name)) times[name] = seconds;
            if (median) medians_.insert(name);
        }
    }

private:
    std::set<std::string> medians_;
};

} // namespace

Times run(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    if (!benchmark::ReportUnrecognizedArguments(argc, argv)) benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.times;
}

double ratio(const Times &times, const std::string &measured, const std::string &floor) {
    const auto m = times.find(measured);
    const auto f = times.find(floor);
    if (m == times.end() || f == times.end() || f->second <= 0) return 0;
    return m->second / f->second;
}

int report(const Times &times, const std::vector<Ratio> &ratios) {
    int status = 0;
    std::printf("\n%-40s %12s %12s %8s %8s\n", "measured / floor", "time (us)", "floor (us)", "ratio", "target");
    for (const Ratio &r : ratios) {
        const double x = ratio(times, r.measured, r.floor);
        if (x == 0) continue;
        const bool met = r.target <= 0 || x <= r.target;
        if (!met) status = 1;
        char target[32] = "-";
        if (r.target > 0) std::snprintf(target, sizeof target, "<= %.1f", r.target);
        std::printf("%-40s %12.1f %12.1f %8.2f %8s %s\n", r.measured.c_str(), times.at(r.measured) * 1e6,
                    times.at(r.floor) * 1e6, x, target, r.target > 0 ? (met ? "met" : "MISSED") : "");
    }
    return status;
}

} // namespace bench
