"""Which lines become "hd": the lines of tests/cases/rewrite_rule.txt, one after
another in one work file, in code page 932 (those it can hold) and in UTF-8
with a mark."""

import unittest

from cases import rule_rows
from sandbox import WORK_FILE, SandboxTestCase


def fits(line: str, encoding: str) -> bool:
    """A line of a file holds no line break and only characters of its encoding."""
    try:
        line.encode(encoding)
    except UnicodeEncodeError:
        return False
    return "\r" not in line and "\n" not in line


class RewriteRuleTest(SandboxTestCase):
    def check(self, encoding: str) -> None:
        rows = [(line, hd) for line, hd in rule_rows() if fits(line, encoding)]
        before = "".join(line + "\r\n" for line, _ in rows)
        sandbox = self.new_sandbox()
        sandbox.write_work_file(before.encode(encoding))
        self.assert_quiet_success(sandbox.run())
        after = sandbox.work_file.read_bytes().decode(encoding).split("\r\n")
        self.assertEqual(after, ["hd" if hd else line for line, hd in rows] + [""])
        self.assert_left_only(sandbox, WORK_FILE)

    def test_code_page_932(self):
        self.check("cp932")

    def test_utf8_with_mark(self):
        self.check("utf-8-sig")


if __name__ == "__main__":
    unittest.main()
