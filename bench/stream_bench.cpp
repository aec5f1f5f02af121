// Reading 64 MiB of 32-bit integers: through a file source and a memory
// source, against the plain C way (fread of the whole file into one buffer,
// then a loop over it).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/FileDataSource.h"
#include "base/MemoryDataSource.h"

namespace {

constexpr unsigned words = 16u << 20;
constexpr unsigned bytes = words * 4;

// The test file, written once and removed when the program ends.
struct WordFile {
    std::string name;
    std::vector<int> data;

    WordFile() : data(words) {
        name = (std::filesystem::temp_directory_path() / ("kalvora-bench-" + std::to_string(getpid()))).string();
        for (unsigned i = 0; i < words; ++i)
            data[i] = int(i * 2654435761u);
        FILE* f = std::fopen(name.c_str(), "wb");
        std::fwrite(data.data(), 4, words, f);
        std::fclose(f);
    }
    ~WordFile() { std::remove(name.c_str()); }
};

const WordFile& wordFile() {
    static WordFile file;
    return file;
}

void freadLoop(benchmark::State& state) {
    const WordFile& file = wordFile();
    std::vector<int> buffer(words);
    for (auto _ : state) {
        FILE* f = std::fopen(file.name.c_str(), "rb");
        size_t got = std::fread(buffer.data(), 4, words, f);
        std::fclose(f);
        unsigned sum = 0;
        for (size_t i = 0; i < got; ++i)
            sum += unsigned(buffer[i]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void fileSource(benchmark::State& state) {
    const WordFile& file = wordFile();
    for (auto _ : state) {
        orvel::FileDataSource src(file.name.c_str());
        unsigned sum = 0;
        for (unsigned i = 0; i < words; ++i)
            sum += unsigned(src.readInt32());
        benchmark::DoNotOptimize(sum);
        if (!src.good())
            state.SkipWithError("file source failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void memorySource(benchmark::State& state) {
    const WordFile& file = wordFile();
    for (auto _ : state) {
        orvel::MemoryDataSource src(file.data.data(), bytes, false);
        unsigned sum = 0;
        for (unsigned i = 0; i < words; ++i) {
            int v = 0;
            src >> v;
            sum += unsigned(v);
        }
        benchmark::DoNotOptimize(sum);
        if (!src.good())
            state.SkipWithError("memory source failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

}  // namespace

BENCHMARK(freadLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(fileSource)->Unit(benchmark::kMillisecond);
BENCHMARK(memorySource)->Unit(benchmark::kMillisecond);
