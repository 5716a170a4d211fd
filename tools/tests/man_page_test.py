"""tarnlet.1 as man renders it: no warning from groff, and every option that
the program's own --help lists, for the program and for each subcommand.

Usage: man_page_test.py PROGRAM PAGE
"""
import re
import subprocess
import sys

PROGRAM, PAGE = sys.argv[1], sys.argv[2]


def options_in_help(arguments):
    text = subprocess.run([PROGRAM] + arguments + ["--help"], capture_output=True, text=True,
                          check=True).stdout
    return set(re.findall(r"^\s+(?:-\w,\s*)?(--[a-z][a-z-]*)", text, re.M))


def main():
    render = subprocess.run(["groff", "-man", "-Tutf8", "-ww", PAGE], capture_output=True)
    assert render.returncode == 0 and not render.stderr, render.stderr.decode()
    # Bold and italic come as overstrikes: "x\bx", "_\bx".
    page = re.sub(r".\x08", "", render.stdout.decode("utf-8"))
    page = page.replace("\u2010", "-")
    failed = []
    for command in ([], ["send"], ["check"], ["codes"], ["oauth", "add"], ["oauth", "login"],
                    ["oauth", "list"], ["oauth", "test"], ["oauth", "remove"]):
        wanted = options_in_help(command)
        assert wanted, "no option found in the help of %s" % command
        failed += ["%s %s" % (" ".join(command), o) for o in sorted(wanted) if o not in page]
        if command:
            assert "tarnlet " + " ".join(command) in page, command
    assert "--man-page" not in page
    # The words send --help ends with (ports, TLS, certificates) are the page's too.
    footer = subprocess.run([PROGRAM, "send", "--help"], capture_output=True, text=True,
                            check=True).stdout.split("\n\n")[-1].split()
    assert footer and " ".join(footer) in " ".join(page.split()), footer
    assert not failed, "the page lacks: " + ", ".join(failed)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
