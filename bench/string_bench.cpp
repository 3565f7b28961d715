// The string work of one typed key in timed command entry, and the sweep of a statement's
// temporaries, each beside the same work done with std::string.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string>

#include "bench/allocation_count.h"
#include "bench/bench_runtime.h"
#include "runtime/core/rt_string.h"

namespace {

// A command is typed a key at a time; after this many keys the text starts again from empty,
// so the measured key is that of a command of ordinary length.
constexpr int32_t keys_per_command = 24;
constexpr std::string_view typed_keys = "present evidence talk to ";

int32_t key_at(int32_t n) { return static_cast<unsigned char>(typed_keys[n % typed_keys.size()]); }

// t = string_upper(string_concat(t, string_from_code(k))), then the statement's sweep.
void typed_key_runtime_string(benchmark::State& state) {
    fresh_bench_runtime();
    RtString* typed = string_new(0, false);
    int32_t n = 0;
    const AllocationWatch watch;
    for (auto _ : state) {
        const uint32_t mark = temp_mark();
        if (n == keys_per_command) {
            string_assign(typed, string_new(0, true));
            n = 0;
        }
        string_assign(typed, string_upper(string_concat(typed, string_from_code(key_at(n)))));
        release_temporaries(mark);
        benchmark::DoNotOptimize(typed->data);
        ++n;
    }
    watch.report(state);
}
BENCHMARK(typed_key_runtime_string);

void typed_key_std_string(benchmark::State& state) {
    std::string typed;
    int32_t n = 0;
    const AllocationWatch watch;
    for (auto _ : state) {
        if (n == keys_per_command) {
            typed = std::string();
            n = 0;
        }
        std::string appended = typed + static_cast<char>(key_at(n));
        std::transform(appended.begin(), appended.end(), appended.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
        typed = std::move(appended);
        benchmark::DoNotOptimize(typed.data());
        ++n;
    }
    watch.report(state);
}
BENCHMARK(typed_key_std_string);

// A statement that leaves sixteen 40-byte temporaries behind, and their release.
constexpr int32_t sweep_temporaries = 16;
constexpr int32_t sweep_length = 40;

void temporaries_sweep_runtime_string(benchmark::State& state) {
    fresh_bench_runtime();
    const AllocationWatch watch;
    for (auto _ : state) {
        const uint32_t mark = temp_mark();
        for (int32_t k = 0; k < sweep_temporaries; ++k) {
            benchmark::DoNotOptimize(string_spaces(sweep_length));
        }
        release_temporaries(mark);
    }
    watch.report(state);
}
BENCHMARK(temporaries_sweep_runtime_string);

void temporaries_sweep_std_string(benchmark::State& state) {
    const AllocationWatch watch;
    for (auto _ : state) {
        std::array<std::string, sweep_temporaries> temporaries;
        for (std::string& temporary : temporaries) {
            temporary.assign(sweep_length, ' ');
            benchmark::DoNotOptimize(temporary.data());
        }
    }
    watch.report(state);
}
BENCHMARK(temporaries_sweep_std_string);

}  // namespace
