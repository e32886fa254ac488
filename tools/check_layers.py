#!/usr/bin/env python3
"""Checks that includes between the plugin's folders point down the floors.

    base/                                   depends on nothing of ours
    net/ ui/ game/                          stand on base/
    computer/ games/ phone/ photos/ voice/  stand on the floors below
    npc/ tv/ vehicle/ update/
    core/ browser/                          wire the others together (browser: the helper program)

A file may include its own folder and any folder of a lower floor. Two folders of one floor meet
only through base/ records or a seam that core/ fills.
tools/ (the fake world) stands beside the floors: it may include anything, and only tests
(*_test.cpp) include it.

usage: check_layers.py [root]   exit 0 when clean, 1 with one line per offending include
"""
import os
import re
import sys

FLOORS = [
    ["base"],
    ["net", "ui", "game"],
    ["computer", "games", "phone", "photos", "voice", "npc", "tv", "vehicle", "update"],
    ["core", "browser"],
]

# (from, to): reason, for a pair of one floor that may meet directly. None today: Present takes
# the banner through the frame steps core/ fills. Keep each reason honest.
EXCEPTIONS = {}

FLOOR_OF = {folder: n for n, floor in enumerate(FLOORS) for folder in floor}
SOURCE = re.compile(r".*\.(c|cc|cpp|h|hpp|inc|S)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"')


def is_test_file(name):
    return name.endswith("_test.cpp")


def violation(folder, name, target):
    """The reason an include of `target`'s folder from `folder` is refused, or None."""
    if target == folder:
        return None
    if target == "tools":
        return None if is_test_file(name) else "only tests include tools/"
    if target not in FLOOR_OF:
        return None  # generated headers and the like
    mine, theirs = FLOOR_OF[folder], FLOOR_OF[target]
    if theirs < mine or (folder, target) in EXCEPTIONS:
        return None
    if theirs > mine:
        return f"includes point down only ({folder}/ is floor {mine}, {target}/ floor {theirs})"
    return f"{folder}/ and {target}/ share floor {mine}: meet through base/ or a seam core/ fills"


def check(root):
    problems = []
    for folder in sorted(FLOOR_OF):
        top = os.path.join(root, folder)
        if not os.path.isdir(top):
            continue
        for here, dirs, files in os.walk(top):
            dirs.sort()
            for name in sorted(files):
                if not SOURCE.match(name):
                    continue
                path = os.path.join(here, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        why = violation(folder, name, m.group(1))
                        if why:
                            rel = os.path.relpath(path, root)
                            problems.append(f'{rel}:{number}: #include "{line.split(chr(34))[1]}": {why}')
    return problems


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"layering: {len(problems)} include(s) against the floors")
        return 1
    print("layering: includes point down the floors")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
