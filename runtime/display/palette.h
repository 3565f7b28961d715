#pragma once
// The runtime's built-in colour tables. Entries are 32-bit 0xAARRGGBB words, the layout the
// frame builder writes straight into frames.

#include <array>
#include <cstdint>

// The 256-colour default palette: the 16 text colours first, then a grey ramp (16-31), the
// colour wheels (32-247) and eight black entries. Every entry has alpha 255. Text pages copy the
// first 16 entries into their own palette and leave the rest 0.
const std::array<uint32_t, 256>& default_palette();

// The 64-colour EGA palette (index bits 0-2 blue, green, red at 2/3 weight, bits 3-5 the same
// at 1/3 weight). Text pages do not use it; it serves the screen modes that share the tables.
const std::array<uint32_t, 64>& ega_palette();
