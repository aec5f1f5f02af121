// orvel_string against std::string: short texts, growth a character at a time, and block appends.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

#include "base/orvel_string.h"

namespace {

// glibc moves its mmap threshold as large blocks are freed, so whichever
// benchmark runs first pays the page faults. A fixed threshold compares the
// strings rather than the order they ran in.
[[maybe_unused]] const bool fixedAllocator = mallopt(M_MMAP_THRESHOLD, 64 << 20) && mallopt(M_TRIM_THRESHOLD, 128 << 20);

const char* const names[] = {"zanthorium::kessa::GroupBranch", "tree_trunk_04", "Zone", "textures\\sky\\cloud.gif",
                             "a name that is somewhat longer than the small-string buffers of most libraries"};

template <class S>
void constructAppendCompare(benchmark::State& state) {
    for (auto _ : state) {
        for (const char* n : names) {
            S s(n);
            s += "_suffix";
            S t(n);
            benchmark::DoNotOptimize(s.compare(t));
            benchmark::DoNotOptimize(s.find_first_of('_'));
        }
    }
    state.SetItemsProcessed(state.iterations() * 5);
}

template <class S>
void growByCharacter(benchmark::State& state) {
    for (auto _ : state) {
        S s;
        for (int i = 0; i < (1 << 20); ++i)
            s.push_back(char('a' + (i & 15)));
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}

// Appending blocks reserves exactly what is needed, so every append of a
// growing text moves it: this shows what that costs against std::string.
template <class S>
void appendBlocks(benchmark::State& state) {
    const char block[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    for (auto _ : state) {
        S s;
        for (int i = 0; i < 1024; ++i)
            s.append(block, 64);
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetBytesProcessed(state.iterations() * 1024 * 64);
}

void orvelShort(benchmark::State& s) { constructAppendCompare<orvel_string>(s); }
void stdShort(benchmark::State& s) { constructAppendCompare<std::string>(s); }
void orvelGrow(benchmark::State& s) { growByCharacter<orvel_string>(s); }
void stdGrow(benchmark::State& s) { growByCharacter<std::string>(s); }
void orvelBlocks(benchmark::State& s) { appendBlocks<orvel_string>(s); }
void stdBlocks(benchmark::State& s) { appendBlocks<std::string>(s); }

}  // namespace

BENCHMARK(orvelShort);
BENCHMARK(stdShort);
BENCHMARK(orvelGrow);
BENCHMARK(stdGrow);
BENCHMARK(orvelBlocks);
BENCHMARK(stdBlocks);
