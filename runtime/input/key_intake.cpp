#include "runtime/input/key_intake.h"

#include <algorithm>
#include <array>

#include "runtime/core/signals.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"
#include "runtime/input/private/key_intake_lock.h"
#include "runtime/platform/platform.h"

namespace {

// The translation rows of every key that has one: {key, scan, plain, Shift, Ctrl, Alt, Num Lock,
// 0, 0, Num Lock + Shift}. Character keys are listed under their character (the window layer has
// applied Shift and Caps Lock already, so both of a key's characters have rows of their own);
// extended keys under their code, scan x 256. F11 and F12 are found under 0x8500 and 0x8600 although
// their scan codes are 0x57 and 0x58.
constexpr std::array<KeyTranslationRow, 121> present_rows = {{
    {8, 0x0E, 8, 8, 127, 0x0E00, 0, 0, 0, 0},  // Backspace
    {9, 0x0F, 9, 0x0F00, 0x9400, 0, 0, 0, 0, 0},  // Tab
    {13, 0x1C, 13, 13, 10, 0, 0, 0, 0, 0},  // Enter
    {27, 0x01, 27, 27, 27, 0, 0, 0, 0, 0},  // Esc
    {32, 0x39, 32, 32, 32, 0, 0, 0, 0, 0},  // Space
    {'!', 0x02, '!', '!', 0, 0x7800, 0, 0, 0, 0},  // Shift+1
    {'"', 0x28, '"', '"', 0, 0x2800, 0, 0, 0, 0},  // Shift+'
    {'#', 0x04, '#', '#', 0, 0x7A00, 0, 0, 0, 0},  // Shift+3
    {'$', 0x05, '$', '$', 0, 0x7B00, 0, 0, 0, 0},  // Shift+4
    {'%', 0x06, '%', '%', 0, 0x7C00, 0, 0, 0, 0},  // Shift+5
    {'&', 0x08, '&', '&', 0, 0x7E00, 0, 0, 0, 0},  // Shift+7
    {'\'', 0x28, '\'', '\'', 0, 0x2800, 0, 0, 0, 0},  // ' key
    {'(', 0x0A, '(', '(', 0, 0x8000, 0, 0, 0, 0},  // Shift+9
    {')', 0x0B, ')', ')', 0, 0x8100, 0, 0, 0, 0},  // Shift+0
    {'*', 0x09, '*', '*', 0, 0x7F00, 0, 0, 0, 0},  // Shift+8
    {'+', 0x0D, '+', '+', 0, 0x8300, 0, 0, 0, 0},  // Shift+=
    {',', 0x33, ',', ',', 0, 0x3300, 0, 0, 0, 0},  // , key
    {'-', 0x0C, '-', '-', 31, 0x8200, 0, 0, 0, 0},  // - key
    {'.', 0x34, '.', '.', 0, 0x3400, 0, 0, 0, 0},  // . key
    {'/', 0x35, '/', '/', 0, 0x3500, 0, 0, 0, 0},  // / key
    {'0', 0x0B, '0', '0', 0, 0x8100, 0, 0, 0, 0},  // 0 key
    {'1', 0x02, '1', '1', 0, 0x7800, 0, 0, 0, 0},  // 1 key
    {'2', 0x03, '2', '2', 0x0300, 0x7900, 0, 0, 0, 0},  // 2 key
    {'3', 0x04, '3', '3', 0, 0x7A00, 0, 0, 0, 0},  // 3 key
    {'4', 0x05, '4', '4', 0, 0x7B00, 0, 0, 0, 0},  // 4 key
    {'5', 0x06, '5', '5', 0, 0x7C00, 0, 0, 0, 0},  // 5 key
    {'6', 0x07, '6', '6', 30, 0x7D00, 0, 0, 0, 0},  // 6 key
    {'7', 0x08, '7', '7', 0, 0x7E00, 0, 0, 0, 0},  // 7 key
    {'8', 0x09, '8', '8', 0, 0x7F00, 0, 0, 0, 0},  // 8 key
    {'9', 0x0A, '9', '9', 0, 0x8000, 0, 0, 0, 0},  // 9 key
    {':', 0x27, ':', ':', 0, 0x2700, 0, 0, 0, 0},  // Shift+;
    {';', 0x27, ';', ';', 0, 0x2700, 0, 0, 0, 0},  // ; key
    {'<', 0x33, '<', '<', 0, 0x3300, 0, 0, 0, 0},  // Shift+,
    {'=', 0x0D, '=', '=', 0, 0x8300, 0, 0, 0, 0},  // = key
    {'>', 0x34, '>', '>', 0, 0x3400, 0, 0, 0, 0},  // Shift+.
    {'?', 0x35, '?', '?', 0, 0x3500, 0, 0, 0, 0},  // Shift+/
    {'@', 0x03, '@', '@', 0x0300, 0x7900, 0, 0, 0, 0},  // Shift+2
    {'A', 0x1E, 'A', 'A', 1, 0x1E00, 0, 0, 0, 0},  // Shift+a (or Caps Lock)
    {'B', 0x30, 'B', 'B', 2, 0x3000, 0, 0, 0, 0},  // Shift+b (or Caps Lock)
    {'C', 0x2E, 'C', 'C', 3, 0x2E00, 0, 0, 0, 0},  // Shift+c (or Caps Lock)
    {'D', 0x20, 'D', 'D', 4, 0x2000, 0, 0, 0, 0},  // Shift+d (or Caps Lock)
    {'E', 0x12, 'E', 'E', 5, 0x1200, 0, 0, 0, 0},  // Shift+e (or Caps Lock)
    {'F', 0x21, 'F', 'F', 6, 0x2100, 0, 0, 0, 0},  // Shift+f (or Caps Lock)
    {'G', 0x22, 'G', 'G', 7, 0x2200, 0, 0, 0, 0},  // Shift+g (or Caps Lock)
    {'H', 0x23, 'H', 'H', 8, 0x2300, 0, 0, 0, 0},  // Shift+h (or Caps Lock)
    {'I', 0x17, 'I', 'I', 9, 0x1700, 0, 0, 0, 0},  // Shift+i (or Caps Lock)
    {'J', 0x24, 'J', 'J', 10, 0x2400, 0, 0, 0, 0},  // Shift+j (or Caps Lock)
    {'K', 0x25, 'K', 'K', 11, 0x2500, 0, 0, 0, 0},  // Shift+k (or Caps Lock)
    {'L', 0x26, 'L', 'L', 12, 0x2600, 0, 0, 0, 0},  // Shift+l (or Caps Lock)
    {'M', 0x32, 'M', 'M', 13, 0x3200, 0, 0, 0, 0},  // Shift+m (or Caps Lock)
    {'N', 0x31, 'N', 'N', 14, 0x3100, 0, 0, 0, 0},  // Shift+n (or Caps Lock)
    {'O', 0x18, 'O', 'O', 15, 0x1800, 0, 0, 0, 0},  // Shift+o (or Caps Lock)
    {'P', 0x19, 'P', 'P', 16, 0x1900, 0, 0, 0, 0},  // Shift+p (or Caps Lock)
    {'Q', 0x10, 'Q', 'Q', 17, 0x1000, 0, 0, 0, 0},  // Shift+q (or Caps Lock)
    {'R', 0x13, 'R', 'R', 18, 0x1300, 0, 0, 0, 0},  // Shift+r (or Caps Lock)
    {'S', 0x1F, 'S', 'S', 19, 0x1F00, 0, 0, 0, 0},  // Shift+s (or Caps Lock)
    {'T', 0x14, 'T', 'T', 20, 0x1400, 0, 0, 0, 0},  // Shift+t (or Caps Lock)
    {'U', 0x16, 'U', 'U', 21, 0x1600, 0, 0, 0, 0},  // Shift+u (or Caps Lock)
    {'V', 0x2F, 'V', 'V', 22, 0x2F00, 0, 0, 0, 0},  // Shift+v (or Caps Lock)
    {'W', 0x11, 'W', 'W', 23, 0x1100, 0, 0, 0, 0},  // Shift+w (or Caps Lock)
    {'X', 0x2D, 'X', 'X', 24, 0x2D00, 0, 0, 0, 0},  // Shift+x (or Caps Lock)
    {'Y', 0x15, 'Y', 'Y', 25, 0x1500, 0, 0, 0, 0},  // Shift+y (or Caps Lock)
    {'Z', 0x2C, 'Z', 'Z', 26, 0x2C00, 0, 0, 0, 0},  // Shift+z (or Caps Lock)
    {'[', 0x1A, '[', '[', 27, 0x1A00, 0, 0, 0, 0},  // [ key
    {'\\', 0x2B, '\\', '\\', 28, 0x2B00, 0, 0, 0, 0},  // backslash key
    {']', 0x1B, ']', ']', 29, 0x1B00, 0, 0, 0, 0},  // ] key
    {'^', 0x07, '^', '^', 30, 0x7D00, 0, 0, 0, 0},  // Shift+6
    {'_', 0x0C, '_', '_', 31, 0x8200, 0, 0, 0, 0},  // Shift+-
    {'`', 0x29, '`', '`', 0, 0x2900, 0, 0, 0, 0},  // ` key
    {'a', 0x1E, 'a', 'a', 1, 0x1E00, 0, 0, 0, 0},  // a key
    {'b', 0x30, 'b', 'b', 2, 0x3000, 0, 0, 0, 0},  // b key
    {'c', 0x2E, 'c', 'c', 3, 0x2E00, 0, 0, 0, 0},  // c key
    {'d', 0x20, 'd', 'd', 4, 0x2000, 0, 0, 0, 0},  // d key
    {'e', 0x12, 'e', 'e', 5, 0x1200, 0, 0, 0, 0},  // e key
    {'f', 0x21, 'f', 'f', 6, 0x2100, 0, 0, 0, 0},  // f key
    {'g', 0x22, 'g', 'g', 7, 0x2200, 0, 0, 0, 0},  // g key
    {'h', 0x23, 'h', 'h', 8, 0x2300, 0, 0, 0, 0},  // h key
    {'i', 0x17, 'i', 'i', 9, 0x1700, 0, 0, 0, 0},  // i key
    {'j', 0x24, 'j', 'j', 10, 0x2400, 0, 0, 0, 0},  // j key
    {'k', 0x25, 'k', 'k', 11, 0x2500, 0, 0, 0, 0},  // k key
    {'l', 0x26, 'l', 'l', 12, 0x2600, 0, 0, 0, 0},  // l key
    {'m', 0x32, 'm', 'm', 13, 0x3200, 0, 0, 0, 0},  // m key
    {'n', 0x31, 'n', 'n', 14, 0x3100, 0, 0, 0, 0},  // n key
    {'o', 0x18, 'o', 'o', 15, 0x1800, 0, 0, 0, 0},  // o key
    {'p', 0x19, 'p', 'p', 16, 0x1900, 0, 0, 0, 0},  // p key
    {'q', 0x10, 'q', 'q', 17, 0x1000, 0, 0, 0, 0},  // q key
    {'r', 0x13, 'r', 'r', 18, 0x1300, 0, 0, 0, 0},  // r key
    {'s', 0x1F, 's', 's', 19, 0x1F00, 0, 0, 0, 0},  // s key
    {'t', 0x14, 't', 't', 20, 0x1400, 0, 0, 0, 0},  // t key
    {'u', 0x16, 'u', 'u', 21, 0x1600, 0, 0, 0, 0},  // u key
    {'v', 0x2F, 'v', 'v', 22, 0x2F00, 0, 0, 0, 0},  // v key
    {'w', 0x11, 'w', 'w', 23, 0x1100, 0, 0, 0, 0},  // w key
    {'x', 0x2D, 'x', 'x', 24, 0x2D00, 0, 0, 0, 0},  // x key
    {'y', 0x15, 'y', 'y', 25, 0x1500, 0, 0, 0, 0},  // y key
    {'z', 0x2C, 'z', 'z', 26, 0x2C00, 0, 0, 0, 0},  // z key
    {'{', 0x1A, '{', '{', 27, 0x1A00, 0, 0, 0, 0},  // Shift+[
    {'|', 0x2B, '|', '|', 28, 0x2B00, 0, 0, 0, 0},  // Shift+backslash
    {'}', 0x1B, '}', '}', 29, 0x1B00, 0, 0, 0, 0},  // Shift+]
    {'~', 0x29, '~', '~', 0, 0x2900, 0, 0, 0, 0},  // Shift+`
    {0x3B00, 0x3B, 0x3B00, 0x5400, 0x5E00, 0x6800, 0, 0, 0, 0},  // F1
    {0x3C00, 0x3C, 0x3C00, 0x5500, 0x5F00, 0x6900, 0, 0, 0, 0},  // F2
    {0x3D00, 0x3D, 0x3D00, 0x5600, 0x6000, 0x6A00, 0, 0, 0, 0},  // F3
    {0x3E00, 0x3E, 0x3E00, 0x5700, 0x6100, 0x6B00, 0, 0, 0, 0},  // F4
    {0x3F00, 0x3F, 0x3F00, 0x5800, 0x6200, 0x6C00, 0, 0, 0, 0},  // F5
    {0x4000, 0x40, 0x4000, 0x5900, 0x6300, 0x6D00, 0, 0, 0, 0},  // F6
    {0x4100, 0x41, 0x4100, 0x5A00, 0x6400, 0x6E00, 0, 0, 0, 0},  // F7
    {0x4200, 0x42, 0x4200, 0x5B00, 0x6500, 0x6F00, 0, 0, 0, 0},  // F8
    {0x4300, 0x43, 0x4300, 0x5C00, 0x6600, 0x7000, 0, 0, 0, 0},  // F9
    {0x4400, 0x44, 0x4400, 0x5D00, 0x6700, 0x7100, 0, 0, 0, 0},  // F10
    {0x4700, 0x47, 0x4700, 0x4700, 0x7700, 0x9700, 0, 0, 0, 0},  // Home
    {0x4800, 0x48, 0x4800, 0x4800, 0x8D00, 0x9800, 0, 0, 0, 0},  // Up
    {0x4900, 0x49, 0x4900, 0x4900, 0x8400, 0x9900, 0, 0, 0, 0},  // Page Up
    {0x4B00, 0x4B, 0x4B00, 0x4B00, 0x7300, 0x9B00, 0, 0, 0, 0},  // Left
    {0x4D00, 0x4D, 0x4D00, 0x4D00, 0x7400, 0x9D00, 0, 0, 0, 0},  // Right
    {0x4F00, 0x4F, 0x4F00, 0x4F00, 0x7500, 0x9F00, 0, 0, 0, 0},  // End
    {0x5000, 0x50, 0x5000, 0x5000, 0x9100, 0xA000, 0, 0, 0, 0},  // Down
    {0x5100, 0x51, 0x5100, 0x5100, 0x7600, 0xA100, 0, 0, 0, 0},  // Page Down
    {0x5200, 0x52, 0x5200, 0x5200, 0x9200, 0xA200, 0, 0, 0, 0},  // Insert
    {0x5300, 0x53, 0x5300, 0x5300, 0x9300, 0xA300, 0, 0, 0, 0},  // Delete
    {0x8500, 0x57, 0x8500, 0x8500, 0x8900, 0x8B00, 0, 0, 0, 0},  // F11
    {0x8600, 0x58, 0x8600, 0x8600, 0x8A00, 0x8C00, 0, 0, 0, 0},  // F12
}};
static_assert(present_rows.size() == 99 + 22, "99 character rows and 22 extended rows");

constexpr size_t row_index_of(int32_t key) {
    return key < 256 ? static_cast<size_t>(key) : 256 + static_cast<size_t>(key) / 256;
}

constexpr std::array<KeyTranslationRow, key_translation_table_rows> build_translation_table() {
    std::array<KeyTranslationRow, key_translation_table_rows> table{};
    for (const KeyTranslationRow& row : present_rows) table[row_index_of(row.key)] = row;
    return table;
}

constexpr bool rows_have_distinct_places() {
    for (size_t i = 0; i < present_rows.size(); ++i) {
        for (size_t j = i + 1; j < present_rows.size(); ++j) {
            if (row_index_of(present_rows[i].key) == row_index_of(present_rows[j].key)) return false;
        }
    }
    return true;
}
static_assert(rows_have_distinct_places(), "two rows would share one place in the table");

constexpr std::array<KeyTranslationRow, key_translation_table_rows> translation_table =
    build_translation_table();

// The window layer's special-key numbers (the stable values of its key constants).
enum SpecialKey : int {
    special_f1 = 1,
    special_f10 = 10,
    special_f11 = 11,
    special_f12 = 12,
    special_left = 100,
    special_up = 101,
    special_right = 102,
    special_down = 103,
    special_page_up = 104,
    special_page_down = 105,
    special_home = 106,
    special_end = 107,
    special_insert = 108,
    // 109 Num Lock, 110 Begin and 111 Delete are not mapped: the lock follows the operating
    // system's toggle and Delete arrives as the character 127.
    special_shift_left = 112,
    special_shift_right = 113,
    special_ctrl_left = 114,
    special_ctrl_right = 115,
    special_alt_left = 116,
    special_alt_right = 117,
};

struct SpecialKeyMapping {
    int special_key;
    int32_t key_code;
};

constexpr std::array<SpecialKeyMapping, 27> special_key_map = {{
    {special_f1 + 0, 0x3B00},            // F1
    {special_f1 + 1, 0x3C00},            // F2
    {special_f1 + 2, 0x3D00},            // F3
    {special_f1 + 3, 0x3E00},            // F4
    {special_f1 + 4, 0x3F00},            // F5
    {special_f1 + 5, 0x4000},            // F6
    {special_f1 + 6, 0x4100},            // F7
    {special_f1 + 7, 0x4200},            // F8
    {special_f1 + 8, 0x4300},            // F9
    {special_f10, 0x4400},               // F10
    {special_f11, 0x8500},               // F11
    {special_f12, 0x8600},               // F12
    {special_left, 0x4B00},              // Left
    {special_up, 0x4800},                // Up
    {special_right, 0x4D00},             // Right
    {special_down, 0x5000},              // Down
    {special_page_up, 0x4900},           // Page Up
    {special_page_down, 0x5100},         // Page Down
    {special_home, 0x4700},              // Home
    {special_end, 0x4F00},               // End
    {special_insert, key_insert},        // Insert
    {special_shift_left, key_left_shift},    // left Shift
    {special_shift_right, key_right_shift},  // right Shift
    {special_ctrl_left, key_left_ctrl},      // left Ctrl
    {special_ctrl_right, key_right_ctrl},    // right Ctrl
    {special_alt_left, key_left_alt},        // left Alt
    {special_alt_right, key_right_alt},      // right Alt
}};

struct KeyIntakeState {
    // GUARDED by key_intake_mutex(): reached by the window thread and the housekeeping thread.
    HeldKeys held;
    KeyIntakeHooks hooks;
};

KeyIntakeState& intake() {
    static KeyIntakeState state;
    return state;
}

bool is_modifier_or_lock(int32_t code) { return code >= key_num_lock && code <= key_left_alt; }

int32_t choose_column(const KeyTranslationRow& row, Modifiers held) {
    // A later line wins: Alt beats Ctrl beats Shift.
    int32_t chosen = row.plain;
    if (held.shift) chosen = row.shift;
    if (held.ctrl) chosen = row.ctrl;
    if (held.alt) chosen = row.alt;
    return chosen;
}

KeystrokeEntry entry_for_chosen(int32_t chosen, int32_t scan) {
    if (chosen == 0) return {};
    if (chosen >= 256) return {true, 0, static_cast<uint8_t>(chosen / 256)};
    return {true, static_cast<uint8_t>(chosen), static_cast<uint8_t>(scan)};
}

void update_keyboard_flags_locked() {
    const KeyboardStatusBytes bytes = keyboard_status_bytes(intake().held);
    uint8_t* memory = low_memory();
    memory[keyboard_status_1_offset] = bytes.status_1;
    memory[keyboard_status_2_offset] = bytes.status_2;
    memory[keyboard_status_3_offset] = bytes.status_3;
}

void handle_key_down_locked(int32_t code) {
    if (code == 0) code = key_character_0;
    HeldKeys& held = intake().held;
    const bool insert_was_held = held_keys_contain(held, key_insert);
    const bool scroll_lock_was_held = held_keys_contain(held, key_scroll_lock);
    held_keys_add(held, code);
    const Modifiers modifiers = modifiers_of(held);
    RuntimeSignals& signals = runtime_signals();

    if (code == key_break || (code == key_scroll_lock && modifiers.ctrl)) {
        signals.exit_now.store(1);
        return;
    }
    if (code == key_pause || (code == key_num_lock && modifiers.ctrl)) {
        signals.pause_requested.fetch_or(1);
        signals.event_pending.store(1);
        return;
    }
    // Any other key while paused only resumes the program.
    if ((signals.pause_requested.load() & 1) != 0) {
        signals.pause_requested.fetch_and(static_cast<uint8_t>(~1u));
        return;
    }
    if (modifiers.alt && code == 13) {
        if (intake().hooks.cycle_fullscreen != nullptr) intake().hooks.cycle_fullscreen();
        return;
    }
    key_hit_append_locked(code, 0);

    if (is_modifier_or_lock(code)) {
        if (code == key_scroll_lock && !scroll_lock_was_held && !modifiers.ctrl) {
            held_keys_switch(held, state_scroll_lock_on);
        }
        update_keyboard_flags_locked();
        return;
    }
    if (code == key_insert && !insert_was_held && !modifiers.alt && !modifiers.shift &&
        !modifiers.ctrl) {
        held_keys_switch(held, state_insert_on);
        update_keyboard_flags_locked();
    }
    const KeystrokeEntry entry = keystroke_for(code, modifiers);
    if (entry.present) key_buffer_append(entry.character, entry.scan);
}

void handle_key_up_locked(int32_t code) {
    if (code == 0) code = key_character_0;
    held_keys_remove(intake().held, code);
    key_hit_append_locked(-code, 0);
    if (is_modifier_or_lock(code) || code == key_insert) update_keyboard_flags_locked();
}

}  // namespace

