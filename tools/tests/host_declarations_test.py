"""The C example of docs/hosts.md, compiled and linked against the library.

The page's other languages use the bindings under bindings/, whose own test
(bindings/tests/binding_cases_test.py) checks their layouts and examples.

Usage: host_declarations_test.py DOCS/hosts.md LIBRARY [C_COMPILER]
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

HOSTS_MD = os.path.abspath(sys.argv[1])
LIBRARY = os.path.abspath(sys.argv[2])
C_COMPILER = sys.argv[3] if len(sys.argv) > 3 else "cc"
ROOT = os.path.dirname(os.path.dirname(HOSTS_MD))


def read(path, mode="r"):
    with open(path, mode, **({} if "b" in mode else {"encoding": "utf-8"})) as f:
        return f.read()


def code_blocks(language):
    text = read(HOSTS_MD)
    return re.findall(r"```" + language + r"\n(.*?)```", text, re.S)


class CExample(unittest.TestCase):
    def test_compiles_and_links_against_the_library(self):
        block = [b for b in code_blocks("c") if "int main(" in b][0]
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "send.c")
            with open(source, "w", encoding="utf-8") as f:
                f.write(block)
            result = subprocess.run(
                [C_COMPILER, "-std=c11", "-Wall", "-Wextra", "-Werror", source,
                 "-I", os.path.join(ROOT, "include"), LIBRARY, "-o",
                 os.path.join(folder, "send")],
                capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
