#include "Samples.h"

#include <algorithm>
#include <cstdio>

double Samples::median() const {
    if (m_values.empty())
        return 0;
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double Samples::min() const {
    return m_values.empty() ? 0 : *std::min_element(m_values.begin(), m_values.end());
}

double Samples::max() const {
    return m_values.empty() ? 0 : *std::max_element(m_values.begin(), m_values.end());
}

QString Samples::text(int decimals) const {
    return QStringLiteral("%1 (%2-%3)")
        .arg(median(), 0, 'f', decimals)
        .arg(min(), 0, 'f', decimals)
        .arg(max(), 0, 'f', decimals);
}

void printFigure(const char* name, const char* unit, const Samples& measured,
                 const Samples& reference, double goal, bool higherIsBetter) {
    if (measured.empty() || reference.empty() || reference.median() <= 0) {
        std::printf("%-24s not measured\n", name);
        return;
    }
    const double ratio = measured.median() / reference.median();
    if (goal <= 0) {
        std::printf("%-24s %-24s ref %-24s %-4s ratio %5.2f  (no goal)\n", name,
                    qPrintable(measured.text(1)), qPrintable(reference.text(1)), unit, ratio);
        std::fflush(stdout);
        return;
    }
    const bool met = higherIsBetter ? ratio >= goal : ratio <= goal;
    std::printf("%-24s %-24s ref %-24s %-4s ratio %5.2f  goal %s %.2f: %s\n", name,
                qPrintable(measured.text(1)), qPrintable(reference.text(1)), unit, ratio,
                higherIsBetter ? ">=" : "<=", goal, met ? "met" : "NOT met");
    std::fflush(stdout);
}
