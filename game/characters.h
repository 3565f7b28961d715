// The people on the premises and what they say. Examining a person prints a short description
// and the exact phrases the game accepts for them; every phrase shows one reply. Conversations
// keep no state: any phrase works at any time in that person's location, as often as asked.
#pragma once

#include "game/flow.h"

// The victim, at the crime scene.
extern const Screen examine_cabby_screen;
extern const Screen talk_to_cabby_screen;
// BEN, the victim's last fare, in the waiting room.
extern const Screen examine_ben_screen;
extern const Screen talk_to_ben_screen;
extern const Screen ben_what_happened_screen;
// MR FISH, the company's boss, in his office.
extern const Screen examine_fish_screen;
extern const Screen talk_to_fish_screen;
extern const Screen fish_cigar_screen;
extern const Screen fish_fare_screen;
extern const Screen fish_gun_screen;
// LISA, the dispatcher, in the dispatch room.
extern const Screen examine_lisa_screen;
extern const Screen talk_to_lisa_screen;
extern const Screen lisa_cabby_screen;
extern const Screen lisa_fish_screen;
extern const Screen lisa_rivals_screen;
