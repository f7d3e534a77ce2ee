#include "bench/ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace bench {

namespace {

// The console report as usual, keeping each benchmark's real time per iteration.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            // "BM_Name/real_time" and "BM_Name/arg/..." are kept under their full name and,
            // for the plain benchmarks, under "BM_Name" as well.
            const std::string name = run.benchmark_name();
            const double per_iteration = run.real_accumulated_time / static_cast<double>(run.iterations);
            seconds[name] = per_iteration;
            const std::string suffix = "/real_time";
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                seconds[name.substr(0, name.size() - suffix.size())] = per_iteration;
        }
    }
};

} // namespace

int run_and_report(int argc, char **argv, const std::vector<Ratio> &ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    int status = 0;
    std::printf("\n%-44s %12s %12s %8s %8s\n", "measured / floor", "time (us)", "floor (us)", "ratio", "target");
    for (const Ratio &r : ratios) {
        const auto m = reporter.seconds.find(r.measured);
        const auto f = reporter.seconds.find(r.floor);
        if (m == reporter.seconds.end() || f == reporter.seconds.end()) continue; // filtered out
        const double ratio = m->second / f->second;
        const bool met = r.target <= 0 || ratio <= r.target;
        if (!met) status = 1;
        char target[32] = "-";
        if (r.target > 0) std::snprintf(target, sizeof target, "<= %.1f", r.target);
        std::printf("%-44s %12.1f %12.1f %8.2f %8s %s\n", r.measured.c_str(), m->second * 1e6, f->second * 1e6, ratio,
                    target, r.target > 0 ? (met ? "met" : "MISSED") : "");
    }
    return status;
}

} // namespace bench
