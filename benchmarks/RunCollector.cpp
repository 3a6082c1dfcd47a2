#include "RunCollector.h"

#include <algorithm>
#include <iostream>

RunCollector::RunCollector() : benchmark::ConsoleReporter(OO_Tabular)
{
    // stdout carries only the figures.
    SetOutputStream(&std::cerr);
    SetErrorStream(&std::cerr);
}

void RunCollector::ReportRuns(std::vector<Run> const& reports)
{
    benchmark::ConsoleReporter::ReportRuns(reports);
    for (Run const& run : reports) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0)
            continue;
        // The family name without the repetition and argument suffixes.
        double const iterations = static_cast<double>(run.iterations);
        m_seconds[run.run_name.function_name].push_back(run.real_accumulated_time / iterations);
        m_cpuSeconds[run.run_name.function_name].push_back(run.cpu_accumulated_time / iterations);
    }
}

double RunCollector::median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t const middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double RunCollector::medianSeconds(std::string const& name) const
{
    auto const found = m_seconds.find(name);
    return found == m_seconds.end() ? -1 : median(found->second);
}

double RunCollector::medianCpuSeconds(std::string const& name) const
{
    auto const found = m_cpuSeconds.find(name);
    return found == m_cpuSeconds.end() ? -1 : median(found->second);
}

int RunCollector::repetitions(std::string const& name) const
{
    auto const found = m_seconds.find(name);
    return found == m_seconds.end() ? 0 : static_cast<int>(found->second.size());
}
