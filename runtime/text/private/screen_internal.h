// What the text area's own modules need of the screen beyond the public operations: the mutable
// screen state, the slot and image primitives and the 50-row permission of locate.
#pragma once

#include <cstdint>

#include "runtime/text/screen.h"

ScreenState& mutable_screen_state();

int32_t allocate_image_slot();
int32_t release_image_slot(int32_t slot);
int32_t init_image(TextCell* storage, int32_t width, int32_t height, int32_t mode);
int32_t create_image(int32_t width, int32_t height, int32_t mode);
// Frees the storage an image owns and releases its slot; 1 on success, 0 when not in use.
int32_t free_image(int32_t slot);

// The record a handle (< 0) or page number (>= 0) names; nullptr for an invalid handle (the
// caller raises its own error code). Pages are created when missing.
Image* resolve_image(int32_t page_or_handle);

// locate's one-time permission to switch to 50 rows.
bool fifty_row_permission();
void withdraw_fifty_row_permission();

// The width statement's part used here: leaves a text shape pending for the next re-creation
// and withdraws the 50-row permission.
void set_pending_text_shape(int32_t columns, int32_t rows, uint32_t font);
