// The game of the test build: the real entry binds this in place of the game (the link wraps the
// game's symbol), and this raises the error TARROWGATE_FAULT asks for before handing over to the
// real game, so that the game's first statement boundary reports it.
//
//   TARROWGATE_FAULT=error:N     an ordinary runtime error: the error dialog, then Yes continues
//                                into the game and No ends the process with status 0;
//   TARROWGATE_FAULT=critical:N  a critical error: its box, then exit status 1;
//   unset                        the game as it is.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/errors.h"

extern "C" void __real__Z8run_gamev();

extern "C" void __wrap__Z8run_gamev() {
    if (const char* fault = std::getenv("TARROWGATE_FAULT")) {
        int code = 0;
        if (std::sscanf(fault, "error:%d", &code) == 1 || std::sscanf(fault, "critical:%d", &code) == 1) {
            std::printf("forcing runtime error %d\n", code);
            std::fflush(stdout);
            raise_error(code);
        }
    }
    __real__Z8run_gamev();
    std::printf("the game returned\n");
}
