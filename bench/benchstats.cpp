#include "bench/benchstats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zuno::bench {

Summary summarize(std::vector<double> samples)
{
    Summary s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    s.count = n;
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(n);
    s.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * double(n)));
    s.p99 = samples[std::max<std::size_t>(rank, 1) - 1];
    s.max = samples.back();
    return s;
}

namespace {
QString figure(double value)
{
    // Three significant digits at least, without drowning small figures in zeros.
    if (value >= 100)
        return QString::number(value, 'f', 1);
    if (value >= 1)
        return QString::number(value, 'f', 2);
    return QString::number(value, 'f', 3);
}
} // namespace

QString tableHeader()
{
    return QStringLiteral("%1 %2 %3 %4 %5  %6  %7")
        .arg(QStringLiteral("measurement"), -34)
        .arg(QStringLiteral("median"), 9)
        .arg(QStringLiteral("p99"), 9)
        .arg(QStringLiteral("max"), 9)
        .arg(QStringLiteral("n"), 6)
        .arg(QStringLiteral("target"), -28)
        .arg(QStringLiteral("result"));
}

QString tableRow(const QString& what, const Summary& s, const QString& unit, const QString& target,
                 const QString& result)
{
    return QStringLiteral("%1 %2 %3 %4 %5  %6  %7")
        .arg(what + QStringLiteral(" (") + unit + u')', -34)
        .arg(figure(s.median), 9)
        .arg(figure(s.p99), 9)
        .arg(figure(s.max), 9)
        .arg(s.count, 6)
        .arg(target, -28)
        .arg(result);
}

} // namespace zuno::bench
