"""Work and scratch files that another process holds open while the program
runs. Only Windows enforces sharing modes between processes, so these cases
run for the Windows builds (under Wine) alone."""

import unittest

from holder import held_open
from sandbox import SCRATCH_FILE, WORK_FILE, SandboxTestCase, target

WORK_BEFORE = "データ\r\nhq\r\n  HQ\r\n".encode("cp932")


@unittest.skipUnless(target().is_windows, "sharing modes are enforced on Windows only")
class HeldFileTest(SandboxTestCase):
    def test_work_file_held_without_sharing(self):
        sandbox = self.new_sandbox()
        sandbox.write_work_file(WORK_BEFORE)

        with held_open(sandbox.target, sandbox.work_file, "r", "none"):
            result = sandbox.run()

        self.assert_report(result, "EInOutError: I/O エラー 103")
        self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
        self.assert_left_only(sandbox, WORK_FILE)

    def test_work_file_held_by_a_reader_keeps_the_host_data(self):
        # The copy can read it, but nobody can delete or rewrite it meanwhile.
        for access, share in (("r", "r"), ("rw", "rw")):
            with self.subTest(access=access, share=share):
                sandbox = self.new_sandbox()
                sandbox.write_work_file(WORK_BEFORE)

                with held_open(sandbox.target, sandbox.work_file, access, share):
                    result = sandbox.run()

                self.assertRegex(result.stdout.decode("cp932"),
                                 r'\AEFCreateError: ファイル "[^"]+\\JWC_TEMP.TXT" を作成できません。'
                                 r'[^\r\n]+\r\n\Z')
                self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
                # The work file was never deleted nor written, so the
                # scratch copy is a needless duplicate and goes.
                self.assert_left_only(sandbox, WORK_FILE)

    def test_stale_scratch_copy_that_cannot_be_replaced(self):
        # Same size as the work file, so only its content could tell the two apart.
        stale = b"stale!!\r\nxxxxxxx\r\n"
        self.assertEqual(len(stale), len(WORK_BEFORE))
        sandbox = self.new_sandbox()
        sandbox.write_work_file(WORK_BEFORE)
        sandbox.scratch_file.write_bytes(stale)

        with held_open(sandbox.target, sandbox.scratch_file, "r", "r"):
            result = sandbox.run()

        self.assert_report(result, "EInOutError: I/O エラー 32")
        self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
        self.assertEqual(sandbox.scratch_file.read_bytes(), stale)
        self.assert_left_only(sandbox, WORK_FILE, SCRATCH_FILE)


if __name__ == "__main__":
    unittest.main()
