#include "game/steps.h"

#include "runtime/core/errors.h"
#include "runtime/core/signals.h"

void finish_step(const Steps& steps, uint32_t statement) {
    release_temporaries(steps.temp_mark);
    if (runtime_signals().event_pending.load() != 0) statement_check(statement, 0, nullptr);
}
