// The screen's handshake with the frame builder. Re-creating the screen frees storage the
// builder reads, so the screen holds the builder off around it and tells it that the previous
// frame can no longer be compared against. The hooks do nothing until the display fills them.
#pragma once

struct FrameBuilderHooks {
    void (*pause_frame_building)();
    void (*resume_frame_building)();
    void (*invalidate_comparison)();  // the next pass redraws every cell
};

// THREADING: filled once on the window thread during start-up, before any other thread runs;
// read afterwards by the program thread only.
FrameBuilderHooks& frame_builder_hooks();
