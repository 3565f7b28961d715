// The runtime's statement bookkeeping, kept in one place so the game's routines read as their
// screens. Every step of the game carries a fixed statement number (increasing in program order);
// after a step the temporaries it made are released and, when the runtime has an event pending
// (an error to report, a pause, a shutdown), the statement check runs with that number, so that
// the error dialog can say which step failed.
#pragma once

#include <cstdint>

#include "runtime/core/rt_string.h"

// One per routine, made on entry: the temporaries below its mark belong to the caller.
struct Steps {
    uint32_t temp_mark = ::temp_mark();
};

// Ends the step numbered `statement`.
void finish_step(const Steps& steps, uint32_t statement);
