#include "runtime/input/key_queue.h"

#include <array>
#include <atomic>

#include "runtime/core/errors.h"
#include "runtime/input/low_memory.h"
#include "runtime/input/private/key_intake_lock.h"
#include "runtime/platform/platform.h"

namespace {

// Low 32 bits: the signed hit code; high 32 bits: the flag word (bit 0: a keypad key).
using KeyHitSlot = uint64_t;

struct KeyHitQueue {
    // GUARDED by key_intake_mutex(): both indices and the slots. A producer facing a full queue
    // moves read_index too, which is why the consumer takes the mutex as well.
    std::array<KeyHitSlot, key_hit_queue_slots> slots{};
    uint32_t write_index = 0;
    uint32_t read_index = 0;
};

KeyHitQueue& key_hits() {
    static KeyHitQueue queue;
    return queue;
}

// THREADING: the tail byte is stored (release) only by the producer after it wrote the slot, and
// loaded (acquire) by the consumer; the head byte the other way round. Only the low byte of each
// position word is touched; the high byte stays 0.
std::atomic_ref<uint8_t> head_position() {
    return std::atomic_ref<uint8_t>(low_memory()[key_buffer_head_offset]);
}
std::atomic_ref<uint8_t> tail_position() {
    return std::atomic_ref<uint8_t>(low_memory()[key_buffer_tail_offset]);
}

uint8_t advance_position(uint8_t position) {
    position = static_cast<uint8_t>(position + 2);
    return position == key_buffer_end_position ? key_buffer_first_position : position;
}

}  // namespace

std::mutex& key_intake_mutex() {
    static std::mutex mutex;
    return mutex;
}

void key_buffer_append(uint8_t character, uint8_t scan) {
    uint8_t* memory = low_memory();
    const uint8_t head = head_position().load(std::memory_order_acquire);
    const uint8_t tail = tail_position().load(std::memory_order_relaxed);
    const uint8_t next = advance_position(tail);
    if (next == head) return;  // full: the keystroke is dropped
    memory[0x400 + tail] = character;
    memory[0x401 + tail] = scan;
    tail_position().store(next, std::memory_order_release);
}

void key_hit_append_locked(int32_t hit, uint32_t flags) {
    KeyHitQueue& queue = key_hits();
    const uint32_t next = (queue.write_index + 1) % key_hit_queue_slots;
    if (next == queue.read_index) queue.read_index = (queue.read_index + 1) % key_hit_queue_slots;
    queue.slots[queue.write_index] =
        (static_cast<uint64_t>(flags) << 32) | static_cast<uint32_t>(hit);
    queue.write_index = next;
}

void key_hit_append(int32_t hit, uint32_t flags) {
    std::lock_guard lock(key_intake_mutex());
    key_hit_append_locked(hit, flags);
}

RtString* read_key() {
    if (error_pending()) return string_new(0, true);
    platform::sleep_ms(0);
    RtString* key = string_new(2, true);
    const uint8_t head = head_position().load(std::memory_order_relaxed);
    const uint8_t tail = tail_position().load(std::memory_order_acquire);
    if (head == tail) {
        key->length = 0;
        return key;
    }
    const uint8_t* memory = low_memory();
    const uint8_t character = memory[0x400 + head];
    const uint8_t scan = memory[0x401 + head];
    key->data[0] = static_cast<char>(character);
    key->data[1] = static_cast<char>(scan);
    // Only an extended key (character 0 with a scan code) takes both bytes.
    key->length = (character == 0 && scan != 0) ? 2 : 1;
    head_position().store(advance_position(head), std::memory_order_release);
    return key;
}

int32_t read_key_hit() {
    std::lock_guard lock(key_intake_mutex());
    KeyHitQueue& queue = key_hits();
    if (queue.read_index == queue.write_index) return 0;
    const auto hit = static_cast<int32_t>(static_cast<uint32_t>(queue.slots[queue.read_index]));
    queue.read_index = (queue.read_index + 1) % key_hit_queue_slots;
    return hit;
}

void empty_key_queues() {
    head_position().store(key_buffer_first_position, std::memory_order_release);
    tail_position().store(key_buffer_first_position, std::memory_order_release);
    std::lock_guard lock(key_intake_mutex());
    key_hits().read_index = key_hits().write_index;
}

void reset_key_queues() {
    empty_key_queues();
    std::lock_guard lock(key_intake_mutex());
    KeyHitQueue& queue = key_hits();
    queue.slots.fill(0);
    queue.write_index = 0;
    queue.read_index = 0;
}

uint8_t key_buffer_head() { return head_position().load(std::memory_order_acquire); }
uint8_t key_buffer_tail() { return tail_position().load(std::memory_order_acquire); }
