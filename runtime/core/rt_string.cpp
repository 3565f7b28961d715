// The string heap: descriptors from a pool, bytes bump-allocated in one growable block.
//
// string_list holds every live heap string in the order its bytes were placed, so the heap can be
// compacted by one walk over it. Each new string gets 32 spare bytes behind it so that an
// assignment can often grow it in place. Temporaries are also listed in temp_list, from which
// release_temporaries sweeps whatever a statement left behind.
#include "runtime/core/rt_string.h"

#include <cassert>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/platform/platform.h"

namespace {

constexpr uint64_t initial_heap_size = 1'048'576;
constexpr uint32_t initial_list_capacity = 65'536;
constexpr uint32_t descriptors_per_block = 65'536;
constexpr int64_t spare_bytes = 32;  // growth room behind each new string

// Critical error numbers of the string stores.
constexpr int32_t error_free_descriptors_full = 508;
constexpr int32_t error_string_list_full = 510;
constexpr int32_t error_temp_list_full = 511;
constexpr int32_t error_string_heap_full = 512;

struct StringState {
    char* heap = nullptr;
    uint64_t heap_size = 0;
    uint64_t heap_used = 0;

    RtString** string_list = nullptr;  // nullptr = an empty slot
    uint32_t string_list_count = 0;
    uint32_t string_list_capacity = 0;

    RtString** temp_list = nullptr;  // slot 0 is never used
    uint32_t temp_count = 1;
    uint32_t temp_capacity = 0;

    std::vector<RtString*> descriptor_blocks;  // kept for the life of the state
    uint32_t block_used = descriptors_per_block;
    RtString** free_descriptors = nullptr;
    uint32_t free_count = 0;
    uint32_t free_capacity = 0;
    uint64_t descriptors_made = 0;

