"""A Windows whose ANSI code page is 1252 (Wine under en_US.UTF-8): a work
file without a mark is read and written back in 1252, a UTF-8 one stays
UTF-8, and a report line's Japanese characters become the code page's
default character."""

import contextlib
import os
import unittest

from sandbox import SandboxTestCase, target

LOCALE = "en_US.UTF-8"

# (case, work file before, work file after)
ROUND_TRIPS = [
    ("empty file", b"", b""),
    ("1252 letters and hq", b"caf\xe9\r\n  HQ\t\r\n\xc4\xd6\xdc\xdf", b"caf\xe9\r\nhd\r\n\xc4\xd6\xdc\xdf\r\n"),
    ("every byte of 1252 that has a character", bytes(b for b in range(0x80, 0x100)
                                                     if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D))
     + b"\r\n", bytes(b for b in range(0x80, 0x100) if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D))
     + b"\r\n"),
    ("UTF-8 with a mark stays UTF-8", "\ufeffあ\r\nhq\r\n".encode("utf-8"),
     "\ufeffあ\r\nhd\r\n".encode("utf-8")),
    ("UTF-16 comes back in 1252", b"\xff\xfe\xe9\x00\r\x00\n\x00", b"\xe9\r\n"),
]

# 指定されたファイルが見つかりません: seventeen characters that 1252 lacks.
FILE_NOT_FOUND_1252 = b"EFileNotFoundException: " + b"?" * 17 + b"\r\n"


@contextlib.contextmanager
def wine_locale(locale: str):
    """Runs started meanwhile see `locale` (wine-run reads HQ2HD_WINE_LOCALE)."""
    previous = os.environ.get("HQ2HD_WINE_LOCALE")
    os.environ["HQ2HD_WINE_LOCALE"] = locale
    try:
        yield
    finally:
        if previous is None:
            del os.environ["HQ2HD_WINE_LOCALE"]
        else:
            os.environ["HQ2HD_WINE_LOCALE"] = previous


@unittest.skipUnless(target().is_windows, "the ANSI code page is chosen only under Wine")
class SingleByteCodePageTest(SandboxTestCase):
    def test_round_trips(self):
        for case, before, after in ROUND_TRIPS:
            with self.subTest(case):
                sandbox = self.new_sandbox()
                sandbox.write_work_file(before)
                with wine_locale(LOCALE):
                    result = sandbox.run()
                self.assert_quiet_success(result)
                self.assertEqual(sandbox.work_file.read_bytes(), after)
                self.assert_left_only(sandbox, "JWC_TEMP.TXT")

    def test_report_in_the_code_page(self):
        for stdout_kind, to_pipe in (("stdout a file", False), ("stdout a pipe", True)):
            with self.subTest(stdout_kind):
                sandbox = self.new_sandbox()
                with wine_locale(LOCALE):
                    result = sandbox.run(stdout_to_pipe=to_pipe)
                self.assertEqual(result.exit_code, 0)
                self.assertEqual(result.stdout, FILE_NOT_FOUND_1252)
                self.assertEqual(result.stderr, b"")
                self.assert_left_only(sandbox)


if __name__ == "__main__":
    unittest.main()
