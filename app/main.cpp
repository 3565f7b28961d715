#include "runtime/core/runtime.h"

int main(int argc, char** argv) { return run_runtime(argc, argv); }
