"""Work and scratch files, and the program folder, that another process holds
while the program runs. Only Windows enforces sharing modes between processes,
so the file cases run for the Windows builds (under Wine) alone; the folder
claim is held on every platform."""

import contextlib
import time
import unittest

import line_model
from holder import claim_held, claim_squatted, held_open
from sandbox import SCRATCH_FILE, WORK_FILE, SandboxTestCase, failed_in_wine, target
from test_large_file import generated_text

WORK_BEFORE = "データ\r\nhq\r\n  HQ\r\n".encode("cp932")
WORK_AFTER = "データ\r\nhd\r\nhd\r\n".encode("cp932")
# What a scanner does: opens a file for a moment and lets go.
BRIEF_HOLD_MS = 300
# A run whose work file is held for good ends at most this much later.
MOST_ADDED_SECONDS = 3.0
# Big enough that the new scratch copy lives long enough to be caught.
LARGE_WORK_BYTES = 2_000_000

windows_only = unittest.skipUnless(target().is_windows,
                                   "sharing modes are enforced on Windows only")


class HeldFileTest(SandboxTestCase):
    def timed_run(self, sandbox):
        """A run and its seconds. A run that Wine itself failed (as
        failed_in_wine tells) says nothing about the program: it is started
        once more, under the same hold, and only that run counts."""
        started = time.monotonic()
        result = sandbox.run()
        if failed_in_wine(result):
            print(f"Wine failed a run (exit code {result.exit_code}, "
                  f"stderr {result.stderr[:200]!r}): started again")
            started = time.monotonic()
            result = sandbox.run()
        return result, time.monotonic() - started

    def quiet_run_seconds(self) -> float:
        """The quicker of two runs in a quiet folder: the first may start Wine."""
        sandbox = self.new_sandbox()
        times = []
        for _ in range(2):
            sandbox.write_work_file(WORK_BEFORE)
            result, seconds = self.timed_run(sandbox)
            self.assert_quiet_success(result)
            times.append(seconds)
        return min(times)

    @windows_only
    def test_brief_hold_is_ridden_out(self):
        large = generated_text(7, LARGE_WORK_BYTES).encode("cp932")
        # held file, access, share, whether it is opened as soon as it appears
        for what, held, access, share, appear in (
            ("work file, a reader sharing reads", WORK_FILE, "r", "r", False),
            ("work file, no sharing", WORK_FILE, "r", "none", False),
            ("a stale scratch copy, a reader sharing reads", SCRATCH_FILE, "r", "r", False),
            ("the new scratch copy as soon as it appears", SCRATCH_FILE, "r", "r", True),
        ):
            with self.subTest(what):
                before = large if appear else WORK_BEFORE
                sandbox = self.new_sandbox()
                sandbox.write_work_file(before)
                if held == SCRATCH_FILE and not appear:
                    sandbox.scratch_file.write_bytes(b"stale!!\r\n")
                path = sandbox.folder / held

                with held_open(sandbox.target, path, access, share, BRIEF_HOLD_MS,
                               appear) as holder:
                    holder.go()
                    result, seconds = self.timed_run(sandbox)
                    ended_at = time.monotonic()

                print(f"{what}: held {BRIEF_HOLD_MS} ms, run took {seconds:.2f} s")
                self.assert_quiet_success(result)
                self.assertEqual(sandbox.work_file.read_bytes(),
                                 line_model.expected_work_file(before))
                self.assert_left_only(sandbox, WORK_FILE)
                self.assertIn("released", holder.lines)
                if appear:
                    self.assertIn("held", holder.lines, "the holder never caught the file")
                else:
                    # The run met the hold and waited it out.
                    self.assertGreater(ended_at, holder.released_at)

    @windows_only
    def test_work_file_held_without_sharing(self):
        quiet = self.quiet_run_seconds()
        sandbox = self.new_sandbox()
        sandbox.write_work_file(WORK_BEFORE)

        with held_open(sandbox.target, sandbox.work_file, "r", "none"):
            result, seconds = self.timed_run(sandbox)

        self.assert_report(result, "EInOutError: I/O エラー 103")
        self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
        self.assert_left_only(sandbox, WORK_FILE)
        print(f"work file held without sharing: {seconds:.2f} s, quiet run {quiet:.2f} s")
        self.assertLess(seconds - quiet, MOST_ADDED_SECONDS)

    @windows_only
    def test_work_file_held_by_a_reader_keeps_the_host_data(self):
        quiet = self.quiet_run_seconds()
        # The copy can read it, but nobody can delete or rewrite it meanwhile.
        for access, share in (("r", "r"), ("rw", "rw")):
            with self.subTest(access=access, share=share):
                sandbox = self.new_sandbox()
                sandbox.write_work_file(WORK_BEFORE)

                with held_open(sandbox.target, sandbox.work_file, access, share):
                    result, seconds = self.timed_run(sandbox)

                # The report of opening it for writing, as when the work file
                # was written in place: the sharing violation, not the move's
                # own refusal.
                self.assertRegex(result.stdout.decode("cp932"),
                                 r'\AEFCreateError: ファイル "[^"]+\\JWC_TEMP.TXT" を作成できません。'
                                 r'共有違反です。\r\n\Z')
                self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
                # The work file was never deleted nor written, so the
                # scratch copy is a needless duplicate and goes.
                self.assert_left_only(sandbox, WORK_FILE)
                print(f"work file held ({access}, share {share}): {seconds:.2f} s, "
                      f"quiet run {quiet:.2f} s")
                self.assertLess(seconds - quiet, MOST_ADDED_SECONDS)

    @windows_only
    def test_stale_scratch_copy_that_cannot_be_replaced(self):
        # Same size as the work file, so only its content could tell the two apart.
        stale = b"stale!!\r\nxxxxxxx\r\n"
        self.assertEqual(len(stale), len(WORK_BEFORE))
        sandbox = self.new_sandbox()
        sandbox.write_work_file(WORK_BEFORE)
        sandbox.scratch_file.write_bytes(stale)

        with held_open(sandbox.target, sandbox.scratch_file, "r", "r"):
            result, _ = self.timed_run(sandbox)

        self.assert_report(result, "EInOutError: I/O エラー 32")
        self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
        self.assertEqual(sandbox.scratch_file.read_bytes(), stale)
        self.assert_left_only(sandbox, WORK_FILE, SCRATCH_FILE)

    @unittest.skipIf(target().short_wait_program is None, "needs the program that waits 1.5 s")
    def test_folder_held_past_the_bound_is_reported_and_left_alone(self):
        # Under Wine also through a second spelling of the folder: a drive
        # letter mapped onto it names the same claim.
        spellings = ["own path"] + (["second drive letter"] if target().is_windows else [])
        for spelling in spellings:
            with self.subTest(spelling):
                sandbox = self.new_sandbox(program=target().short_wait_program)
                sandbox.write_work_file(WORK_BEFORE)
                drives = contextlib.ExitStack()
                self.addCleanup(drives.close)
                started_as = ([sandbox.dos_path(drives.enter_context(target().second_drive()))]
                              if spelling != "own path" else None)

                with claim_held(sandbox.target, sandbox.folder):
                    started = time.monotonic()
                    result = sandbox.run_together(1, started_as=started_as)[0]
                    seconds = time.monotonic() - started

                self.assert_report(result, "EInOutError: I/O エラー 32")
                self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
                self.assert_left_only(sandbox, WORK_FILE)
                self.assertGreaterEqual(seconds, 1.5)
                # Let go, the folder is the run's again.
                self.assert_quiet_success(sandbox.run_together(1, started_as=started_as)[0])
                self.assertEqual(sandbox.work_file.read_bytes(), WORK_AFTER)

    @unittest.skipIf(target().short_wait_program is None, "needs the program that waits 1.5 s")
    def test_claim_squatted_by_someone_else_is_not_waited_for(self):
        sandbox = self.new_sandbox(program=target().short_wait_program)
        sandbox.write_work_file(WORK_BEFORE)

        with claim_squatted(sandbox.target, sandbox.folder):
            result, seconds = self.timed_run(sandbox)

        print(f"claim squatted: run took {seconds:.2f} s")
        self.assert_quiet_success(result)
        self.assertEqual(sandbox.work_file.read_bytes(), WORK_AFTER)
        self.assert_left_only(sandbox, WORK_FILE)


if __name__ == "__main__":
    unittest.main()
