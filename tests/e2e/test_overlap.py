"""Copies of the program started together on one work file, as a host started
twice (a double click, two host windows on one folder) would start them: the
runs take turns, and the host finds its work file rewritten and nothing else."""

import unittest

import line_model
from sandbox import WORK_FILE, SandboxTestCase, target
from test_large_file import generated_text

RUNS_AT_ONCE = 4
# Every Windows start goes through Wine, which is far slower to start; under a
# memory checker a few trials show what it has to show.
TRIALS = 3 if target().wrapper else 100 if target().is_windows else 200
WORK_FILE_BYTES = 30_000  # about 3,000 lines


class OverlappingRuns(SandboxTestCase):
    def test_runs_started_together_take_turns(self):
        for case, prefix, encoding, seed in (
            ("code page 932", b"", "cp932", 11),
            ("UTF-8 with mark", line_model.UTF8_MARK, "utf-8", 12),
        ):
            with self.subTest(case):
                before = prefix + generated_text(seed, WORK_FILE_BYTES).encode(encoding)
                expected = line_model.expected_work_file(before)
                self.assertNotEqual(expected, before)
                sandbox = self.new_sandbox()
                for trial in range(TRIALS):
                    sandbox.write_work_file(before)

                    results = sandbox.run_together(RUNS_AT_ONCE)

                    for result in results:
                        self.assert_quiet_success(result)
                    self.assertEqual(sandbox.work_file.read_bytes(), expected,
                                     f"trial {trial + 1}")
                    self.assert_left_only(sandbox, WORK_FILE)
                print(f"overlap ({case}): {TRIALS} trials of {RUNS_AT_ONCE} runs; "
                      "every work file rewritten, nothing left over")


if __name__ == "__main__":
    unittest.main()
