// Runtime strings: descriptors over bytes in one growable string heap.
//
// Every intermediate result is a temporary registered in the temp list. Operations that receive a
// temporary either reuse its bytes in place or release it; string_assign takes over a temporary's
// bytes instead of copying; release_temporaries sweeps what a statement left behind.
#pragma once

#include <cstdint>
#include <string_view>

struct RtString {
    char* data = nullptr;              // first byte; not terminated
    int32_t length = 0;
    uint8_t in_low_memory = 0;         // bytes live in LowMemory instead of the heap
    uint8_t* low_memory_descriptor = nullptr;  // 4-byte (length, offset) record, low-memory vars
    uint16_t low_memory_descriptor_offset = 0;
    uint32_t list_index = 0;           // slot in string_list (or low_memory_string_list)
    uint8_t is_temporary = 0;
    uint32_t temp_list_index = 0;      // slot in temp_list; 0 = not listed
    uint8_t is_fixed = 0;              // fixed length; bytes not owned by the heap
    uint8_t is_readonly = 0;           // bytes belong to someone else (constants)
    void* record_binding = nullptr;    // file-record binding; unused by this program
};

RtString* string_new(int32_t length, bool temporary);
RtString* string_from_literal(const char* bytes, int32_t length);
RtString* string_make_temporary(RtString* s);
void string_free(RtString* s);
RtString* string_assign(RtString* dest, RtString* src);
// Releases every temporary registered at position `mark` or above; returns `value` unchanged.
int64_t release_temporaries(uint32_t mark, int64_t value = 0);
uint32_t temp_mark();  // the current temp_count, recorded by a routine on entry

RtString* string_concat(RtString* a, RtString* b);
RtString* string_left(RtString* s, int32_t n);
RtString* string_from_code(int32_t code);
RtString* string_spaces(int32_t n);
RtString* string_upper(RtString* s);
RtString* string_trim_left(RtString* s);
RtString* string_trim_right(RtString* s);
int32_t string_find(int32_t start, bool start_given, const RtString* h, const RtString* n);
int32_t string_equal(const RtString* a, const RtString* b);      // -1 true, 0 false
int32_t string_not_equal(const RtString* a, const RtString* b);  // -1 true, 0 false

// Convenience for callers holding C++ text: a read-only temporary over `text` (no copy).
inline RtString* string_from_literal(std::string_view text) {
    return string_from_literal(text.data(), static_cast<int32_t>(text.size()));
}
inline std::string_view string_view_of(const RtString* s) {
    return {s->data, static_cast<size_t>(s->length)};
}

// Inspection for tests and benchmarks.
struct StringHeapStats {
    uint64_t heap_size = 0;
    uint64_t heap_used = 0;
    uint32_t string_list_count = 0;
    uint32_t temp_count = 0;
    uint32_t free_descriptor_count = 0;
    uint64_t descriptors_made = 0;
};
StringHeapStats string_heap_stats();
const char* string_heap_start();

// Creates the string state (start-up) or recreates it from nothing (tests); every descriptor
// handed out before is gone afterwards.
void init_string_state();

// The shared constants start-up creates: read-only, never temporary, never freed.
RtString* shared_empty_string();
RtString* shared_space_string();
