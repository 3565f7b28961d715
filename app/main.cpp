#include "runtime/core/runtime.h"

int main(int argc, char** argv) { run_runtime(argc, argv); }
