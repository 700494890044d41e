"""Which lines become "hd": trimmed (units up to U+0020), lower-cased, equal to "hq"."""

import unittest

from sandbox import WORK_FILE, SandboxTestCase

# (case, lines before, lines after); every line ends in CR LF on disk.
RULE_CASES = [
    ("mixed block", ["a", "  HQ\t", "hq", "hqx"], ["a", "hd", "hd", "hqx"]),
    ("every case mix", ["hq", "hQ", "Hq", "HQ"], ["hd", "hd", "hd", "hd"]),
    ("surrounding blanks dropped", ["   hq", "hq   ", "\thq\t", " \t HQ \t "], ["hd"] * 4),
    ("control characters trimmed", ["\x01hq\x1f", "\x0bHq\x0c", "\x1bhQ"], ["hd"] * 3),
    ("full-width letters", ["ｈｑ", "ＨＱ", " ｈｑ "], ["ｈｑ", "ＨＱ", " ｈｑ "]),
    ("near misses", ["h q", "hq1", "hqhq", "hqx", "xhq", "h", "q", "hd"],
     ["h q", "hq1", "hqhq", "hqx", "xhq", "h", "q", "hd"]),
    ("blanks-only lines pass", ["", " ", "\t\t", "  \t "], ["", " ", "\t\t", "  \t "]),
    ("DEL is not a blank", ["\x7fhq", "hq\x7f"], ["\x7fhq", "hq\x7f"]),
    ("ideographic space is not a blank", ["\u3000hq", "hq\u3000"], ["\u3000hq", "hq\u3000"]),
    ("Japanese text kept", ["漢字かなカナ", "hq", "ｈｑ です"], ["漢字かなカナ", "hd", "ｈｑ です"]),
]


def encoded(lines: list[str], encoding: str) -> bytes:
    return "".join(line + "\r\n" for line in lines).encode(encoding)


class RewriteRuleTest(SandboxTestCase):
    def check(self, before: bytes, after: bytes) -> None:
        sandbox = self.new_sandbox()
        sandbox.write_work_file(before)
        result = sandbox.run()
        self.assert_quiet_success(result)
        self.assertEqual(sandbox.work_file.read_bytes(), after)
        self.assert_left_only(sandbox, WORK_FILE)

    def test_code_page_932(self):
        for case, before, after in RULE_CASES:
            with self.subTest(case):
                self.check(encoded(before, "cp932"), encoded(after, "cp932"))

    def test_utf8_with_mark(self):
        for case, before, after in RULE_CASES:
            with self.subTest(case):
                self.check(encoded(before, "utf-8-sig"), encoded(after, "utf-8-sig"))

    def test_utf8_only_characters_kept(self):
        # Characters outside code page 932 survive only because the mark keeps the file UTF-8.
        before = ["\u00a0hq", "é", "hq", "😀"]
        self.check(encoded(before, "utf-8-sig"),
                   encoded(["\u00a0hq", "é", "hd", "😀"], "utf-8-sig"))


if __name__ == "__main__":
    unittest.main()
