// The eight locations of the cab company's premises: the movement rules between them and the
// description printed at every turn.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct GameState;

enum class Direction { north, east, south, west };

// One movement rule: from `from`, the direction leads to `to`.
struct MovementRule {
    Direction direction = Direction::north;
    int32_t from = 0;
    int32_t to = 0;
};

// Where the first rule of `direction` that starts at `from` leads, if any rule does.
std::optional<int32_t> destination(Direction direction, int32_t from);

// Moves the player by the first matching rule only (north from 3 ends in 2, not 4); returns
// whether a rule matched. A move shows nothing: the next turn draws the new location.
bool move_player(GameState& game, Direction direction);

// The description of a location (1 to 8), two to six lines.
std::span<const std::string_view> location_description(int32_t location);

// Prints the current location's description, one whole line each, with no blank line around it.
void describe_location(const GameState& game);
