#include "bench/allocation_count.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

// The C library's own entry points, which the replacements below forward to.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

// THREADING: incremented by every thread that allocates; read by the benchmark thread. Only the
// count matters, so relaxed order is enough.
std::atomic<uint64_t> allocations{0};

void count_one() { allocations.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

extern "C" {

void* malloc(size_t size) noexcept {
    count_one();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    count_one();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept {
    count_one();
    return __libc_realloc(block, size);
}

void free(void* block) noexcept { __libc_free(block); }

void* memalign(size_t alignment, size_t size) noexcept {
    count_one();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    count_one();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
    count_one();
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *result = block;
    return 0;
}

}  // extern "C"

uint64_t allocation_count() { return allocations.load(std::memory_order_relaxed); }

void AllocationWatch::report(benchmark::State& state) const {
    const auto made = static_cast<double>(allocation_count() - start);
    state.counters["allocs_per_iter"] = benchmark::Counter(made, benchmark::Counter::kAvgIterations);
}
