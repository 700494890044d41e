"""Runs that end in a report line on stdout instead of a rewritten work file."""

import unittest

from sandbox import WORK_FILE, SandboxTestCase

FILE_NOT_FOUND = "EFileNotFoundException: 指定されたファイルが見つかりません"


class ReportTest(SandboxTestCase):
    def test_missing_work_file(self):
        for stdout_kind, to_pipe in (("stdout a file", False), ("stdout a pipe", True)):
            with self.subTest(stdout_kind):
                sandbox = self.new_sandbox()
                result = sandbox.run(stdout_to_pipe=to_pipe)
                self.assert_report(result, FILE_NOT_FOUND)
                self.assert_left_only(sandbox)

    def test_work_file_that_is_a_folder(self):
        sandbox = self.new_sandbox()
        sandbox.work_file.mkdir()
        inner = sandbox.work_file / "inner.txt"
        inner.write_bytes(b"hq\r\n")

        result = sandbox.run()

        self.assertEqual(result.exit_code, 0)
        self.assertEqual(result.stderr, b"")
        self.assertRegex(result.stdout, rb"\AEFileNotFoundException: [^\r\n]+\r\n\Z")
        self.assertTrue(sandbox.work_file.is_dir())
        self.assertEqual([entry.name for entry in sandbox.work_file.iterdir()], ["inner.txt"])
        self.assertEqual(inner.read_bytes(), b"hq\r\n")
        self.assert_left_only(sandbox, WORK_FILE)


if __name__ == "__main__":
    unittest.main()
