#include "game/evidence.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "game/steps.h"
#include "runtime/input/program_end.h"
#include "runtime/text/cursor.h"

namespace {

struct EvidenceItem {
    int32_t GameState::*held = nullptr;  // held when the flag is 1
    std::string_view inventory_line;
};

constexpr std::array<EvidenceItem, 3> evidence_items = {{
    {&GameState::has_bill, "A 20 bill soaked in the victims blood."},
    {&GameState::has_cigar, "A Cigar... probably left by the killer."},
    {&GameState::has_bullet_case, "A Bullet Case from a revolver."},
}};

constexpr auto examine_bill_lines = std::to_array<std::string_view>({
    "A twenty-dollar bill, left behind at the scene of the crime. It was lying in",
    "the victim's blood, and it drank up plenty.",
});
constexpr auto examine_cigar_lines = std::to_array<std::string_view>({
    "A half-finished cigar, crushed flat, still smelling of burnt tobacco.",
    "The label on what's left of it reads Gray Owl.",
});
constexpr auto examine_bullet_case_lines = std::to_array<std::string_view>({
    "A bullet case from a Saturday Night Special. Not my choice of weapon, but it",
    "gets the job done all the same: cheap iron kills a man as dead as any.",
});

constexpr auto wrong_accusation_lines = std::to_array<std::string_view>({
    "I had the suspect cuffed and hauled downtown before the coffee got cold.",
    "On further review I was wrong. Dead wrong, and the whole department knew it.",
    "Everybody gets one wrong now and then. Most of them just don't cost a career.",
});

// Speech is set off by hyphens, one before its first word and one after its last.
constexpr auto confession_first_page = std::to_array<std::string_view>({
    "I walked into Mr. Fish's office, and this time I saw fear on his face.",
    "",
    "-What can I do for you, Detective?- he asked, trembling.",
    "",
    "-You know why I'm here,- I said. -Why'd you do it, Fish?-",
    "",
    "He started to sweat. His hands shook so hard the cup rattled on its saucer",
    "when he raised it for a sip of coffee.",
    "",
    "-It was an accident!- he blurted. -I was fooling around with the gun and it",
    "went off. I never knew anybody would get killed. You have to believe me,",
    "Detective, you have to!-",
    "",
    "Then he broke down and cried like a kid. Over his shoulder I noticed a",
    "bullet hole in the wall behind his chair.",
    "",
    "-If it was an accident, you won't face the chair,- I told him. -I believe you.-",
    "",
});
static_assert(confession_first_page.size() == 18);

constexpr auto confession_second_page = std::to_array<std::string_view>({
    "Two officers led Mr. Fish out in handcuffs. As they passed the dispatch room,",
    "Lisa stood up behind her divider, white with shock.",
    "",
    "-Nice work, Detective,- the Police Captain said, clapping me on the shoulder.",
    "",
    "-Just doing my job, Captain,- I said. -What do you make of the accident story?-",
    "",
    "-If it holds up, the DA won't ask for the death penalty,- the Captain said.",
    "-Thanks, Detective. I owe you one.-",
    "",
    "-One of these days I'll come around to collect,- I told him.",
    "",
    "Stay Tuned...for another thrilling episode of...",
    "",
    "The Casebook of Detective Vellam Episode 13: Quillmere",
});
static_assert(confession_second_page.size() == 15);

static_assert(lines_fit(examine_bill_lines) && lines_fit(examine_cigar_lines) &&
              lines_fit(examine_bullet_case_lines) && lines_fit(wrong_accusation_lines) &&
              lines_fit(confession_first_page) && lines_fit(confession_second_page));

// The accusation endings play in yellow on blue, to the end of the program.
void turn_screen_blue(const Steps& steps, uint32_t statement) {
    set_color(14, 1, 0, color_foreground_given | color_background_given);
    finish_step(steps, statement);
    clear_screen(0, 0, 0);
    finish_step(steps, statement + 1);
}

}  // namespace

constexpr Screen examine_bill_screen{820, examine_bill_lines};
constexpr Screen examine_cigar_screen{830, examine_cigar_lines};
constexpr Screen examine_bullet_case_screen{840, examine_bullet_case_lines};

void show_inventory(const GameState& game) {
    const Steps steps;
    clear_screen(0, 0, 0);
    finish_step(steps, 800);
    print_line("INVENTORY...");
    finish_step(steps, 801);
    print_blank_line();
    finish_step(steps, 802);
    for (const EvidenceItem& item : evidence_items) {
        if (game.*item.held == 1) print_line(item.inventory_line);
        finish_step(steps, 803);
    }
    print_blank_line();
    finish_step(steps, 804);
    print_line("PRESS ANY KEY...");
    finish_step(steps, 805);
    pause_for_key();
    finish_step(steps, 806);
}

void play_wrong_accusation() {
    const Steps steps;
    turn_screen_blue(steps, 850);  // steps 850 and 851
    print_lines(wrong_accusation_lines, 852);
    pause_for_key();
    finish_step(steps, 855);
    end_program();
}

void play_confession() {
    const Steps steps;
    turn_screen_blue(steps, 900);  // steps 900 and 901
    print_lines(confession_first_page, 902);  // steps 902 to 919
    pause_for_key();
    finish_step(steps, 920);
    clear_screen(0, 0, 0);
    finish_step(steps, 921);
    print_lines(confession_second_page, 922);  // steps 922 to 936
    pause_for_key();
    finish_step(steps, 937);
    end_program();
}
