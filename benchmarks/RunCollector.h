#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Shows the runs on stderr like the console reporter and keeps the time of
// every repetition, so a program can put figures together after the run.
class RunCollector : public benchmark::ConsoleReporter
{
public:
    RunCollector();

    void ReportRuns(std::vector<Run> const& reports) override;

    // Median over the repetitions of the real time of one iteration, in seconds;
    // negative when the benchmark did not run.
    double medianSeconds(std::string const& name) const;
    // The same for the CPU time (of the whole process where the benchmark
    // measures process CPU time).
    double medianCpuSeconds(std::string const& name) const;
    int repetitions(std::string const& name) const;

private:
    static double median(std::vector<double> values);

    std::map<std::string, std::vector<double>> m_seconds;
    std::map<std::string, std::vector<double>> m_cpuSeconds;
};
