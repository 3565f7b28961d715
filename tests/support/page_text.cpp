#include "tests/support/page_text.h"

#include <cassert>
#include <cstdio>

namespace {

const TextCell& cell_ref(const Image& image, int32_t row, int32_t column) {
    assert(row >= 1 && row <= image.height && column >= 1 && column <= image.width);
    return image.cells[(row - 1) * image.width + (column - 1)];
}

std::string trimmed(std::string text) {
    const size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

}  // namespace

std::string row_text(const Image& image, int32_t row) {
    std::string text(image.width, ' ');
    for (int32_t column = 1; column <= image.width; ++column) {
        text[column - 1] = static_cast<char>(cell_ref(image, row, column).character);
    }
    return text;
}

std::vector<std::string> page_rows(const Image& image, bool keep_trailing_spaces) {
    std::vector<std::string> rows;
    rows.reserve(image.height);
    for (int32_t row = 1; row <= image.height; ++row) {
        std::string text = row_text(image, row);
        rows.push_back(keep_trailing_spaces ? text : trimmed(text));
    }
    return rows;
}

std::string page_text(const Image& image, int32_t first_row, int32_t last_row) {
    if (last_row == 0) last_row = image.height;
    std::string text;
    for (int32_t row = first_row; row <= last_row; ++row) {
        text += trimmed(row_text(image, row));
        text += '\n';
    }
    return text;
}

TextCell cell_at(const Image& image, int32_t row, int32_t column) {
    return cell_ref(image, row, column);
}

uint8_t attribute_at(const Image& image, int32_t row, int32_t column) {
    return cell_ref(image, row, column).attribute;
}

std::string row_attributes(const Image& image, int32_t row) {
    std::string text;
    for (int32_t column = 1; column <= image.width; ++column) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", attribute_at(image, row, column));
        if (column > 1) text += ' ';
        text += hex;
    }
    return text;
}

testing::AssertionResult row_has_attribute(const Image& image, int32_t row, uint8_t attribute) {
    for (int32_t column = 1; column <= image.width; ++column) {
        const uint8_t found = attribute_at(image, row, column);
        if (found != attribute) {
            return testing::AssertionFailure()
                   << "row " << row << " column " << column << " has attribute 0x" << std::hex
                   << int{found} << ", expected 0x" << int{attribute};
        }
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult row_is_blank(const Image& image, int32_t row, uint8_t attribute) {
    for (int32_t column = 1; column <= image.width; ++column) {
        const TextCell cell = cell_at(image, row, column);
        if (cell.character != 0x20 || cell.attribute != attribute) {
            return testing::AssertionFailure()
                   << "row " << row << " column " << column << " holds character 0x" << std::hex
                   << int{cell.character} << " attribute 0x" << int{cell.attribute}
                   << ", expected a blank with 0x" << int{attribute} << "; row reads \""
                   << row_text(image, row) << "\"";
        }
    }
    return testing::AssertionSuccess();
}

const Image& page_record(int32_t page) {
    return *image_record(page_image(page));
}
