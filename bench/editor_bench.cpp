// The editor's address column on a 1000-line source: a first full computation, and the
// recomputation after one keystroke (one changed line), which is what typing costs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "assembler/address_column.h"

namespace {

using mira::assembler::AddressColumn;
using mira::assembler::Dialect;

std::vector<std::string> source(int lines) {
    std::vector<std::string> src;
    src.reserve(static_cast<size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        switch (i % 8) {
            case 0: src.push_back("L" + std::to_string(i) + ",\tMOVLW #D" + std::to_string(i % 200) + "\t/ load"); break;
            case 1: src.push_back(""); break;
            case 2: src.push_back("\t_STRING \"line " + std::to_string(i) + "\""); break;
            case 3: src.push_back("/ a comment line that says what follows"); break;
            default: src.push_back("\tMOVWF R" + std::to_string(i % 10) + " T"); break;
        }
    }
    return src;
}

void BM_AddressColumnFirst(benchmark::State& state) {
    const auto src = source(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        AddressColumn c;
        c.update(src, Dialect::Wif);
        benchmark::DoNotOptimize(c.rows().data());
    }
}
BENCHMARK(BM_AddressColumnFirst)->Arg(1000);

void BM_AddressColumnKeystroke(benchmark::State& state) {
    auto src = source(static_cast<int>(state.range(0)));
    AddressColumn c;
    c.update(src, Dialect::Wif);
    const std::string base = src[500];
    int n = 0;
    for (auto _ : state) {
        // A character typed into a line in the middle of the text.
        src[500] = base + static_cast<char>('a' + (n++ % 26));
        c.update(src, Dialect::Wif);
        benchmark::DoNotOptimize(c.rows().data());
    }
}
BENCHMARK(BM_AddressColumnKeystroke)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
