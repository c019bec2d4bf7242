#pragma once

#include <QString>

#include <vector>

// The values of several runs of one measurement, with their median and spread.
class Samples {
public:
    void add(double value) { m_values.push_back(value); }
    bool empty() const { return m_values.empty(); }
    double median() const;
    double min() const;
    double max() const;
    // "median (min-max)" with the given number of decimals.
    QString text(int decimals) const;

private:
    std::vector<double> m_values;
};

// One line of the report: the figure against its reference, their ratio, and
// whether the ratio meets its goal (ratio <= goal, or >= goal when higher is better; a goal
// of 0 is none).
void printFigure(const char* name, const char* unit, const Samples& measured,
                 const Samples& reference, double goal, bool higherIsBetter = false);
