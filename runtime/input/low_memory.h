// The emulated low-memory block: one zero-filled byte array laid out like the first megabyte of a
// PC, holding the keyboard status bytes, the keystroke ring, the tick count and the text pages.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t low_memory_size = 1'114'099;

// The map (multi-byte values little-endian).
inline constexpr size_t keyboard_status_1_offset = 0x417;
inline constexpr size_t keyboard_status_2_offset = 0x418;
inline constexpr size_t key_buffer_head_offset = 0x41A;
inline constexpr size_t key_buffer_tail_offset = 0x41C;
inline constexpr size_t key_buffer_slots_offset = 0x41E;
inline constexpr size_t tick_count_offset = 0x46C;
inline constexpr size_t keyboard_status_3_offset = 0x496;
inline constexpr size_t data_segment_offset = 0x500;
inline constexpr size_t data_segment_size = 65'536;
inline constexpr size_t text_video_offset = 0xB8000;
inline constexpr size_t text_video_size = 65'536;

// Where the data segment's stack starts (an offset inside the data segment).
inline constexpr uint32_t data_segment_stack_start = 65'528;

// The block itself; valid after init_low_memory().
uint8_t* low_memory();

// Allocates (first call) or re-zeroes the block and sets the data segment's stack offset to
// 65,528. Start-up calls it once; tests call it for a fresh runtime.
void init_low_memory();

// The data segment's current stack offset; only the program thread reads and changes it (routines
// remember it on entry and put it back on return).
uint32_t& data_segment_stack_offset();
