#!/usr/bin/env python3
"""tools/check-node-engines: npm ranges against Node.js versions, and lock files."""
import io
import json
import os
import sys
import tempfile
import types
import unittest
from contextlib import redirect_stderr

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "tools", "check-node-engines")
engines = types.ModuleType("check_node_engines")
with open(SCRIPT, encoding="utf-8") as f:
    exec(compile(f.read(), SCRIPT, "exec"), engines.__dict__)


class RangeTest(unittest.TestCase):
    def test_ranges_npm_writes(self):
        cases = [
            (">=18", True), (">=20", False), (">= 18.0.0 < 19", True), (">18", False),
            ("^18.17.0 || >=20", True), ("^16.14.0 || ^20.0.0", False), ("^0.0.3", False),
            (">=18.21", False), ("18.x", True), ("18", True), ("14 - 18", True), ("14 - 17", False),
            ("<18", False), ("<=18", True), ("~18.20.1", True), ("~18.19", False), ("*", True), ("", True),
        ]
        for text, expected in cases:
            with self.subTest(range=text):
                self.assertEqual(engines.satisfies((18, 20, 4), text), expected)

    def test_unreadable_range_is_an_error(self):
        with self.assertRaises(engines.RangeError):
            engines.satisfies((18, 20, 4), ">=eighteen")


class LockFileTest(unittest.TestCase):
    def run_on(self, packages, node="18.20.4"):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump({"lockfileVersion": 3, "packages": packages}, f)
        err = io.StringIO()
        try:
            with redirect_stderr(err):
                status = engines.main(["check", "--node", node, f.name])
        finally:
            os.unlink(f.name)
        return status, err.getvalue()

    def test_names_each_package_that_needs_a_newer_node(self):
        status, err = self.run_on({
            "": {"name": "x"},
            "node_modules/old": {"version": "1.0.0", "engines": {"node": ">=14"}},
            "node_modules/new": {"version": "2.0.0", "engines": {"node": ">=20"}},
        })
        self.assertEqual(status, 1)
        self.assertIn("node_modules/new 2.0.0", err)
        self.assertNotIn("old", err)
        self.assertEqual(self.run_on({"node_modules/new": {"engines": {"node": ">=20"}}}, node="20.1.0")[0], 0)

    def test_the_projects_lock_runs_on_debian_12(self):
        lock = os.path.join(HERE, "package-lock.json")
        self.assertEqual(engines.main(["check", lock]), 0)


if __name__ == "__main__":
    unittest.main()
