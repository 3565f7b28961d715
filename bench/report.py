#!/usr/bin/env python3
"""Turns one benchmark run into the table of scripts/bench: every figure beside the limit it is
measured against (its ratio) and the goal it has, if any. Reads the benchmark program's JSON and
the probe's JSON of the running game, prints the table and writes both, with the table, to one
JSON file."""

import argparse
import json
import os
import statistics
import sys

TIME_UNITS_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

# Rows of the table: benchmark, what it measures, the benchmark it is set against, and its goals
# (time in microseconds, ratio to the reference, allocations per pass).
MICRO_ROWS = [
    ("Limits", None),
    ("limit_frame_copy", "memcpy of one 640x400 frame (1,024,000 bytes)", None, {}),
    ("limit_frame_copy_three_buffers", "the same copy among three buffers in turn (3 MB)",
     "limit_frame_copy", {}),
    ("limit_frame_fill", "filling the frame with one colour", "limit_frame_copy", {}),
    ("limit_glyph_loop", "plain per-pixel loop, 2,000 8x16 glyphs", "limit_frame_copy", {}),
    ("Frame builder (build_frame)", None),
    ("build_frame_full_pass", "full pass (first frame)", "limit_glyph_loop",
     {"ratio": 1.0, "allocs": 0}),
    ("build_frame_countdown_changed", "pass with the countdown's 11 cells changed",
     "limit_frame_copy", {"ratio": 1.5, "allocs": 0}),
    ("build_frame_countdown_changed_window_behind", "  the same, window behind (three slots)",
     "limit_frame_copy_three_buffers", {"allocs": 0}),
    ("build_frame_nothing_changed", "abandoned pass (nothing changed)", "limit_frame_copy",
     {"time_us": 5.0, "allocs": 0}),
    ("build_frame_blink_phase", "blink-phase pass", "limit_frame_copy", {"allocs": 0}),
    ("Timed command entry", None),
    ("timed_entry_pass_screen_work", "one pass's screen work (copy_page, text, countdown)",
     "limit_frame_copy", {"time_us": 50.0, "allocs": 0}),
    ("timed_entry_pass_with_key", "the same with a key taken and the text edited",
     "limit_frame_copy", {"time_us": 50.0, "allocs": 0}),
    ("print_using_countdown", "print_using of the countdown alone", "limit_frame_copy", {}),
    ("Text output", None),
    ("print_string_80_columns", "print_string of an 80-column line", "limit_frame_copy", {}),
    ("scroll_24_row_view", "a scroll of the 24-row view", "limit_frame_copy", {}),
    ("clear_screen_80x25", "clear_screen", "limit_frame_copy", {}),
    ("Strings", None),
    ("typed_key_runtime_string", "t = string_upper(string_concat(t, string_from_code(k)))",
     "typed_key_std_string", {}),
    ("typed_key_std_string", "the same with std::string", None, {}),
    ("temporaries_sweep_runtime_string", "16 temporaries of 40 bytes and release_temporaries",
     "temporaries_sweep_std_string", {}),
    ("temporaries_sweep_std_string", "the same with std::string", None, {}),
    ("Keys", None),
    ("key_press_to_read_key_and_read_key_hit", "key press + release to read_key, read_key_hit",
     "limit_frame_copy", {"allocs": 0}),
    ("key_press_to_read_key_and_read_key_hit@wall", "  wall time (read_key's 0.1 ms sleep)", None,
     {}),
    ("key_press_to_read_key_hit", "the same without read_key (no sleep)", "limit_frame_copy",
     {"allocs": 0}),
    ("read_key_nothing_typed", "read_key with nothing typed (one poll)", "limit_frame_copy", {}),
    ("read_key_nothing_typed@wall", "  wall time", None, {}),
]

