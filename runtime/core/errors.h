// Runtime errors: one pending error number (first one wins), reported at the next statement
// boundary by the error dialog; critical codes end the process after their message box.
#pragma once

#include <cstdint>

// Error numbers the runtime itself raises; the full message table lives in errors.cpp.
enum ErrorCode : int32_t {
    error_illegal_function_call = 5,
    error_out_of_memory = 7,
    error_division_by_zero = 11,
    error_type_mismatch = 13,
    error_internal = 51,
    error_invalid_handle = 258,
};

// Records `code` unless an error is already pending (codes <= 0 become 5) and sets
// event_pending; a critical code shows its box and ends the process with status 1.
void raise_error(int32_t code);

// True while an error waits to be reported: every runtime statement then returns at once.
bool error_pending();
uint32_t pending_error();

// The message the dialog shows for `code` ("Unprintable error" when the table has none).
const char* error_message(uint32_t code);

// The statement boundary: clears event_pending, waits while paused, parks when stopping, then
// reports a pending error through the dialog. The game passes its step number, 0 and nullptr.
void statement_check(uint32_t line, uint32_t procedure_line = 0,
                     const char* procedure_name = nullptr);

// Reports the pending error (run by statement_check): Yes (or no box) clears it and returns; No
// sets exit_now and parks the program thread; codes 300-313 show an OK box and end the process
// with status 1.
void show_error_dialog();

// The statement bookkeeping the game reads after a check: never set in this program.
int32_t repeat_statement();

// Modal "Alert" boxes for internal faults the runtime survives.
void show_alert(const char* text);
void show_alert_number(int32_t number);

// Clears the error state; for tests that make a fresh runtime.
void reset_error_state();