bool held_keys_contain(const HeldKeys& held, int32_t code) {
    return std::find(held.codes.begin(), held.codes.end(), code) != held.codes.end();
}

void held_keys_add(HeldKeys& held, int32_t code) {
    if (!held_keys_contain(held, code)) held.codes.push_back(code);
}

void held_keys_remove(HeldKeys& held, int32_t code) {
    const auto found = std::find(held.codes.begin(), held.codes.end(), code);
    if (found != held.codes.end()) held.codes.erase(found);
}

void held_keys_switch(HeldKeys& held, int32_t code) {
    if (held_keys_contain(held, code)) {
        held_keys_remove(held, code);
    } else {
        held_keys_add(held, code);
    }
}

Modifiers modifiers_of(const HeldKeys& held) {
    return {held_keys_contain(held, key_right_shift) || held_keys_contain(held, key_left_shift),
            held_keys_contain(held, key_right_ctrl) || held_keys_contain(held, key_left_ctrl),
            held_keys_contain(held, key_right_alt) || held_keys_contain(held, key_left_alt)};
}

const KeyTranslationRow& key_translation_row(size_t index) { return translation_table.at(index); }

KeystrokeEntry keystroke_for(int32_t code, Modifiers held) {
    if (code == key_character_0) code = 0;
    if (code < 0 || code > 0xFFFF) return {};
    if (code < 256) {
        const KeyTranslationRow& row = translation_table[static_cast<size_t>(code)];
        if (row.scan == 0) return {true, static_cast<uint8_t>(code), 0};
        return entry_for_chosen(choose_column(row, held), row.scan);
    }
    const KeyTranslationRow& row = translation_table[row_index_of(code)];
    if (row.plain == 0) return {true, 0, static_cast<uint8_t>(code / 256)};
    return entry_for_chosen(choose_column(row, held), row.scan);
}