    RtString* shared_empty = nullptr;
    RtString* shared_space = nullptr;
};

StringState& state() {
    static StringState the_state;
    return the_state;
}

// Growth failures end the process; the exit seam never comes back here.
[[noreturn]] void fail_critically(int32_t code) {
    raise_error(code);
    platform::exit_process(1);
}

template <typename T>
T* grow_array(T* array, uint32_t new_capacity, int32_t failure_code) {
    void* grown = std::realloc(array, sizeof(T) * new_capacity);
    if (grown == nullptr) fail_critically(failure_code);
    return static_cast<T*>(grown);
}

bool is_plain_heap_temporary(const RtString* s) {
    return s->is_temporary && !s->is_fixed && !s->is_readonly && !s->in_low_memory;
}

bool is_heap_string(const RtString* s) { return !s->is_fixed && !s->is_readonly && !s->in_low_memory; }

char* end_of(const RtString* s) { return s->data + s->length; }

uint64_t offset_in_heap(const char* p) { return static_cast<uint64_t>(p - state().heap); }

// Descriptor pool.

void add_descriptor_block() {
    StringState& st = state();
    // A descriptor block that cannot be had is as fatal as the stack that recycles them.
    void* block = std::calloc(descriptors_per_block, sizeof(RtString));
    if (block == nullptr) fail_critically(error_free_descriptors_full);
    st.descriptor_blocks.push_back(static_cast<RtString*>(block));
    st.block_used = 0;
}

RtString* take_descriptor() {
    StringState& st = state();
    if (st.free_count > 0) {
        RtString* s = st.free_descriptors[--st.free_count];
        *s = RtString{};
        return s;
    }
    if (st.block_used == descriptors_per_block) add_descriptor_block();
    ++st.descriptors_made;
    RtString* s = st.descriptor_blocks.back() + st.block_used++;
    *s = RtString{};
    return s;
}

void give_back_descriptor(RtString* s) {
    StringState& st = state();
    if (st.free_count == st.free_capacity) {
        st.free_descriptors = grow_array(st.free_descriptors, st.free_capacity * 2,
                                         error_free_descriptors_full);
        st.free_capacity *= 2;
    }
    st.free_descriptors[st.free_count++] = s;
}

// The heap.

// The old block is gone, so its addresses are only numbers now: each string keeps its offset.
void move_live_strings(uintptr_t old_base, char* new_base) {
    StringState& st = state();
    for (uint32_t i = 0; i < st.string_list_count; ++i) {
        if (RtString* s = st.string_list[i]) {
            s->data = new_base + (reinterpret_cast<uintptr_t>(s->data) - old_base);
        }
    }
}

void compact_heap() {
    StringState& st = state();
    char* destination = st.heap;
    for (uint32_t i = 0; i < st.string_list_count; ++i) {
        RtString* s = st.string_list[i];
        if (s == nullptr) continue;
        // Small gaps are left alone: moving a string costs more than the few bytes it frees.
        if (s->data - destination > spare_bytes) {
            std::memmove(destination, s->data, static_cast<size_t>(s->length));
            s->data = destination;
        }
        destination = end_of(s);
    }
    st.heap_used = offset_in_heap(destination);
}

void make_room(uint64_t request) {
    StringState& st = state();
    compact_heap();
    if (request + 2 * st.heap_used + spare_bytes < st.heap_size) return;
    const uint64_t new_size = request + 2 * st.heap_size;
    const uintptr_t old_base = reinterpret_cast<uintptr_t>(st.heap);
    char* new_heap = static_cast<char*>(std::realloc(st.heap, new_size));
    if (new_heap == nullptr) fail_critically(error_string_heap_full);
    st.heap = new_heap;
    st.heap_size = new_size;
    move_live_strings(old_base, new_heap);
}

void lower_heap_used_to_last_string() {
    StringState& st = state();
    while (st.string_list_count > 0 && st.string_list[st.string_list_count - 1] == nullptr) {
        --st.string_list_count;
    }
    if (st.string_list_count == 0) {
        st.heap_used = 0;
        return;
    }
    const uint64_t end = offset_in_heap(end_of(st.string_list[st.string_list_count - 1]));
    st.heap_used = end + spare_bytes < st.heap_size ? end + spare_bytes : st.heap_size;
}

// The allocation and temp lists.

void append_to_string_list(RtString* s) {
    StringState& st = state();
    if (st.string_list_count >= st.string_list_capacity) {
        uint32_t kept = 0;
        for (uint32_t i = 0; i < st.string_list_count; ++i) {
            if (RtString* live = st.string_list[i]) {
                live->list_index = kept;
                st.string_list[kept++] = live;
            }
        }
        st.string_list_count = kept;
        if (kept >= st.string_list_capacity / 2) {
            st.string_list = grow_array(st.string_list, st.string_list_capacity * 2,
                                        error_string_list_full);
            st.string_list_capacity *= 2;
        }
    }
    s->list_index = st.string_list_count;
    st.string_list[st.string_list_count++] = s;
}

void append_to_temp_list(RtString* s) {
    StringState& st = state();
    if (st.temp_count >= st.temp_capacity) {
        st.temp_list = grow_array(st.temp_list, st.temp_capacity * 2, error_temp_list_full);
        st.temp_capacity *= 2;
    }
    s->temp_list_index = st.temp_count;
    s->is_temporary = 1;
    st.temp_list[st.temp_count++] = s;
}

// The source's bytes are found only after the new string exists: making room for it may compact
// or move the heap, and with it the source.
RtString* new_temporary_copy(const RtString* source, int32_t offset, int32_t length) {
    RtString* r = string_new(length, true);
    if (length > 0) std::memcpy(r->data, source->data + offset, static_cast<size_t>(length));
    return r;
}

void free_if_temporary(RtString* s) {
    if (s->is_temporary) string_free(s);
}

RtString* make_shared_constant(const char* bytes, int32_t length) {
    RtString* s = take_descriptor();
    s->data = const_cast<char*>(bytes);
    s->length = length;
    s->is_readonly = 1;
    return s;
}

void release_state_memory() {
    StringState& st = state();
    std::free(st.heap);
    std::free(st.string_list);
    std::free(st.temp_list);
    std::free(st.free_descriptors);
    for (RtString* block : st.descriptor_blocks) std::free(block);
    st = StringState{};
}

}  // namespace

void init_string_state() {
    release_state_memory();
    StringState& st = state();
    st.heap = static_cast<char*>(std::malloc(initial_heap_size));
    if (st.heap == nullptr) fail_critically(error_string_heap_full);
    st.heap_size = initial_heap_size;
    st.string_list = grow_array<RtString*>(nullptr, initial_list_capacity, error_string_list_full);
    st.string_list_capacity = initial_list_capacity;
    st.temp_list = grow_array<RtString*>(nullptr, initial_list_capacity, error_temp_list_full);
    st.temp_capacity = initial_list_capacity;
    st.temp_list[0] = nullptr;
    st.free_descriptors =
        grow_array<RtString*>(nullptr, initial_list_capacity, error_free_descriptors_full);
    st.free_capacity = initial_list_capacity;
    add_descriptor_block();
    st.shared_empty = make_shared_constant("", 0);
    st.shared_space = make_shared_constant(" ", 1);
}

RtString* shared_empty_string() { return state().shared_empty; }
RtString* shared_space_string() { return state().shared_space; }

