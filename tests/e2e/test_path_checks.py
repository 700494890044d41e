"""Program folders whose paths the checks refuse, and the boundary around them."""

import unittest

from sandbox import WORK_FILE, SandboxTestCase, target

PATH_TOO_LONG = "EPathTooLongException: 指定されたパスが長すぎます"
LONGEST_DIRECTORY = 235  # the work file's name adds 12 units: 247 passes, 248 fails


class PathChecksTest(SandboxTestCase):
    def sandbox_with_directory_length(self, units: int):
        """A program folder whose directory, as the program names it with its
        final separator, is `units` UTF-16 units long."""
        probe = self.new_sandbox("x")
        base = len(target().host_path(probe.folder)) - 1  # without "x"
        name_length = units - base - 1  # the final separator counts too
        self.assertGreater(name_length, 0)
        return self.new_sandbox("d" * name_length)

    def test_directory_of_235_units_works(self):
        sandbox = self.sandbox_with_directory_length(LONGEST_DIRECTORY)
        sandbox.write_work_file(b"hq\r\n")
        result = sandbox.run()
        self.assert_quiet_success(result)
        self.assertEqual(sandbox.work_file.read_bytes(), b"hd\r\n")

    def test_directory_of_236_units_is_too_long(self):
        sandbox = self.sandbox_with_directory_length(LONGEST_DIRECTORY + 1)
        sandbox.write_work_file(b"hq\r\n")
        result = sandbox.run()
        self.assert_report(result, PATH_TOO_LONG)
        self.assertEqual(sandbox.work_file.read_bytes(), b"hq\r\n")
        self.assert_left_only(sandbox, WORK_FILE)

    def test_colon_in_program_folder_is_refused(self):
        if target().is_windows:
            self.skipTest("Windows folder names cannot hold a colon")
        sandbox = self.new_sandbox("a:b")
        sandbox.write_work_file(b"hq\r\n")
        result = sandbox.run()
        self.assert_report(result, "ENotSupportedException: パスの形式がサポートされていません")
        self.assertEqual(sandbox.work_file.read_bytes(), b"hq\r\n")


if __name__ == "__main__":
    unittest.main()
