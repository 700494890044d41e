"""Where the program lives: an awkward folder name, and files that an earlier
run left beside it."""

import pathlib
import unittest

from sandbox import WORK_FILE, SandboxTestCase, target

AWKWARD_FOLDER_NAMES = ["作業 フォルダ 1", "ｈｑ (hq) 表", "100% 完了 #1"]

WORK_BEFORE = "一行目\r\n HQ\r\nhq1\r\n".encode("cp932")
WORK_AFTER = "一行目\r\nhd\r\nhq1\r\n".encode("cp932")


class ProgramFolderTest(SandboxTestCase):
    def test_folder_names_with_spaces_and_japanese(self):
        for folder_name in AWKWARD_FOLDER_NAMES:
            with self.subTest(folder_name):
                sandbox = self.new_sandbox(folder_name)
                sandbox.write_work_file(WORK_BEFORE)
                result = sandbox.run()
                self.assert_quiet_success(result)
                self.assertEqual(sandbox.work_file.read_bytes(), WORK_AFTER)
                self.assert_left_only(sandbox, WORK_FILE)

    def test_missing_work_file_in_japanese_folder(self):
        sandbox = self.new_sandbox(AWKWARD_FOLDER_NAMES[0])
        result = sandbox.run()
        self.assert_report(result, "EFileNotFoundException: 指定されたファイルが見つかりません")
        self.assert_left_only(sandbox)

    def test_stale_scratch_copy_is_replaced(self):
        stale_contents = [
            ("shorter", b"x\r\n"),
            ("same size", (b"stale\r\n" * 3)[: len(WORK_BEFORE)]),
            ("longer", b"stale line\r\n" * 1000),
            ("empty", b""),
        ]
        for case, stale in stale_contents:
            with self.subTest(case):
                sandbox = self.new_sandbox()
                sandbox.scratch_file.write_bytes(stale)
                sandbox.write_work_file(WORK_BEFORE)
                result = sandbox.run()
                self.assert_quiet_success(result)
                self.assertEqual(sandbox.work_file.read_bytes(), WORK_AFTER)
                self.assert_left_only(sandbox, WORK_FILE)

    @unittest.skipIf(target().is_windows,
                     "Wine cannot start a program whose full name has more than 260 units")
    def test_folder_whose_name_the_system_cuts_touches_no_work_file(self):
        # A 120-unit folder under a 212-unit parent: the module name is cut
        # inside the folder's own name, so its directory part is the parent.
        sandbox = self.new_sandbox()
        deep = sandbox.folder
        while len(target().host_path(deep)) < 212 - 50:
            deep = deep / ("p" * 50)
        deep = deep / ("q" * (212 - len(target().host_path(deep)) - 1))
        self.assertEqual(len(target().host_path(deep)), 212)
        program_folder = deep / ("r" * 120)
        program_folder.mkdir(parents=True)
        program = program_folder / sandbox.program.name
        sandbox.program.rename(program)
        sandbox.program = program
        sandbox.folder = program_folder
        (deep / WORK_FILE).write_bytes(WORK_BEFORE)
        sandbox.write_work_file(WORK_BEFORE)

        result = sandbox.run()

        self.assert_report(result, "EPathTooLongException: 指定されたパスが長すぎます")
        self.assertEqual((deep / WORK_FILE).read_bytes(), WORK_BEFORE)
        self.assertEqual(sandbox.work_file.read_bytes(), WORK_BEFORE)
        self.assertEqual(sorted(entry.name for entry in deep.iterdir()),
                         sorted([WORK_FILE, "r" * 120]))
        self.assert_left_only(sandbox, WORK_FILE)


if __name__ == "__main__":
    unittest.main()