RtString* string_new(int32_t length, bool temporary) {
    StringState& st = state();
    const uint64_t bytes = static_cast<uint64_t>(length > 0 ? length : 0);
    if (st.heap_used + bytes + spare_bytes > st.heap_size) make_room(bytes + spare_bytes);
    RtString* s = take_descriptor();
    s->data = st.heap + st.heap_used;
    s->length = static_cast<int32_t>(bytes);
    st.heap_used += bytes + spare_bytes;
    append_to_string_list(s);
    if (temporary) append_to_temp_list(s);
    return s;
}

RtString* string_from_literal(const char* bytes, int32_t length) {
    RtString* s = take_descriptor();
    s->data = const_cast<char*>(bytes);  // never written: is_readonly
    s->length = length;
    s->is_readonly = 1;
    append_to_temp_list(s);
    return s;
}

RtString* string_make_temporary(RtString* s) {
    if (s->is_temporary && s->temp_list_index != 0) return s;  // already listed once
    append_to_temp_list(s);
    return s;
}

void string_free(RtString* s) {
    StringState& st = state();
    s->record_binding = nullptr;  // no file records exist in this program
    if (s->temp_list_index != 0) {
        st.temp_list[s->temp_list_index] = nullptr;
        while (st.temp_count > 1 && st.temp_list[st.temp_count - 1] == nullptr) --st.temp_count;
    }
    if (is_heap_string(s)) {
        st.string_list[s->list_index] = nullptr;
        lower_heap_used_to_last_string();
    }
    give_back_descriptor(s);
}

namespace {

// Copies `source` (n bytes) to a fresh place at the top of the heap for `dest`.
void relocate(RtString* dest, const RtString* source, int32_t n) {
    StringState& st = state();
    st.string_list[dest->list_index] = nullptr;
    if (st.heap_used + static_cast<uint64_t>(n) > st.heap_size) make_room(static_cast<uint64_t>(n));
    append_to_string_list(dest);
    dest->data = st.heap + st.heap_used;
    st.heap_used += static_cast<uint64_t>(n);
    std::memcpy(dest->data, source->data, static_cast<size_t>(n));  // compaction moved source
    dest->length = n;
}

bool fits_in_heap(const RtString* s, int32_t n) {
    const StringState& st = state();
    return offset_in_heap(s->data) + static_cast<uint64_t>(n) <= st.heap_size;
}

void copy_in_place(RtString* dest, const RtString* source, int32_t n) {
    std::memmove(dest->data, source->data, static_cast<size_t>(n));
    dest->length = n;
}

void grow_assign(RtString* dest, RtString* src) {
    StringState& st = state();
    const int32_t n = src->length;
    if (dest->list_index + 1 == st.string_list_count) {
        if (fits_in_heap(dest, n)) {
            copy_in_place(dest, src, n);
            st.heap_used = offset_in_heap(end_of(dest));
        } else {
            relocate(dest, src, n);
        }
        return;
    }
    const RtString* next = nullptr;
    for (uint32_t i = dest->list_index + 1; i < st.string_list_count; ++i) {
        const RtString* candidate = st.string_list[i];
        if (candidate == nullptr || (src->is_temporary && candidate == src)) continue;
        next = candidate;
        break;
    }
    if (next != nullptr) {
        if (next->data >= dest->data + n) {
            copy_in_place(dest, src, n);
        } else {
            relocate(dest, src, n);
        }
        return;
    }
    st.string_list_count = dest->list_index + 1;
    if (fits_in_heap(dest, n)) {
        copy_in_place(dest, src, n);
        st.heap_used = offset_in_heap(end_of(dest));
    } else {
        relocate(dest, src, n);
    }
}

}  // namespace

RtString* string_assign(RtString* dest, RtString* src) {
    StringState& st = state();
    if (dest == src) return dest;  // a takeover of itself would free the descriptor in use
    if (dest->is_fixed) {
        const int32_t n = src->length < dest->length ? src->length : dest->length;
        std::memmove(dest->data, src->data, static_cast<size_t>(n));
        std::memset(dest->data + n, ' ', static_cast<size_t>(dest->length - n));
        free_if_temporary(src);
        return dest;
    }
    assert(!dest->is_readonly && "constants are never assigned to");
    if (src->is_temporary && !src->is_fixed && !src->is_readonly &&
        src->in_low_memory == dest->in_low_memory) {
        st.string_list[dest->list_index] = nullptr;
        dest->list_index = src->list_index;
        st.string_list[dest->list_index] = dest;
        st.temp_list[src->temp_list_index] = nullptr;
        if (src->temp_list_index + 1 == st.temp_count) --st.temp_count;
        dest->data = src->data;
        dest->length = src->length;
        give_back_descriptor(src);
        return dest;
    }
    if (src->length <= dest->length) {
        copy_in_place(dest, src, src->length);
    } else {
        grow_assign(dest, src);
    }
    free_if_temporary(src);
    return dest;
}