# The running game: probe field, what it is, unit, goal (upper bound) and how to show it.
GAME_ROWS = [
    ("window_ms", "start to the window \"Untitled\"", "ms", None),
    ("first_frame_ms", "start to the first frame in the window", "ms", 1500.0),
    ("briefing_cpu_percent", "CPU at the briefing's press-any-key wait", "% of a core", None),
    ("briefing_rasteriser_cpu_percent", "  of which the GL driver's rasteriser threads",
     "% of a core", None),
    ("server_briefing_cpu_percent", "  the X server meanwhile", "% of a core", None),
    ("prompt_cpu_percent", "CPU at the command prompt (game process)", "% of a core", 5.0),
    ("prompt_rasteriser_cpu_percent", "  of which the GL driver's rasteriser threads",
     "% of a core", None),
    ("server_prompt_cpu_percent", "  the X server meanwhile", "% of a core", None),
    ("closing_cpu_percent", "CPU at the closing prompt (game process)", "% of a core", None),
    ("closing_rasteriser_cpu_percent", "  of which the GL driver's rasteriser threads",
     "% of a core", None),
    ("server_closing_cpu_percent", "  the X server meanwhile", "% of a core", None),
    ("peak_resident_mb", "peak resident memory (VmHWM)", "MiB", 40.0),
    ("resident_mb", "resident memory at the end (VmRSS)", "MiB", None),
    ("resident_anonymous_mb", "  private (heap, stacks, buffers, relocated data)", "MiB", None),
    ("resident_files_mb", "  mapped from files (program and libraries)", "MiB", None),
    ("resident_gl_driver_mb", "  in the GL driver's mappings (its code and data)", "MiB", None),
    ("key_to_letter_median_ms", "key sent to letter in the window, median", "ms", 80.0),
    ("key_to_letter_min_ms", "  fastest sample", "ms", None),
    ("key_to_letter_max_ms", "  slowest sample", "ms", None),
    ("capture_mean_ms", "  one read-back of the window (the resolution)", "ms", None),
    ("exit_after_key_ms", "closing key to process exit", "ms", None),
]

# Threads that the OpenGL driver starts for its software rasteriser.
RASTERISER_THREAD_PREFIXES = ("llvmpipe", "softpipe")


def rasteriser_share(by_thread):
    return sum(percent for name, percent in by_thread.items()
               if name.split(":", 1)[-1].startswith(RASTERISER_THREAD_PREFIXES))


def load(path):
    if not path or not os.path.exists(path) or os.path.getsize(path) == 0:
        return None
    with open(path) as source:
        return json.load(source)


def micro_figures(run):
    """Per benchmark: CPU time per iteration in microseconds (median of the repetitions),
    allocations per iteration, and an error if one occurred."""
    by_name = {}
    for entry in run.get("benchmarks", []):
        # Benchmarks whose iterations are counted by wall time carry a suffix saying so.
        name = entry.get("run_name", entry["name"]).removesuffix("/real_time")
        by_name.setdefault(name, []).append(entry)
    figures = {}
    for name, entries in by_name.items():
        errors = [e.get("error_message", "error") for e in entries if e.get("error_occurred")]
        if errors:
            figures[name] = {"error": errors[0]}
            continue
        medians = [e for e in entries if e.get("aggregate_name") == "median"]
        iterations = [e for e in entries if e.get("run_type", "iteration") == "iteration"]
        if medians:
            chosen = medians[0]
            time_us = chosen["cpu_time"] * TIME_UNITS_NS[chosen["time_unit"]] / 1e3
            real_us = chosen["real_time"] * TIME_UNITS_NS[chosen["time_unit"]] / 1e3
            allocs = chosen.get("allocs_per_iter")
        else:
            time_us = statistics.median(
                e["cpu_time"] * TIME_UNITS_NS[e["time_unit"]] / 1e3 for e in iterations)
            real_us = statistics.median(
                e["real_time"] * TIME_UNITS_NS[e["time_unit"]] / 1e3 for e in iterations)
            allocs = max(e.get("allocs_per_iter", 0) for e in iterations)
        cvs = [e for e in entries if e.get("aggregate_name") == "cv"]
        figure = {"time_us": time_us, "real_us": real_us, "allocs_per_iter": allocs}
        if cvs:
            figure["cv_percent"] = 100.0 * cvs[0]["cpu_time"]
        figures[name] = figure
    return figures


def verdict(checks):
    if not checks:
        return ""
    return "met" if all(checks) else "MISSED"


def micro_table(figures):
    rows = []
    for row in MICRO_ROWS:
        if row[1] is None:
            rows.append({"section": row[0]})
            continue
        name, meaning, reference, goals = row
        # "name@wall": the wall time of the benchmark instead of its processor time.
        wall = name.endswith("@wall")
        figure = figures.get(name.removesuffix("@wall"))
        if wall and figure is not None and "real_us" in figure:
            figure = {"time_us": figure["real_us"], "allocs_per_iter": None}
        entry = {"name": name, "meaning": meaning, "reference": reference, "goals": goals}
        if figure is None or "error" in figure:
            entry["error"] = figure["error"] if figure else "not measured"
            rows.append(entry)
            continue
        entry.update(figure)
        checks = []
        if reference and reference in figures and "time_us" in figures[reference]:
            entry["ratio"] = figure["time_us"] / figures[reference]["time_us"]
        if "ratio" in goals and "ratio" in entry:
            checks.append(entry["ratio"] <= goals["ratio"])
        if "time_us" in goals:
            checks.append(figure["time_us"] <= goals["time_us"])
        if "allocs" in goals and figure.get("allocs_per_iter") is not None:
            checks.append(figure["allocs_per_iter"] <= goals["allocs"])
        entry["verdict"] = verdict(checks)
        rows.append(entry)
    return rows


