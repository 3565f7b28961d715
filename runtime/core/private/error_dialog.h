// Test access to the error dialog's one allocation, so that its failure path can be exercised.
#pragma once

#include <cstddef>

using DialogBufferAllocator = void* (*)(size_t bytes);

// nullptr puts the C library's malloc back.
void set_dialog_buffer_allocator(DialogBufferAllocator allocate);
