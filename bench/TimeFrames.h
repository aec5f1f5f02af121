// The frame loop of the drawing benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include "AllocationCount.h"

// Draws a first frame, times frame() in the benchmark's loop as frames per
// second, then counts what ten more frames allocate (apart from the timed
// loop, which allocates for its own bookkeeping).
template <class Frame>
void timeFrames(benchmark::State& state, Frame frame) {
    frame();
    for (auto _ : state)
        frame();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    const unsigned long before = allocationCount();
    for (int i = 0; i < 10; ++i)
        frame();
    state.counters["new_per_frame"] = double(allocationCount() - before) / 10;
}
