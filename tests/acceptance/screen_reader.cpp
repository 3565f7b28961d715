#include "tests/acceptance/screen_reader.h"

#include <zlib.h>

#include <cstdio>
#include <map>
#include <optional>

#include "runtime/display/palette.h"
#include "runtime/display/private/glyph_data.h"

namespace acceptance {

namespace {

// Bitmap -> lowest character code with that bitmap.
using GlyphIndex = std::map<GlyphRows, uint8_t>;

const GlyphIndex& glyph_index() {
    static const GlyphIndex index = [] {
        GlyphIndex built;
        const GlyphTable& glyphs = reference_glyphs();
        for (int code = 0; code < 256; ++code) {
            built.emplace(glyphs[static_cast<size_t>(code)], static_cast<uint8_t>(code));
        }
        return built;
    }();
    return index;
}

std::optional<int> colour_index(uint32_t rgb) {
    const auto& colours = reference_colours();
    for (size_t i = 0; i < colours.size(); ++i) {
        if (colours[i] == rgb) return static_cast<int>(i);
    }
    return std::nullopt;
}

std::string hex_colour(uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFFu);
    return text;
}

std::string cell_name(int row, int column) {
    return "cell at row " + std::to_string(row) + ", column " + std::to_string(column);
}

// Decodes the cell whose top-left pixel is (x, y).
bool decode_cell(const Picture& picture, int row, int column, DecodedCell& cell,
                 std::string& error) {
    const int x0 = (column - 1) * cell_width;
    const int y0 = (row - 1) * cell_height;
    std::array<int, 2> colours{unknown_colour, unknown_colour};
    GlyphRows first_colour_mask{};  // pixels of colours[0]
    for (int y = 0; y < cell_height; ++y) {
        uint8_t bits = 0;
        for (int x = 0; x < cell_width; ++x) {
            const uint32_t rgb =
                picture.pixels[static_cast<size_t>((y0 + y) * picture.width + x0 + x)] & 0xFFFFFFu;
            const std::optional<int> index = colour_index(rgb);
            if (!index) {
                error = cell_name(row, column) + ": pixel (" + std::to_string(x0 + x) + ", " +
                        std::to_string(y0 + y) + ") is " + hex_colour(rgb) +
                        ", which is none of the 16 text colours";
                return false;
            }
            if (colours[0] == unknown_colour) colours[0] = *index;
            if (*index == colours[0]) {
                bits = static_cast<uint8_t>(bits | (0x80u >> x));
            } else if (colours[1] == unknown_colour || colours[1] == *index) {
                colours[1] = *index;
            } else {
                error = cell_name(row, column) + " holds three colours (" +
                        std::to_string(colours[0]) + ", " + std::to_string(colours[1]) + ", " +
                        std::to_string(*index) + "); a text cell has two";
                return false;
            }
        }
        first_colour_mask[static_cast<size_t>(y)] = bits;
    }

    if (colours[1] == unknown_colour) {
        if (colours[0] <= 7) {
            cell = DecodedCell{32, unknown_colour, colours[0]};
        } else {
            cell = DecodedCell{219, colours[0], unknown_colour};
        }
        return true;
    }

    GlyphRows second_colour_mask{};
    for (size_t y = 0; y < second_colour_mask.size(); ++y) {
        second_colour_mask[y] = static_cast<uint8_t>(~first_colour_mask[y]);
    }
    std::optional<DecodedCell> best;
    const auto consider = [&](const GlyphRows& lit, int foreground, int background) {
        if (background > 7) return;
        const auto found = glyph_index().find(lit);
        if (found == glyph_index().end()) return;
        if (!best || found->second < best->character) {
            best = DecodedCell{found->second, foreground, background};
        }
    };
    consider(first_colour_mask, colours[0], colours[1]);
    consider(second_colour_mask, colours[1], colours[0]);
    if (!best) {
        std::string rows;
        for (uint8_t bits : first_colour_mask) {
            rows += ' ';
            for (int x = 0; x < cell_width; ++x) rows += (bits & (0x80u >> x)) ? '#' : '.';
        }
        error = cell_name(row, column) + " (colours " + std::to_string(colours[0]) + " and " +
                std::to_string(colours[1]) + ") matches no glyph; its rows are" + rows;
        return false;
    }
    cell = *best;
    return true;
}

char shown_character(uint8_t code) {
    return (code >= 32 && code <= 126) ? static_cast<char>(code) : '\0';
}

void append_shown(std::string& text, uint8_t code) {
    const char c = shown_character(code);
    if (c != '\0') {
        text += c;
    } else {
        text += "\u00B7";
    }
}

void put_u32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void put_chunk(std::string& out, const char* type, const std::string& data) {
    put_u32(out, static_cast<uint32_t>(data.size()));
    std::string typed = std::string(type, 4) + data;
    out += typed;
    put_u32(out, static_cast<uint32_t>(
                     crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size())));
}

}  // namespace