int32_t key_code_from_character(unsigned char character, bool ctrl, bool shift) {
    int32_t code = character;
    if (ctrl && character == 10) {
        code = 13;
    } else if (ctrl && character >= 1 && character <= 26) {
        code = character + (shift ? 64 : 96);
    }
    if (code == 127) return key_delete;
    return code;
}

int32_t key_code_from_special(int special_key) {
    for (const SpecialKeyMapping& mapping : special_key_map) {
        if (mapping.special_key == special_key) return mapping.key_code;
    }
    return 0;
}

KeyboardStatusBytes keyboard_status_bytes(const HeldKeys& held) {
    auto bit = [&held](int shift, int32_t code, int32_t other_code = -1) {
        const bool on = held_keys_contain(held, code) ||
                        (other_code >= 0 && held_keys_contain(held, other_code));
        return static_cast<uint8_t>(on ? 1u << shift : 0u);
    };
    KeyboardStatusBytes bytes;
    bytes.status_1 = static_cast<uint8_t>(
        bit(0, key_right_shift) | bit(1, key_left_shift) | bit(2, key_right_ctrl, key_left_ctrl) |
        bit(3, key_right_alt, key_left_alt) | bit(4, state_scroll_lock_on) | bit(5, key_num_lock) |
        bit(6, key_caps_lock) | bit(7, state_insert_on));
    bytes.status_2 = static_cast<uint8_t>(bit(0, key_left_ctrl) | bit(1, key_left_alt) |
                                          bit(2, key_sys_req) | bit(3, key_pause) |
                                          bit(4, key_scroll_lock) | bit(7, key_insert));
    bytes.status_3 = static_cast<uint8_t>(bit(0, key_right_ctrl) | bit(1, key_right_alt) | 0x10);
    return bytes;
}

