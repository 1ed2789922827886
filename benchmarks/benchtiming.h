#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <time.h>
#include <vector>

// The timing the micro-benchmarks share: medians of wall-clock and thread CPU time.
struct Timing
{
    double wall;
    double cpu;
};

inline double threadCpuMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// Medians of wall-clock and thread CPU time; on a shared machine the CPU time is the steadier.
inline Timing median(int warmup, int runs, const std::function<void()> &work)
{
    for (int i = 0; i < warmup; ++i)
        work();
    std::vector<double> wall;
    std::vector<double> cpu;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = threadCpuMicroseconds();
        timer.start();
        work();
        wall.push_back(double(timer.nsecsElapsed()) / 1000.0);
        cpu.push_back(threadCpuMicroseconds() - cpuStart);
    }
    std::nth_element(wall.begin(), wall.begin() + runs / 2, wall.end());
    std::nth_element(cpu.begin(), cpu.begin() + runs / 2, cpu.end());
    return { wall[size_t(runs / 2)], cpu[size_t(runs / 2)] };
}
