#pragma once

#include <QString>

#include <cstddef>
#include <vector>

namespace zuno::bench {

// The figures a benchmark row reports for one set of samples.
struct Summary
{
    std::size_t count = 0;
    double mean = 0;
    double median = 0;
    double p99 = 0; // nearest rank: the smallest sample at or above 99 % of all samples
    double max = 0;
};

// Summarises the samples (in any unit); an empty set gives all zeros.
Summary summarize(std::vector<double> samples);

// One row of the printed table: what was measured, its figures, the target beside them and
// whether it was met.
QString tableRow(const QString& what, const Summary& s, const QString& unit, const QString& target,
                 const QString& result);

// The table's header line, matching tableRow's columns.
QString tableHeader();

} // namespace zuno::bench
