#include "game/locations.h"

#include <array>

#include "game/flow.h"
#include "game/steps.h"

namespace {

using enum Direction;
using namespace place;

// Each direction's rules in the order they are tested: direction, from, to.
constexpr std::array<MovementRule, 14> movement_table = {{
    {north, waiting_room, crime_scene},
    {north, crime_scene, twisted_hallway},
    {north, dispatch_room, smoky_corridor},
    {north, smoky_corridor, box_lined_hallway},
    {east, garage_entrance, crime_scene},
    {east, twisted_hallway, box_lined_hallway},
    {east, dispatch_room, fish_office},
    {south, twisted_hallway, crime_scene},
    {south, crime_scene, waiting_room},
    {south, box_lined_hallway, smoky_corridor},
    {south, smoky_corridor, dispatch_room},
    {west, fish_office, dispatch_room},
    {west, box_lined_hallway, twisted_hallway},
    {west, crime_scene, garage_entrance},
}};

constexpr auto garage_entrance_lines = std::to_array<std::string_view>({
    "The garage door of the cab company stands wide open. I'm out on the sidewalk,",
    "and from here I can see the crime scene a few feet inside under the lights.",
});
constexpr auto crime_scene_lines = std::to_array<std::string_view>({
    "The CABBY is slumped over in his cab like a man catching forty winks between",
    "fares. He isn't. There's a pool of blood at his feet, going dark on the floor.",
});
constexpr auto waiting_room_lines = std::to_array<std::string_view>({
    "What passes for a waiting room: three chairs against the wall and a coffee",
    "maker wearing an out-of-order sign. BEN, the cabby's last fare, sits in one",
    "of the chairs looking like he'd give a year's pay to be somewhere else.",
});
constexpr auto twisted_hallway_lines = std::to_array<std::string_view>({
    "A small hallway twists its way back toward a huddle of small offices.",
    "The walls are panelled in thin pressed board, the kind you find in somebody's",
    "basement, and they make the place about as cheerful as one.",
});
constexpr auto box_lined_hallway_lines = std::to_array<std::string_view>({
    "Office boxes line the hallway, stacked shoulder high and going soft with damp.",
    "The rooms along it are empty. Nobody's worked back here in a long time.",
});
constexpr auto smoky_corridor_lines = std::to_array<std::string_view>({
    "The overhead lights flicker like they can't make up their minds. Cigar smoke",
    "lingers in the air, and somewhere up ahead a typewriter is clattering away.",
});
constexpr auto dispatch_room_lines = std::to_array<std::string_view>({
    "A small room, cut in two by a wooden divider about four feet high. On the",
    "other side of it sits the dispatcher, LISA, a phone jammed against her ear,",
    "typing furiously, like the machine owes her money.",
});
constexpr auto fish_office_lines = std::to_array<std::string_view>({
    "The office of MR. FISH, its walls stained yellow by years of smoke. The man",
    "himself sits behind his desk and sizes me up like a fighter before the bell.",
    "Papers and coffee cups weeks past washing litter the desk, and the ashtray is",
    "full to the brim.",
    "The walls are bare. Not a single photo: no wife, no kids, not even a dog.",
    "A man who hangs nothing on his walls has nobody to show, or something to hide.",
});

struct Description {
    uint32_t first_statement = 0;
    std::span<const std::string_view> lines;
};

// Location n at n - 1. No block is longer than six lines, so the prompt stands no lower than
// row 23.
constexpr std::array<Description, 8> descriptions = {{
    {410, garage_entrance_lines},
    {420, crime_scene_lines},
    {430, waiting_room_lines},
    {440, twisted_hallway_lines},
    {450, box_lined_hallway_lines},
    {460, smoky_corridor_lines},
    {470, dispatch_room_lines},
    {480, fish_office_lines},
}};

constexpr bool descriptions_fit() {
    for (const Description& description : descriptions) {
        if (!lines_fit(description.lines) || description.lines.size() > 6) return false;
    }
    return true;
}
static_assert(descriptions_fit());

}  // namespace

std::optional<int32_t> destination(Direction direction, int32_t from) {
    for (const MovementRule& rule : movement_table) {
        if (rule.direction == direction && rule.from == from) return rule.to;
    }
    return std::nullopt;
}

bool move_player(GameState& game, Direction direction) {
    const std::optional<int32_t> to = destination(direction, game.location);
    if (to) game.location = *to;
    return to.has_value();
}

std::span<const std::string_view> location_description(int32_t location) {
    return descriptions[location - 1].lines;
}

void describe_location(const GameState& game) {
    const Description& description = descriptions[game.location - 1];
    print_lines(description.lines, description.first_statement);
}