void handle_key_down(int32_t key_code) {
    std::lock_guard lock(key_intake_mutex());
    handle_key_down_locked(key_code);
}

void handle_key_up(int32_t key_code) {
    std::lock_guard lock(key_intake_mutex());
    handle_key_up_locked(key_code);
}

bool key_is_down(int32_t key_code) {
    std::lock_guard lock(key_intake_mutex());
    return held_keys_contain(intake().held, key_code);
}

void update_keyboard_flags() {
    std::lock_guard lock(key_intake_mutex());
    update_keyboard_flags_locked();
}

void sample_keyboard() {
    const platform::KeyStates states = platform::key_states();
    {
        std::lock_guard lock(key_intake_mutex());
        HeldKeys& held = intake().held;
        if (states.scroll_lock) held_keys_add(held, state_scroll_lock_on);
        const std::array<std::pair<bool, int32_t>, 7> held_at_start = {{
            {states.scroll_lock_key, key_scroll_lock},
            {states.left_shift, key_left_shift},
            {states.right_shift, key_right_shift},
            {states.left_ctrl, key_left_ctrl},
            {states.right_ctrl, key_right_ctrl},
            {states.left_alt, key_left_alt},
            {states.right_alt, key_right_alt},
        }};
        for (const auto& [down, code] : held_at_start) {
            if (down) handle_key_down_locked(code);
        }
        if (states.caps_lock) handle_key_down_locked(key_caps_lock);
        if (states.num_lock) handle_key_down_locked(key_num_lock);
        update_keyboard_flags_locked();
    }
    empty_key_queues();
}

