// The key-intake mutex: the only mutex of the runtime. It covers HeldKeys, the keyboard status
// bytes and the key-hit queue, which the window thread, the housekeeping thread (lock keys) and the
// program thread (read_key_hit) all reach. Nothing that holds it blocks or waits.
#pragma once

#include <cstdint>
#include <mutex>

std::mutex& key_intake_mutex();

// key_hit_append for callers that already hold key_intake_mutex().
void key_hit_append_locked(int32_t hit, uint32_t flags);
