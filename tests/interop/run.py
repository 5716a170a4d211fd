"""Runs the interoperability tests; writes 'N passed, M failed' to the file
named by the first argument and exits non-zero on any failure."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


class CountingResult(unittest.TextTestResult):
    """Counts every case and every sub-case as one test."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.passed = 0
        self.failed = 0

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed += 1

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self.failed += 1

    def addError(self, test, err):
        super().addError(test, err)
        self.failed += 1

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        if err is not None:
            self.failed += 1


def main():
    summary_path = sys.argv[1]
    names = sys.argv[2:] or ["test_linux", "test_command", "test_wine"]
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    runner = unittest.TextTestRunner(resultclass=CountingResult, verbosity=2, stream=sys.stdout)
    result = runner.run(suite)
    with open(summary_path, "w") as f:
        f.write("%d passed, %d failed\n" % (result.passed, result.failed))
    return 0 if result.failed == 0 and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
