"""Work-file bytes in, work-file bytes out: byte-order marks, line breaks and
the encoding the result is written in."""

import unittest

from sandbox import WORK_FILE, SandboxTestCase

# (case, work file before, work file after)
ROUND_TRIPS = [
    ("empty file", b"", b""),
    ("UTF-8 mark only", b"\xef\xbb\xbf", b"\xef\xbb\xbf"),
    ("last line without break", b"a\r\nb", b"a\r\nb\r\n"),
    ("CR only", b"a\rb\r", b"a\r\nb\r\n"),
    ("LF only", b"a\nb\n", b"a\r\nb\r\n"),
    ("LF CR ends two lines", b"a\n\rb", b"a\r\n\r\nb\r\n"),
    ("CR CR LF ends two lines", b"a\r\r\nb", b"a\r\n\r\nb\r\n"),
    ("one empty line", b"\r\n", b"\r\n"),
    ("trailing empty line kept", b"a\r\n\r\n", b"a\r\n\r\n"),
    ("code page 932 text unchanged", b"\x82\xa0\r\n", b"\x82\xa0\r\n"),
    ("UTF-8 text unchanged", b"\xef\xbb\xbf\xc3\xa9\r\n", b"\xef\xbb\xbf\xc3\xa9\r\n"),
    ("UTF-8 hq without break", b"\xef\xbb\xbfhq", b"\xef\xbb\xbfhd\r\n"),
    ("UTF-8 Japanese and hq", "\ufeffあ\r\n HQ \r\n".encode("utf-8"), "\ufeffあ\r\nhd\r\n".encode()),
    ("UTF-16 LE to code page 932", b"\xff\xfeh\x00q\x00\r\x00\n\x00", b"hd\r\n"),
    ("UTF-16 LE Japanese", b"\xff\xfe\x42\x30\r\x00\n\x00", b"\x82\xa0\r\n"),
    ("UTF-16 LE mark only", b"\xff\xfe", b""),
    ("UTF-16 LE odd last byte ignored", b"\xff\xfea\x00b", b"a\r\n"),
    ("UTF-16 LE U+0000 after the mark", b"\xff\xfe\x00\x00", b"\x00\r\n"),
    ("UTF-16 BE to code page 932", b"\xfe\xff\x00a", b"a\r\n"),
    ("UTF-16 BE hq", b"\xfe\xff\x00h\x00q", b"hd\r\n"),
    ("UTF-16 BE mark only", b"\xfe\xff", b""),
    ("U+0000 inside a line", b"a\x00b\r\nhq", b"a\x00b\r\nhd\r\n"),
    ("U+0000 trimmed like a blank", b"hq\x00\r\n\x00hQ", b"hd\r\nhd\r\n"),
    (
        "UTF-16 LE without mark read as code page 932",
        "a\r\nhq".encode("utf-16-le"),
        b"a\x00\r\n\x00\r\n\x00h\x00q\x00\r\n",
    ),
    # EF BB is one byte short of a mark, and a code page 932 pair without a
    # character: the file is not code page 932 and keeps its bytes.
    ("EF BB kept as it is", b"\xef\xbb\r\nhq", b"\xef\xbb\r\nhd\r\n"),
    # Written with the code page's best-fit character.
    ("UTF-16 character missing from code page 932", "\ufeff\u00e9\r\nhq".encode("utf-16-le"),
     b"e\r\nhd\r\n"),
]


class CodecBytesTest(SandboxTestCase):
    def test_round_trips(self):
        for case, before, after in ROUND_TRIPS:
            with self.subTest(case):
                sandbox = self.new_sandbox()
                sandbox.write_work_file(before)
                result = sandbox.run()
                self.assert_quiet_success(result)
                self.assertEqual(sandbox.work_file.read_bytes().hex(" "), after.hex(" "))
                self.assert_left_only(sandbox, WORK_FILE)


if __name__ == "__main__":
    unittest.main()