const GlyphTable& reference_glyphs() {
    static const GlyphTable table = [] {
        GlyphTable built{};
        for (size_t code = 0; code < built.size(); ++code) {
            for (size_t row = 0; row < cell_height; ++row) {
                built[code][row] = glyph_rows_8x16[code * cell_height + row];
            }
        }
        return built;
    }();
    return table;
}

const std::array<uint32_t, 16>& reference_colours() {
    static const std::array<uint32_t, 16> colours = [] {
        std::array<uint32_t, 16> built{};
        for (size_t i = 0; i < built.size(); ++i) built[i] = default_palette()[i] & 0xFFFFFFu;
        return built;
    }();
    return colours;
}

bool decode_picture(const Picture& picture, Screen& screen, std::string& error) {
    if (picture.width != frame_width || picture.height != frame_height ||
        picture.pixels.size() != static_cast<size_t>(frame_width * frame_height)) {
        error = "the picture is " + std::to_string(picture.width) + "x" +
                std::to_string(picture.height) + ", not " + std::to_string(frame_width) + "x" +
                std::to_string(frame_height);
        return false;
    }
    for (int row = 1; row <= screen_rows; ++row) {
        for (int column = 1; column <= screen_columns; ++column) {
            DecodedCell& cell =
                screen.cells[static_cast<size_t>((row - 1) * screen_columns + (column - 1))];
            if (!decode_cell(picture, row, column, cell, error)) return false;
        }
    }
    return true;
}

std::string Screen::row_text(int row) const {
    std::string text;
    for (int column = 1; column <= screen_columns; ++column) {
        const char c = shown_character(at(row, column).character);
        text += c != '\0' ? c : '\x7F';
    }
    return text;
}

std::string Screen::row_trimmed(int row) const {
    std::string text = row_text(row);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string Screen::text_at(int row, int column, int length) const {
    return row_text(row).substr(static_cast<size_t>(column - 1), static_cast<size_t>(length));
}

std::string screen_text(const Screen& screen) {
    std::string text = "    ";
    for (int column = 1; column <= screen_columns; ++column) {
        text += column % 10 == 0 ? static_cast<char>('0' + (column / 10) % 10) : ' ';
    }
    text += "\n    ";
    for (int column = 1; column <= screen_columns; ++column) {
        text += static_cast<char>('0' + column % 10);
    }
    text += '\n';
    for (int row = 1; row <= screen_rows; ++row) {
        char number[8];
        std::snprintf(number, sizeof number, "%2d |", row);
        text += number;
        for (int column = 1; column <= screen_columns; ++column) {
            append_shown(text, screen.at(row, column).character);
        }
        text += "|\n";
    }
    return text;
}

std::string screen_colours(const Screen& screen) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int row = 1; row <= screen_rows; ++row) {
        char number[8];
        std::snprintf(number, sizeof number, "%2d ", row);
        text += number;
        for (int column = 1; column <= screen_columns; ++column) {
            const DecodedCell& cell = screen.at(row, column);
            text += cell.foreground == unknown_colour ? '.' : digits[cell.foreground];
            text += cell.background == unknown_colour ? '.' : digits[cell.background];
        }
        text += '\n';
    }
    return text;
}

bool write_png(const Picture& picture, const std::string& path) {
    std::string raw;
    raw.reserve(static_cast<size_t>(picture.height) * (1 + 3 * static_cast<size_t>(picture.width)));
    for (int y = 0; y < picture.height; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t rgb = picture.pixels[static_cast<size_t>(y * picture.width + x)];
            raw += static_cast<char>((rgb >> 16) & 0xFF);
            raw += static_cast<char>((rgb >> 8) & 0xFF);
            raw += static_cast<char>(rgb & 0xFF);
        }
    }
    uLongf packed_size = compressBound(raw.size());
    std::string packed(packed_size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
                  reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9) != Z_OK) {
        return false;
    }
    packed.resize(packed_size);

    std::string header;
    put_u32(header, static_cast<uint32_t>(picture.width));
    put_u32(header, static_cast<uint32_t>(picture.height));
    header += '\x08';  // 8 bits per channel
    header += '\x02';  // RGB
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

    std::string file = "\x89PNG\r\n\x1A\n";
    put_chunk(file, "IHDR", header);
    put_chunk(file, "IDAT", packed);
    put_chunk(file, "IEND", "");

    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace acceptance
