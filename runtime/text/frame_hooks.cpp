#include "runtime/text/frame_hooks.h"

namespace {

void do_nothing() {}

FrameBuilderHooks hooks{do_nothing, do_nothing, do_nothing};

}  // namespace

FrameBuilderHooks& frame_builder_hooks() {
    return hooks;
}
