// Reading a text page the way the screen shows it, so that assertions compare against lines of
// text instead of cell arrays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text/screen.h"

// The characters of row `row` (1-based), all `width` of them.
std::string row_text(const Image& image, int32_t row);

// Every row of the page, top first; trailing spaces removed unless `keep_trailing_spaces`.
std::vector<std::string> page_rows(const Image& image, bool keep_trailing_spaces = false);

// The rows `first_row` to `last_row` (default: all) with trailing spaces removed, each followed
// by '\n', so a failing comparison prints the screen.
std::string page_text(const Image& image, int32_t first_row = 1, int32_t last_row = 0);

// The cell at row, column (1-based).
TextCell cell_at(const Image& image, int32_t row, int32_t column);
uint8_t attribute_at(const Image& image, int32_t row, int32_t column);

// The attributes of a row as two hex digits per cell, space separated ("07 07 1E ...").
std::string row_attributes(const Image& image, int32_t row);

// Success when every cell of `row` has `attribute`; the failure names the first odd column.
testing::AssertionResult row_has_attribute(const Image& image, int32_t row, uint8_t attribute);

// Success when every cell of `row` is a space with `attribute`.
testing::AssertionResult row_is_blank(const Image& image, int32_t row, uint8_t attribute = 0x07);

// The record of page `page` (created when missing), for reading in tests.
const Image& page_record(int32_t page);
