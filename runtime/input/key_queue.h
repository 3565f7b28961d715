// The two ways keys reach the program: the keystroke ring (`KeyBuffer`) inside the low-memory
// block, read one translated keystroke at a time by read_key, and the raw press/release queue
// (`KeyHitQueue`), read by read_key_hit. Key intake fills both on the window thread (and the
// housekeeping thread for Caps Lock and Num Lock); the program thread reads them.
//
// The keystroke ring has one producer and one consumer and needs no lock: the producer writes the
// slot before it publishes the tail, the consumer copies the slot before it publishes the head.
// The key-hit queue has two producers and a consumer that may race a producer moving the read
// index of a full queue, so every access to it holds the key-intake mutex.
#pragma once

#include <cstdint>

#include "runtime/core/rt_string.h"

// Positions of the keystroke ring are byte offsets from low-memory offset 0x400.
inline constexpr uint8_t key_buffer_first_position = 30;  // 0x1E, the first slot
inline constexpr uint8_t key_buffer_end_position = 62;    // 0x3E, one past the last slot
inline constexpr uint32_t key_hit_queue_slots = 8'192;

// Appends the keystroke (character, scan); a full ring drops it. Producer side only.
void key_buffer_append(uint8_t character, uint8_t scan);

// Appends a hit (+code for a press, -code for a release) with its flag word; a full queue drops
// its oldest hit. Takes the key-intake mutex.
void key_hit_append(int32_t hit, uint32_t flags);

// The next keystroke as a new temporary string: length 0 (nothing typed), 1 (a character, or the
// character 0) or 2 (0 and the scan code of an extended key). Never waits, but yields the rest of
// the time slice so a polling loop gives the processor away. Program thread only.
RtString* read_key();

// The next hit code, or 0 when none is queued. Never waits or allocates.
int32_t read_key_hit();

// Start-up's emptying of both queues: head and tail of the ring to 30, the hit queue's read index
// to its write index.
void empty_key_queues();

// A fresh pair of queues for tests: both empty, the hit queue's indices back at 0. Needs
// init_low_memory() first.
void reset_key_queues();

// Inspection for tests: the ring's positions as the two low-memory bytes hold them.
uint8_t key_buffer_head();
uint8_t key_buffer_tail();