int64_t release_temporaries(uint32_t mark, int64_t value) {
    StringState& st = state();
    if (mark < 1) mark = 1;  // slot 0 is never used
    while (st.temp_count > mark) {
        --st.temp_count;
        if (RtString* s = st.temp_list[st.temp_count]) string_free(s);
    }
    return value;
}

uint32_t temp_mark() { return state().temp_count; }

RtString* string_concat(RtString* a, RtString* b) {
    if (b->length == 0) return a;
    if (a->length == 0) return b;
    // A result past the largest length a string can have would wrap the length round; the heap
    // cannot hold it, so it fails as heap growth does.
    if (a->length > INT32_MAX - b->length) fail_critically(error_string_heap_full);
    RtString* r = string_new(a->length + b->length, true);
    std::memcpy(r->data, a->data, static_cast<size_t>(a->length));
    std::memcpy(r->data + a->length, b->data, static_cast<size_t>(b->length));
    free_if_temporary(a);
    if (b != a) free_if_temporary(b);
    return r;
}

RtString* string_left(RtString* s, int32_t n) {
    if (n > s->length) n = s->length;
    if (n < 0) n = 0;
    if (n == s->length) return s;
    if (is_plain_heap_temporary(s)) {
        s->length = n;
        return s;
    }
    RtString* r = new_temporary_copy(s, 0, n);
    free_if_temporary(s);
    return r;
}

RtString* string_from_code(int32_t code) {
    if (code < 0 || code > 255) {
        raise_error(error_illegal_function_call);
        return string_new(0, true);
    }
    RtString* r = string_new(1, true);
    r->data[0] = static_cast<char>(code);
    return r;
}

RtString* string_spaces(int32_t n) {
    if (n < 0) n = 0;
    RtString* r = string_new(n, true);
    std::memset(r->data, ' ', static_cast<size_t>(n));
    return r;
}

RtString* string_upper(RtString* s) {
    if (s->length == 0) return s;
    RtString* r = s;
    if (!is_plain_heap_temporary(s)) {
        r = new_temporary_copy(s, 0, s->length);
        free_if_temporary(s);
    }
    for (int32_t i = 0; i < r->length; ++i) {
        if (r->data[i] >= 'a' && r->data[i] <= 'z') r->data[i] = static_cast<char>(r->data[i] - 32);
    }
    return r;
}

RtString* string_trim_left(RtString* s) {
    if (s->length == 0 || s->data[0] != ' ') return s;
    if (is_plain_heap_temporary(s)) {
        while (s->length > 0 && s->data[0] == ' ') {
            ++s->data;
            --s->length;
        }
        return s;
    }
    int32_t blanks = 0;
    while (blanks < s->length && s->data[blanks] == ' ') ++blanks;
    RtString* r = new_temporary_copy(s, blanks, s->length - blanks);
    free_if_temporary(s);
    return r;
}

RtString* string_trim_right(RtString* s) {
    if (s->length == 0 || s->data[s->length - 1] != ' ') return s;
    if (is_plain_heap_temporary(s)) {
        while (s->length > 0 && s->data[s->length - 1] == ' ') --s->length;
        return s;
    }
    int32_t kept = s->length;
    while (kept > 0 && s->data[kept - 1] == ' ') --kept;
    RtString* r = new_temporary_copy(s, 0, kept);
    free_if_temporary(s);
    return r;
}

int32_t string_find(int32_t start, bool start_given, const RtString* h, const RtString* n) {
    if (!start_given) start = 1;
    if (h->length == 0) return 0;
    if (start <= 0) {
        if (n->length == 0) return 0;
        start = 1;
    }
    if (start > h->length) return 0;
    if (n->length == 0) return start;
    if (static_cast<int64_t>(start) + n->length - 1 > h->length) return 0;
    const char first = n->data[0];
    for (int32_t i = start - 1; i + n->length <= h->length; ++i) {
        if (h->data[i] == first &&
            std::memcmp(h->data + i, n->data, static_cast<size_t>(n->length)) == 0) {
            return i + 1;
        }
    }
    return 0;
}

int32_t string_equal(const RtString* a, const RtString* b) {
    if (a->length != b->length) return 0;
    if (a->length == 0) return -1;
    return std::memcmp(a->data, b->data, static_cast<size_t>(a->length)) == 0 ? -1 : 0;
}

int32_t string_not_equal(const RtString* a, const RtString* b) {
    return string_equal(a, b) == 0 ? -1 : 0;
}

StringHeapStats string_heap_stats() {
    const StringState& st = state();
    return {st.heap_size, st.heap_used, st.string_list_count, st.temp_count, st.free_count,
            st.descriptors_made};
}

const char* string_heap_start() { return state().heap; }
