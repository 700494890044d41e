"""Copies of the program started together on one work file, as a host started
twice (a double click, two host windows on one folder) would start them: the
runs take turns, and the host finds its work file rewritten and nothing else.
Under Wine they also take turns when half of them name the folder through a
second drive letter mapped onto it."""

import contextlib
import pathlib
import unittest

import line_model
from sandbox import WORK_FILE, SandboxTestCase, failed_in_wine, target
from test_large_file import generated_text

RUNS_AT_ONCE = 4
# Every Windows start goes through Wine, which is far slower to start; under a
# memory checker a few trials show what it has to show.
TRIALS = 3 if target().wrapper else 30 if target().is_windows else 100
WORK_FILE_BYTES = 30_000  # about 3,000 lines
# Wine itself now and then fails a process when several start at once (seen:
# "wine: Unhandled page fault" on stderr of a run that ended with code 0; a run
# that ends with another code and nothing on stderr is Wine's too, as the
# program reports on stderr before it exits so; and Wine's own ShellExecuteEx
# error on stdout, when it could not start the program at all). Such a trial
# says nothing about the program's turns and is set aside, a few at most; the
# host's data must still be in the work file.
MOST_SET_ASIDE = 5


class OverlappingRuns(SandboxTestCase):
    def test_runs_started_together_take_turns(self):
        for case, prefix, encoding, seed, two_spellings in (
            ("code page 932", b"", "cp932", 11, False),
            ("UTF-8 with mark", line_model.UTF8_MARK, "utf-8", 12, target().is_windows),
        ):
            with self.subTest(case):
                before = prefix + generated_text(seed, WORK_FILE_BYTES).encode(encoding)
                expected = line_model.expected_work_file(before)
                self.assertNotEqual(expected, before)
                sandbox = self.new_sandbox()
                # Started by their DOS names: Wine names a program started by
                # its Unix name after the drive letter it finds last.
                started_as = None
                drives = contextlib.ExitStack()
                self.addCleanup(drives.close)
                if two_spellings:
                    own = pathlib.PureWindowsPath(target().host_path(sandbox.program))
                    other = sandbox.dos_path(drives.enter_context(target().second_drive()))
                    started_as = [own, other] * (RUNS_AT_ONCE // 2)
                set_aside = 0
                for trial in range(TRIALS):
                    sandbox.scratch_file.unlink(missing_ok=True)
                    sandbox.write_work_file(before)

                    results = sandbox.run_together(RUNS_AT_ONCE, started_as=started_as)

                    if any(failed_in_wine(result) for result in results):
                        set_aside += 1
                        print(f"set aside, trial {trial + 1}:",
                              [(result.exit_code, result.stdout[:120], result.stderr[:120])
                               for result in results])
                        self.assertLessEqual(set_aside, MOST_SET_ASIDE, results)
                        self.assertTrue(sandbox.work_file.is_file(), f"trial {trial + 1}")
                        self.assertIn(sandbox.work_file.read_bytes(), (before, expected),
                                      f"trial {trial + 1}")
                        continue
                    for result in results:
                        self.assertEqual((result.exit_code, result.stdout, result.stderr),
                                         (0, b"", b""), f"trial {trial + 1}")
                    self.assertEqual(sandbox.work_file.read_bytes(), expected,
                                     f"trial {trial + 1}")
                    self.assert_left_only(sandbox, WORK_FILE)
                aside = f" ({set_aside} set aside: Wine failed a process)" if set_aside else ""
                spellings = ", half through a second drive letter" if two_spellings else ""
                print(f"overlap ({case}): {TRIALS} trials of {RUNS_AT_ONCE} runs{spellings}{aside}; "
                      "every work file rewritten, nothing left over")


if __name__ == "__main__":
    unittest.main()
