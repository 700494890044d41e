"""Work files of many sizes, from a few blocks of the copy to about 10 MB and
several hundred thousand lines (many pieces of the rewrite), in every
encoding, checked against the model of the rewrite."""

import collections
import operator
import random
import signal
import time
import unittest

import line_model
from sandbox import (NEW_WORK_FILE, SCRATCH_FILE, WORK_FILE, SandboxTestCase, failed_in_wine,
                     target)

TARGET_BYTES = 10 * 1024 * 1024
COPY_BLOCK = 4096
LINE_BREAKS = ["\r\n", "\r\n", "\r\n", "\n", "\r"]
HQ_FORMS = ["hq", "HQ", "  Hq", "hQ\t", " \thq \t", "\x01HQ\x1f"]
OTHER_LINES = [
    "", " ", "\t", "hq1", "h q", "hqhq", "ｈｑ", "ＨＱ", "データ", "日本語の行です",
    "abc def", "hd", "q", "漢字とかなカナ、句読点。", "0123456789" * 8,
]


def generated_text(seed: int, target_bytes: int = TARGET_BYTES) -> str:
    """About `target_bytes` of UTF-8 (a little more): one line in five an hq line."""
    generator = random.Random(seed)
    lines = HQ_FORMS + OTHER_LINES
    weights = [0.2 / len(HQ_FORMS)] * len(HQ_FORMS) + [0.8 / len(OTHER_LINES)] * len(OTHER_LINES)
    average = sum(w * len(line.encode("utf-8")) for w, line in zip(weights, lines)) + sum(
        len(b) for b in LINE_BREAKS) / len(LINE_BREAKS)
    count = int(target_bytes / average * 1.05) + 1
    return "".join(map(operator.add, generator.choices(lines, weights, k=count),
                       generator.choices(LINE_BREAKS, k=count)))


def first_difference(actual: bytes, expected: bytes) -> str | None:
    """Where two long byte strings part, with some context; None when equal."""
    if actual == expected:
        return None
    offset = next(i for i, (a, e) in enumerate(zip(actual, expected)) if a != e)
    start = max(0, offset - 16)
    return (f"offset {offset}: got {actual[start:offset + 16].hex(' ')}, "
            f"expected {expected[start:offset + 16].hex(' ')}")


def exactly(size: int, seed: int) -> bytes:
    """Code page 932 lines cut to `size` bytes, ending in an ASCII "hq" line."""
    tail = b"\r\nhq"
    body = generated_text(seed, 2 * size).encode("cp932")[: size - len(tail)]
    # A cut through a Japanese character drops its first byte; "x" fills up.
    body = body.decode("cp932", errors="ignore").encode("cp932")
    return body.ljust(size - len(tail), b"x") + tail


class LargeFileTest(SandboxTestCase):
    def test_sizes_around_copy_blocks(self):
        for size in (COPY_BLOCK - 1, COPY_BLOCK, COPY_BLOCK + 1, 2 * COPY_BLOCK, 10000):
            with self.subTest(size=size):
                before = exactly(size, seed=size)
                self.assertEqual(len(before), size)
                sandbox = self.new_sandbox()
                sandbox.write_work_file(before)

                result = sandbox.run()

                self.assert_quiet_success(result)
                written = sandbox.work_file.read_bytes()
                expected = line_model.expected_work_file(before)
                self.assertEqual(first_difference(written, expected), None)
                self.assertTrue(written.endswith(b"\r\nhd\r\n"))
                self.assert_left_only(sandbox, WORK_FILE)

    def test_large_work_file(self):
        # The last field: a code the run writes as another, which the line
        # model leaves as it is.
        for case, prefix, encoding, seed, suffix, shared in (
            ("code page 932", b"", "cp932", 1, b"", None),
            ("UTF-8 with mark", line_model.UTF8_MARK, "utf-8", 2, b"", None),
            ("UTF-16 LE", b"\xff\xfe", "utf-16-le", 3, b"", None),
            ("UTF-16 BE", b"\xfe\xff", "utf-16-be", 4, b"", None),
            ("UTF-8 without mark, kept as its own bytes", b"", "utf-8", 5, b"", None),
            # 87 90 is written as 81 E0 in a valid file; the invalid pair at the
            # end, several pieces later, makes the whole file keep its bytes.
            ("code page 932 invalid at its end", b"\x87\x90\r\n", "cp932", 6, b"\x85\x40", None),
            # The first such code many pieces in: the file is read a second
            # time, checked from its start, and the code replaced.
            ("code page 932 with a shared code at its end", b"", "cp932", 9, b"\x87\x90",
             (b"\x87\x90\r\n", b"\x81\xe0\r\n")),
        ):
            with self.subTest(case):
                before = prefix + generated_text(seed).encode(encoding) + suffix
                expected = line_model.expected_work_file(before)
                if shared:
                    self.assertTrue(expected.endswith(shared[0]))
                    expected = expected[: -len(shared[0])] + shared[1]
                self.assertGreater(expected.count(b"hd\r\n"), 50_000)
                sandbox = self.new_sandbox()
                sandbox.write_work_file(before)

                result = sandbox.run()

                self.assert_quiet_success(result)
                written = sandbox.work_file.read_bytes()
                self.assertEqual(len(written), len(expected))
                self.assertEqual(first_difference(written, expected), None)
                self.assert_left_only(sandbox, WORK_FILE)

    def test_run_killed_at_any_moment_then_run_again_loses_nothing(self):
        """The next run is the one a host starts: after a kill anywhere, it
        must find the host's data whole, never a cut work file."""
        before = generated_text(7).encode("cp932")
        expected = line_model.expected_work_file(before)
        sandbox = self.new_sandbox()
        sandbox.write_work_file(before)
        started = time.monotonic()
        self.assert_quiet_success(sandbox.run())
        duration = time.monotonic() - started
        generator = random.Random(8)
        outcomes = collections.Counter()
        # Under a memory checker a few trials show what it has to show.
        for trial in range(4 if target().wrapper else 12):
            how = (signal.SIGKILL, signal.SIGTERM)[trial % 2]
            with self.subTest(trial=trial, signal=how.name):
                for name in (SCRATCH_FILE, NEW_WORK_FILE):
                    (sandbox.folder / name).unlink(missing_ok=True)
                sandbox.write_work_file(before)
                if not sandbox.run_killed_after(generator.uniform(0, duration), how):
                    outcomes["ended before the kill"] += 1
                result = sandbox.run()
                # Wine now and then fails a process started just after one it
                # had to end (see failed_in_wine): the host starts it again.
                if failed_in_wine(result):
                    outcomes["Wine failed the next run; run again"] += 1
                    result = sandbox.run()
                if sandbox.work_file.exists():
                    self.assert_quiet_success(result)
                    written = sandbox.work_file.read_bytes()
                    self.assertEqual(first_difference(written, expected), None)
                    self.assert_left_only(sandbox, WORK_FILE)
                    outcomes["rewritten by either run"] += 1
                else:
                    # Killed between the work file's delete and the new one's
                    # move: the host's bytes are whole in the scratch copy.
                    self.assert_report(
                        result, "EFileNotFoundException: 指定されたファイルが見つかりません")
                    self.assertEqual(sandbox.scratch_file.read_bytes(), before)
                    self.assert_left_only(sandbox, SCRATCH_FILE)
                    outcomes["host's bytes in the scratch copy"] += 1
        print(f"killed runs, then run again: {dict(outcomes)} (a clean run took {duration:.2f} s)")


if __name__ == "__main__":
    unittest.main()
