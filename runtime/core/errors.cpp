// Runtime errors: the message table, the critical codes, the statement boundary and the dialog.
#include "runtime/core/errors.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "runtime/core/private/error_dialog.h"
#include "runtime/core/signals.h"
#include "runtime/platform/platform.h"

namespace {

struct ErrorMessage {
    uint32_t code;
    const char* message;
};

constexpr auto error_messages = std::to_array<ErrorMessage>({
    {1, "NEXT without FOR"},
    {2, "Syntax error"},
    {3, "RETURN without GOSUB"},
    {4, "Out of DATA"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {8, "Label not defined"},
    {9, "Subscript out of range"},
    {10, "Duplicate definition"},
    {12, "Illegal in direct mode"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "String formula too complex"},
    {17, "Cannot continue"},
    {18, "Function not defined"},
    {19, "No RESUME"},
    {20, "RESUME without error"},
    {24, "Device timeout"},
    {25, "Device fault"},
    {26, "FOR without NEXT"},
    {27, "Out of paper"},
    {29, "WHILE without WEND"},
    {30, "WEND without WHILE"},
    {33, "Duplicate label"},
    {35, "Subprogram not defined"},
    {37, "Argument-count mismatch"},
    {38, "Array not defined"},
    {40, "Variable required"},
    {50, "FIELD overflow"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {56, "FIELD statement active"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Communication-buffer overflow"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk-media error"},
    {73, "Feature unavailable"},
    {74, "Rename across disks"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {258, "Invalid handle"},
    {300, "Memory region out of range"},
    {301, "Invalid size"},
    {302, "Source memory region out of range"},
    {303, "Destination memory region out of range"},
    {304, "Source and destination memory regions out of range"},
    {305, "Source memory has been freed"},
    {306, "Destination memory has been freed"},
    {307, "Memory already freed"},
    {308, "Memory has been freed"},
    {309, "Memory not initialized"},
    {310, "Source memory not initialized"},
    {311, "Destination memory not initialized"},
    {312, "Source and destination memory not initialized"},
    {313, "Source and destination memory have been freed"},
});

// Codes that end the process at once. A numbered row's caption is "Critical Error #" followed by
// the code minus `number_base`.
struct CriticalError {
    int32_t first, last;
    const char* caption;
    const char* text;
    bool numbered;
    int32_t number_base;
};

constexpr auto critical_errors = std::to_array<CriticalError>({
    {11, 11, "Critical Error", "Division by zero", false, 0},
    {256, 256, "Critical Error", "Out of stack space", false, 0},
    {257, 257, "Critical Error #1", "Out of memory", false, 0},
    {259, 259, "Critical Error", "Cannot find dynamic library file", false, 0},
    {260, 261, "Critical Error", "Sub/Function does not exist in dynamic library", false, 0},
    {262, 262, "Critical Error", "Function unavailable in Nimbrel", false, 0},
    {263, 263, "Critical Error", "Paths/Filename illegal in Nimbrel", false, 0},
    {270, 270, "Critical Error", "_GL command called outside of SUB _GL's scope", false, 0},
    {271, 271, "Critical Error", "END/SYSTEM called within SUB _GL's scope", false, 0},
    {502, 518, "Critical Error #", "Out of memory", true, 500},  // the runtime's internal stores
});

constexpr uint32_t first_dialog_critical = 300;
constexpr uint32_t last_dialog_critical = 313;

// A critical error is a crash, so the process must not report success.
constexpr int crash_exit_status = 1;

struct ErrorState {
    // THREADING: written by raise_error on the failing thread (the program thread, or the window
    // thread during start-up) and cleared by the dialog's Yes on the program thread; the first
    // non-zero value wins by compare-and-swap.
    std::atomic<uint32_t> pending_error{0};
    uint32_t error_line = 0;
    uint32_t error_procedure_line = 0;
    const char* error_procedure_name = nullptr;
    int32_t repeat_statement = 0;
    DialogBufferAllocator allocate = nullptr;
};

ErrorState& error_state() {
    static ErrorState state;
    return state;
}

const CriticalError* critical_error_of(int32_t code) {
    for (const CriticalError& row : critical_errors) {
        if (code >= row.first && code <= row.last) return &row;
    }
    return nullptr;
}

void* dialog_buffer(size_t bytes) {
    DialogBufferAllocator allocate = error_state().allocate;
    return allocate != nullptr ? allocate(bytes) : std::malloc(bytes);
}

[[noreturn]] void crash_without_buffer() { platform::exit_process(crash_exit_status); }

}  // namespace

void raise_error(int32_t code) {
    if (const CriticalError* critical = critical_error_of(code)) {
        std::array<char, 32> caption{};
        if (critical->numbered) {
            std::snprintf(caption.data(), caption.size(), "%s%d", critical->caption,
                          code - critical->number_base);
        } else {
            std::snprintf(caption.data(), caption.size(), "%s", critical->caption);
        }
        platform::message_box(caption.data(), critical->text, platform::BoxKind::ok);
        platform::exit_process(crash_exit_status);
    }
    const uint32_t recorded = code <= 0 ? uint32_t{error_illegal_function_call}
                                        : static_cast<uint32_t>(code);
    uint32_t none = 0;
    if (error_state().pending_error.compare_exchange_strong(none, recorded)) {
        runtime_signals().event_pending = 1;
    }
}

bool error_pending() { return error_state().pending_error != 0; }

uint32_t pending_error() { return error_state().pending_error; }

const char* error_message(uint32_t code) {
    for (const ErrorMessage& row : error_messages) {
        if (row.code == code) return row.message;
    }
    return "Unprintable error";
}

int32_t repeat_statement() { return error_state().repeat_statement; }

void statement_check(uint32_t line, uint32_t procedure_line, const char* procedure_name) {
    RuntimeSignals& signals = runtime_signals();
    ErrorState& state = error_state();
    signals.event_pending = 0;
    state.repeat_statement = 0;
    while (signals.pause_requested != 0 || signals.stop_requested != 0) {
        if (signals.stop_requested != 0) park_program_thread();
        platform::sleep_ms(10);
    }
    if (state.pending_error != 0) {
        state.error_line = line;
        state.error_procedure_line = procedure_line;
        state.error_procedure_name = procedure_name;
        show_error_dialog();
    }
    // No key or timer trap is ever armed, so there is nothing to dispatch otherwise.
}

void show_error_dialog() {
    ErrorState& state = error_state();
    const uint32_t code = state.pending_error;
    const bool critical = code >= first_dialog_critical && code <= last_dialog_critical;
    const char* message = error_message(code);
    const bool in_procedure = state.error_procedure_line != 0;
    const uint32_t line = in_procedure ? state.error_procedure_line : state.error_line;
    const char* location = in_procedure && state.error_procedure_name != nullptr
                               ? state.error_procedure_name
                               : (in_procedure ? "" : "main module");
    const char* question = critical ? "" : "\nContinue?";
    const char* caption_prefix = critical ? "Critical Error #" : "Unhandled Error #";

    const int text_length = std::snprintf(nullptr, 0, "Line: %u (in %s)\n%s%s", line, location,
                                          message, question);
    const int caption_length = std::snprintf(nullptr, 0, "%s%u", caption_prefix, code);
    char* text = static_cast<char*>(dialog_buffer(static_cast<size_t>(text_length) + 1));
    if (text == nullptr) crash_without_buffer();
    char* caption = static_cast<char*>(dialog_buffer(static_cast<size_t>(caption_length) + 1));
    if (caption == nullptr) crash_without_buffer();
    std::snprintf(text, static_cast<size_t>(text_length) + 1, "Line: %u (in %s)\n%s%s", line,
                  location, message, question);
    std::snprintf(caption, static_cast<size_t>(caption_length) + 1, "%s%u", caption_prefix, code);

    if (critical) {
        platform::message_box(caption, text, platform::BoxKind::ok);
        std::free(text);
        std::free(caption);
        platform::exit_process(crash_exit_status);
    }
    const platform::BoxAnswer answer =
        platform::message_box(caption, text, platform::BoxKind::yes_no);
    std::free(text);
    std::free(caption);
    if (answer == platform::BoxAnswer::no) {
        runtime_signals().exit_now = 1;
        park_program_thread();
    }
    state.pending_error = 0;
}

void show_alert(const char* text) { platform::message_box("Alert", text, platform::BoxKind::ok); }

void show_alert_number(int32_t number) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%d", number);
    show_alert(text.data());
}

void set_dialog_buffer_allocator(DialogBufferAllocator allocate) {
    error_state().allocate = allocate;
}

void reset_error_state() {
    ErrorState& state = error_state();
    state.pending_error = 0;
    state.error_line = 0;
    state.error_procedure_line = 0;
    state.error_procedure_name = nullptr;
    state.repeat_statement = 0;
}
