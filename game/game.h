// The adventure "The Casebook of Detective Vellam", episode "Tarrowgate": a detective questions
// the people at a cab company's garage and must accuse the killer before thirty minutes run out.
#pragma once

// Runs the whole game on the program thread. Never returns: every ending goes through
// end_program.
[[noreturn]] void run_game();
