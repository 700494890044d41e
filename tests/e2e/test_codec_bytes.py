"""Work-file bytes in, work-file bytes out: byte-order marks, line breaks, the
encoding the result is written in, and the runs that report instead; the rows
of tests/cases/work_files.txt that a run of the program can show."""

import unittest

from cases import work_file_rows
from sandbox import SandboxTestCase


class CodecBytesTest(SandboxTestCase):
    def test_work_files(self):
        for row in work_file_rows():
            # A refused rename and the platform's own choices are the C++ tests' matter.
            if row.after is None or "rename-back-refused" in row.flags:
                continue
            with self.subTest(row.name):
                sandbox = self.new_sandbox()
                inner = sandbox.work_file / "inner.txt"
                if "work-file-folder" in row.flags:
                    sandbox.work_file.mkdir()
                    inner.write_bytes(row.before)
                elif "no-work-file" not in row.flags:
                    sandbox.write_work_file(row.before)
                result = sandbox.run()
                if row.report:
                    self.assert_report(result, row.report)
                else:
                    self.assert_quiet_success(result)
                if "work-file-folder" in row.flags:
                    self.assertEqual(inner.read_bytes(), row.before)
                else:
                    for name in row.left:
                        self.assertEqual((sandbox.folder / name).read_bytes().hex(" "),
                                         row.after.hex(" "), name)
                self.assert_left_only(sandbox, *row.left)


if __name__ == "__main__":
    unittest.main()
