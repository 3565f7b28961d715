#include "game/characters.h"

#include <array>
#include <string_view>

namespace {

// The phrases on the examination screens are the dispatch texts themselves.

constexpr auto examine_cabby_lines = std::to_array<std::string_view>({
    "An older man, clean-shaven, still wearing the kind of hat a grandfather wears",
    "on a golf course. He won't be playing the back nine again.",
    "",
    "TALK TO CABBY",
});
constexpr auto talk_to_cabby_lines = std::to_array<std::string_view>({
    "Dead men tell no tales.",
});

constexpr auto examine_ben_lines = std::to_array<std::string_view>({
    "A young man in his early twenties in a university sweater, with hair that",
    "hasn't met a comb this week and glasses he keeps pushing back up his nose.",
    "He doesn't strike me as the kind who could have done it.",
    "",
    "TALK TO BEN",
    "TELL ME WHAT HAPPENED",
});
constexpr auto talk_to_ben_lines = std::to_array<std::string_view>({
    "\"I live right across the street. I was on my way back from the library, and",
    "the cabby said he was putting the cab away in the garage anyway, so I could",
    "just walk the rest of the way from here. It was no distance at all.",
    "Who could have done a thing like this?\"",
});
constexpr auto ben_what_happened_lines = std::to_array<std::string_view>({
    "\"The cab pulled into the garage and I paid my fare, same as any other night.",
    "I was opening the door to get out when I heard it. A gunshot, loud as all get",
    "out. I just froze. I couldn't move a muscle. Then somebody was calling the",
    "police, and here I am.\"",
});

constexpr auto examine_fish_lines = std::to_array<std::string_view>({
    "He's the sleazy type you'd expect behind a desk like that: thinning hair",
    "combed over a scalp it isn't fooling, and an expensive cigar working in his",
    "teeth, the kind that runs thirty dollars a box.",
    "",
    "TALK TO MR FISH",
    "NICE CIGAR",
    "WHY WAS THE FARE ALLOWED HERE",
    "DO YOU OWN A GUN",
});
constexpr auto talk_to_fish_lines = std::to_array<std::string_view>({
    "Detective, what can I do you for? Coffee...cigar?",
});
constexpr auto fish_cigar_lines = std::to_array<std::string_view>({
    "\"Thanks. Gray Owl, my favourite brand. My old man smoked them till the day",
    "he died, and I guess it rubbed off. I love the aroma, and the smoke... a good",
    "cigar's smoke hangs around a room like an old friend.\"",
});
constexpr auto fish_fare_lines = std::to_array<std::string_view>({
    "\"How should I know what my people get up to? I don't babysit them.",
    "I stay in this office. I pay the bills, I keep the mechanics on call, and I",
    "hope to God people keep staying off the buses and the streetcars.",
    "That's my whole job, Detective.\"",
});
constexpr auto fish_gun_lines = std::to_array<std::string_view>({
    "\"Of course I own a gun. In this town you can't be too careful.",
    "If it was up to me, every one of my drivers would be carrying one.",
    "Mine? A Saturday Night Special. It's no beauty, but it does the job.",
    "Why do you ask?\"",
});

constexpr auto examine_lisa_lines = std::to_array<std::string_view>({
    "She's only a few years younger than Bill, Mr. Walsh to you and me. I'd have",
    "bet on a dispatcher younger than his son, not a woman close to his own age.",
    "",
    "TALK TO LISA",
    "ASK ABOUT CABBY",
    "MR FISH",
    "RIVAL COMPANIES",
});
constexpr auto talk_to_lisa_lines = std::to_array<std::string_view>({
    "\"It's a shame, that's what it is. He didn't deserve this. He was always so",
    "happy, always whistling. He loved that job.\"",
});
constexpr auto lisa_cabby_lines = std::to_array<std::string_view>({
    "\"He was a good man. Too good for a place like this. Everybody liked him.",
    "I'm sorry, Detective. I still can't believe he's gone.\"",
});
constexpr auto lisa_fish_lines = std::to_array<std::string_view>({
    "\"Mr. Fish? He's alright. He pays us and he treats us well. But business is",
    "slow, and we're forever fighting off the rival companies.\"",
});
constexpr auto lisa_rivals_lines = std::to_array<std::string_view>({
    "\"The big outfits that moved into town. They're driving the little companies",
    "out of business one fare at a time. I wouldn't be surprised to see Mr. Fish",
    "close the doors for good. He's been awful stressed lately.\"",
});

static_assert(lines_fit(examine_cabby_lines) && lines_fit(examine_ben_lines) &&
              lines_fit(talk_to_ben_lines) && lines_fit(ben_what_happened_lines) &&
              lines_fit(examine_fish_lines) && lines_fit(fish_cigar_lines) &&
              lines_fit(fish_fare_lines) && lines_fit(fish_gun_lines) &&
              lines_fit(examine_lisa_lines) && lines_fit(talk_to_lisa_lines) &&
              lines_fit(lisa_cabby_lines) && lines_fit(lisa_fish_lines) &&
              lines_fit(lisa_rivals_lines));

}  // namespace

// Each screen takes the steps from its number: the clear, its lines, the wait.
constexpr Screen examine_cabby_screen{500, examine_cabby_lines};
constexpr Screen talk_to_cabby_screen{520, talk_to_cabby_lines};
constexpr Screen examine_ben_screen{540, examine_ben_lines};
constexpr Screen talk_to_ben_screen{560, talk_to_ben_lines};
constexpr Screen ben_what_happened_screen{580, ben_what_happened_lines};
constexpr Screen examine_fish_screen{600, examine_fish_lines};
constexpr Screen talk_to_fish_screen{620, talk_to_fish_lines};
constexpr Screen fish_cigar_screen{640, fish_cigar_lines};
constexpr Screen fish_fare_screen{660, fish_fare_lines};
constexpr Screen fish_gun_screen{680, fish_gun_lines};
constexpr Screen examine_lisa_screen{700, examine_lisa_lines};
constexpr Screen talk_to_lisa_screen{720, talk_to_lisa_lines};
constexpr Screen lisa_cabby_screen{740, lisa_cabby_lines};
constexpr Screen lisa_fish_screen{760, lisa_fish_lines};
constexpr Screen lisa_rivals_screen{780, lisa_rivals_lines};
