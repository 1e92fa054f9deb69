// The figures every timing benchmark prints: mean, median, 95th percentile and extremes of
// a series of milliseconds.
#pragma once

#include <algorithm>
#include <numeric>
#include <vector>

struct Timings {
    double mean = 0;
    double median = 0;
    double p95 = 0;
    double min = 0;
    double max = 0;
};

inline Timings Summarise(std::vector<double> ms) {
    Timings t;
    if (ms.empty())
        return t;
    std::sort(ms.begin(), ms.end());
    t.mean = std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size());
    t.median = ms[ms.size() / 2];
    t.p95 = ms[ms.size() * 95 / 100];
    t.min = ms.front();
    t.max = ms.back();
    return t;
}
