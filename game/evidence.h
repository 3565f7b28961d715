// The evidence the detective holds from the start, the accusation and its two endings. The
// cigar's brand and the gun's make are what tie MR FISH to the killing.
#pragma once

#include "game/flow.h"

// The inventory screen: every item held, in listing order.
void show_inventory(const GameState& game);

extern const Screen examine_bill_screen;
extern const Screen examine_cigar_screen;
extern const Screen examine_bullet_case_screen;

// Accusing BEN or LISA: the case is lost. Never returns.
[[noreturn]] void play_wrong_accusation();

// Accusing MR FISH: his confession, the closing page and the next episode. Never returns.
[[noreturn]] void play_confession();
