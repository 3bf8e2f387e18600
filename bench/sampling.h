// Timing with the performance counter: batches of calls, repeated rounds, median and quartiles.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

// Seconds on the performance counter.
inline double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

// Seconds per call: the median of the rounds and the quartiles around it.
struct Spread {
    double median = 0;
    double lower = 0;  // first quartile
    double upper = 0;  // third quartile
};

inline Spread Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        const double position = q * (samples.size() - 1);
        const std::size_t below = static_cast<std::size_t>(position);
        const std::size_t above = std::min(below + 1, samples.size() - 1);
        return samples[below] + (samples[above] - samples[below]) * (position - below);
    };
    return {at(0.5), at(0.25), at(0.75)};
}

struct Settings {
    int rounds = 15;             // samples per figure
    double batchSeconds = 0.02;  // each sample times a batch of calls at least this long
};

// Seconds per call over one batch of `calls` calls.
template <typename Operation>
double TimeBatch(const Operation& operation, int calls) {
    const double start = Now();
    for (int i = 0; i < calls; ++i) {
        operation();
    }
    return (Now() - start) / calls;
}

// Calls per batch so that a batch lasts about `seconds`, judged from a few calls.
template <typename Operation>
int BatchSize(const Operation& operation, double seconds) {
    const double once = TimeBatch(operation, 3);
    const double calls = once > 0 ? seconds / once : 1e6;
    return static_cast<int>(std::clamp(calls, 1.0, 1e6));
}

// Samples of several operations timed in alternating rounds: per operation, seconds per call in
// each round, in round order.
using RoundSamples = std::vector<std::vector<double>>;

// Times several operations in alternating rounds, so that drift in the machine's speed touches
// them all alike.
inline RoundSamples TimeAlternating(const std::vector<std::function<void()>>& operations,
                                    const Settings& settings) {
    std::vector<int> calls;
    for (const auto& operation : operations) {
        calls.push_back(BatchSize(operation, settings.batchSeconds));
    }
    RoundSamples samples(operations.size());
    for (int round = 0; round < settings.rounds; ++round) {
        for (std::size_t i = 0; i < operations.size(); ++i) {
            samples[i].push_back(TimeBatch(operations[i], calls[i]));
        }
    }
    return samples;
}

// The ratio of two operations round by round, summarised: batches timed next to each other share
// the machine's load of the moment, which a ratio of the two medians would not cancel on a
// machine shared with other work.
inline Spread RatioByRound(const std::vector<double>& numerator,
                           const std::vector<double>& denominator) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < numerator.size() && i < denominator.size(); ++i) {
        if (denominator[i] > 0) {
            ratios.push_back(numerator[i] / denominator[i]);
        }
    }
    return ratios.empty() ? Spread{} : Summarise(ratios);
}

}  // namespace bench