void synchronise_lock_keys() {
    // Asked before the lock is taken: the query talks to the window system.
    const platform::KeyStates states = platform::key_states();
    std::lock_guard lock(key_intake_mutex());
    HeldKeys& held = intake().held;
    if (states.scroll_lock != held_keys_contain(held, state_scroll_lock_on)) {
        held_keys_switch(held, state_scroll_lock_on);
        update_keyboard_flags_locked();
    }
    const std::array<std::pair<bool, int32_t>, 2> locks = {{
        {states.caps_lock, key_caps_lock},
        {states.num_lock, key_num_lock},
    }};
    for (const auto& [on, code] : locks) {
        if (on == held_keys_contain(held, code)) continue;
        if (on) {
            handle_key_down_locked(code);
        } else {
            handle_key_up_locked(code);
        }
        update_keyboard_flags_locked();
    }
}

void on_character_key(unsigned char character, bool down) {
    std::lock_guard lock(key_intake_mutex());
    const Modifiers modifiers = modifiers_of(intake().held);
    const int32_t code = key_code_from_character(character, modifiers.ctrl, modifiers.shift);
    if (down) {
        handle_key_down_locked(code);
    } else {
        handle_key_up_locked(code);
    }
}

void on_special_key(int glut_special_key, bool down) {
    const int32_t code = key_code_from_special(glut_special_key);
    if (code == 0) return;
    std::lock_guard lock(key_intake_mutex());
    if (down) {
        handle_key_down_locked(code);
    } else {
        handle_key_up_locked(code);
    }
}

void on_pause_key(bool ctrl_held, bool down) {
    const int32_t code = ctrl_held ? key_break : key_pause;
    std::lock_guard lock(key_intake_mutex());
    if (down) {
        handle_key_down_locked(code);
    } else {
        handle_key_up_locked(code);
    }
}

KeyIntakeHooks& key_intake_hooks() { return intake().hooks; }

void set_key_intake_hooks(const KeyIntakeHooks& hooks) {
    std::lock_guard lock(key_intake_mutex());
    intake().hooks = hooks;
}

void reset_key_intake() {
    std::lock_guard lock(key_intake_mutex());
    intake().held.codes.clear();
    intake().hooks = KeyIntakeHooks{};
}