def game_table(game):
    rows = []
    figures = dict(game)
    if "peak_resident_kb" in figures:
        figures["peak_resident_mb"] = figures["peak_resident_kb"] / 1024.0
    for name in ("resident", "resident_anonymous", "resident_files", "resident_gl_driver"):
        if f"{name}_kb" in figures:
            figures[f"{name}_mb"] = figures[f"{name}_kb"] / 1024.0
    for moment in ("briefing", "prompt", "closing"):
        by_thread = figures.get(f"{moment}_cpu_percent_by_thread")
        if isinstance(by_thread, dict):
            figures[f"{moment}_rasteriser_cpu_percent"] = rasteriser_share(by_thread)
    for name, meaning, unit, goal in GAME_ROWS:
        entry = {"name": name, "meaning": meaning, "unit": unit, "goal": goal}
        if name in figures and figures[name] >= 0:
            entry["value"] = figures[name]
            if goal is not None:
                entry["verdict"] = verdict([figures[name] <= goal])
        rows.append(entry)
    return rows


def format_time(us):
    if us >= 1000:
        return f"{us / 1000:.2f} ms"
    if us >= 1:
        return f"{us:.2f} us"
    return f"{us * 1000:.1f} ns"


def goal_text(goals):
    parts = []
    if "ratio" in goals:
        parts.append(f"<= {goals['ratio']:g}x")
    if "time_us" in goals:
        parts.append(f"<= {goals['time_us']:g} us")
    if "allocs" in goals:
        parts.append("0 allocs")
    return ", ".join(parts)


def print_micro(rows):
    header = f"{'':58} {'time':>10} {'allocs':>7} {'ratio':>8}  {'to':<31} {'goal':<22}"
    print(header)
    for row in rows:
        if "section" in row:
            print(f"-- {row['section']}")
            continue
        label = f"  {row['meaning']}"[:58]
        if "error" in row:
            print(f"{label:58} {'-':>10} {'-':>7} {'-':>8}  {row['error']}")
            continue
        allocs = row.get("allocs_per_iter")
        allocs_text = "-" if allocs is None else (f"{allocs:.0f}" if allocs == int(allocs)
                                                   else f"{allocs:.2f}")
        ratio = f"{row['ratio']:.3g}x" if "ratio" in row else ""
        goal = goal_text(row["goals"])
        mark = f" {row['verdict']}" if row.get("verdict") else ""
        print(f"{label:58} {format_time(row['time_us']):>10} {allocs_text:>7} {ratio:>8}  "
              f"{row['reference'] or '':<31} {goal:<22}{mark}")


def print_game(rows, game):
    print("-- The running game")
    for row in rows:
        goal = f"<= {row['goal']:g} {row['unit']}" if row["goal"] is not None else ""
        if "value" in row:
            value = f"{row['value']:.1f} {row['unit']}"
        else:
            value = "-"
        mark = f" {row['verdict']}" if row.get("verdict") else ""
        print(f"  {row['meaning']:56} {value:>16}  {goal:<18}{mark}")
    if "error" in game:
        print(f"  The probe stopped: {game['error']}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--micro")
    parser.add_argument("--game")
    parser.add_argument("--out", required=True)
    arguments = parser.parse_args()

    micro = load(arguments.micro)
    game = load(arguments.game)
    result = {}
    if micro is not None:
        rows = micro_table(micro_figures(micro))
        result["context"] = micro.get("context", {})
        result["micro"] = micro.get("benchmarks", [])
        result["micro_table"] = rows
        print_micro(rows)
    if game is not None:
        rows = game_table(game)
        result["game"] = game
        result["game_table"] = rows
        print_game(rows, game)
    elif arguments.game and os.path.exists(arguments.game):
        print("-- The running game: the probe wrote nothing")
    with open(arguments.out, "w") as out:
        json.dump(result, out, indent=2)
    print(f"\nWritten: {arguments.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
