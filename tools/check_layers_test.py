#!/usr/bin/env python3
"""The layering check over tiny trees: what it must refuse and what it must let through."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_layers  # noqa: E402


def tree(files):
    root = tempfile.mkdtemp(prefix="layers-")
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)
    return root


GOOD = {
    "base/pixels.h": "#pragma once\n",
    "net/api.cpp": '#include "base/pixels.h"\n#include "net/api.h"\n',
    "game/present.cpp": '#include "game/present_rules.h"\n#include "base/pixels.h"\n',
    "photos/encode.cpp": '#include "game/x.h"\n#include "net/y.h"\n#include <windows.h>\n',
    "core/session.cpp": '#include "photos/encode.h"\n#include "generated/data.h"\n',
    "core/scenario_test.cpp": '#include "tools/e2e/e2e_harness.h"\n',
}


class LayerCheck(unittest.TestCase):
    def test_a_clean_tree_passes(self):
        self.assertEqual(check_layers.check(tree(GOOD)), [])

    def test_refused_includes_name_file_and_line(self):
        cases = [
            # (file, text, expected fragment)
            ("base/pixels.cpp", '#include "base/pixels.h"\n#include "core/plugin.h"\n',
             "base/pixels.cpp:2: #include \"core/plugin.h\": includes point down only"),
            ("net/api.cpp", '  #  include "game/input.h"\n', "net/ and game/ share floor 1"),
            ("ui/banner.cpp", '#include "game/present.h"\n', "ui/ and game/ share floor 1"),
            ("game/present.cpp", '#include "ui/banner.h"\n', "game/ and ui/ share floor 1"),
            ("voice/capture.cpp", '#include "computer/ui_thread.h"\n', "voice/ and computer/ share floor 2"),
            ("tv/frame.cpp", '#include "core/session.h"\n', "includes point down only"),
            ("core/session.cpp", '#include "browser/main.h"\n', "core/ and browser/ share floor 3"),
            ("core/session.cpp", '#include "tools/fake_api/fake_api.h"\n', "only tests include tools/"),
        ]
        for path, text, fragment in cases:
            with self.subTest(path=path, text=text):
                files = dict(GOOD)
                files[path] = text
                problems = check_layers.check(tree(files))
                self.assertEqual(len(problems), 1, problems)
                self.assertIn(fragment, problems[0])

    def test_the_command_fails_on_an_upward_include_and_passes_without_it(self):
        script = os.path.join(HERE, "check_layers.py")
        good = subprocess.run([sys.executable, script, tree(GOOD)], capture_output=True, text=True)
        self.assertEqual(good.returncode, 0, good.stdout)
        files = dict(GOOD)
        files["game/d3d9.cpp"] = '#include "core/worker_hooks.h"\n'
        bad = subprocess.run([sys.executable, script, tree(files)], capture_output=True, text=True)
        self.assertEqual(bad.returncode, 1)
        self.assertIn("game/d3d9.cpp:1:", bad.stdout)


if __name__ == "__main__":
    unittest.main()
