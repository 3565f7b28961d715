// One key press from the window layer's report to the program's reads: the press and release go
// through key intake (translation, held keys, both queues), and the program takes the keystroke
// with read_key and the two hit codes with read_key_hit, as timed command entry and the
// press-any-key wait do.
//
// read_key sleeps a tenth of a millisecond on every call, so its benchmarks count their
// iterations by wall time (a run by processor time would take minutes); both times are reported.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/allocation_count.h"
#include "bench/bench_runtime.h"
#include "runtime/core/rt_string.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"

namespace {

void key_press_to_read_key_and_read_key_hit(benchmark::State& state) {
    fresh_bench_runtime();
    const AllocationWatch watch;
    for (auto _ : state) {
        const uint32_t mark = temp_mark();
        on_character_key('a', true);
        on_character_key('a', false);
        benchmark::DoNotOptimize(read_key_hit());
        benchmark::DoNotOptimize(read_key_hit());
        benchmark::DoNotOptimize(read_key()->length);
        release_temporaries(mark);
    }
    watch.report(state);
}
BENCHMARK(key_press_to_read_key_and_read_key_hit)->UseRealTime();

// The same without read_key, whose short sleep is a system call of its own.
void key_press_to_read_key_hit(benchmark::State& state) {
    fresh_bench_runtime();
    const AllocationWatch watch;
    for (auto _ : state) {
        on_character_key('a', true);
        on_character_key('a', false);
        benchmark::DoNotOptimize(read_key_hit());
        benchmark::DoNotOptimize(read_key_hit());
        // The keystroke ring holds fifteen; drop the keystroke without reading it through
        // read_key so the ring never fills.
        empty_key_queues();
    }
    watch.report(state);
}
BENCHMARK(key_press_to_read_key_hit);

// One look of a polling loop when nothing was typed (the press-any-key wait).
void read_key_nothing_typed(benchmark::State& state) {
    fresh_bench_runtime();
    const AllocationWatch watch;
    for (auto _ : state) {
        const uint32_t mark = temp_mark();
        benchmark::DoNotOptimize(read_key()->length);
        release_temporaries(mark);
    }
    watch.report(state);
}
BENCHMARK(read_key_nothing_typed)->UseRealTime();

}  // namespace
