"""Where the report goes: a console (pseudo-terminal), or no usable standard
output at all; and that a run without failure writes to neither handle."""

import os
import re
import shutil
import subprocess
import unittest

from sandbox import RUN_TIMEOUT_SECONDS, WORK_FILE, SandboxTestCase

FILE_NOT_FOUND = "EFileNotFoundException: 指定されたファイルが見つかりません"
# The terminal's cursor controls that Wine's console adds around its output.
TERMINAL_CONTROLS = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]")


class OutputHandlesTest(SandboxTestCase):
    def run_in_terminal(self, sandbox) -> bytes:
        command = " ".join(f"'{part}'" for part in sandbox.target.command(sandbox.program))
        completed = subprocess.run(["script", "-qec", command, "/dev/null"], cwd=sandbox.elsewhere,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   timeout=RUN_TIMEOUT_SECONDS, check=True)
        return TERMINAL_CONTROLS.sub(b"", completed.stdout)

    @unittest.skipUnless(shutil.which("script"), "needs script(1) for a pseudo-terminal")
    def test_report_on_a_console(self):
        sandbox = self.new_sandbox()
        shown = self.run_in_terminal(sandbox)
        # The terminal turns the line end into CR CR LF; its text is UTF-8,
        # the console's own code page on Linux and what Wine shows a terminal.
        self.assertEqual(shown.replace(b"\r\r\n", b"\r\n"),
                         FILE_NOT_FOUND.encode("utf-8") + b"\r\n")
        self.assert_left_only(sandbox)

    @unittest.skipUnless(shutil.which("script"), "needs script(1) for a pseudo-terminal")
    def test_success_on_a_console_shows_nothing(self):
        sandbox = self.new_sandbox()
        sandbox.write_work_file(b"hq\r\n")
        self.assertEqual(self.run_in_terminal(sandbox), b"")
        self.assertEqual(sandbox.work_file.read_bytes(), b"hd\r\n")

    def test_success_writes_to_neither_handle(self):
        sandbox = self.new_sandbox()
        sandbox.write_work_file(b"a\r\nHQ\r\n")
        result = sandbox.run()
        self.assert_quiet_success(result)
        self.assert_left_only(sandbox, WORK_FILE)

    def test_no_usable_standard_output(self):
        if sandbox_is_windows(self):
            self.skipTest("Wine gives a program whose stdout is closed a handle of its own; "
                          "the unit tests cover this case through the platform double")
        sandbox = self.new_sandbox()
        completed = subprocess.run(
            ["sh", "-c", 'exec "$@" >&-', "sh", *sandbox.target.command(sandbox.program)],
            cwd=sandbox.elsewhere, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
            timeout=RUN_TIMEOUT_SECONDS, check=False)
        self.assertEqual(completed.returncode, 1)
        expected = (f"EInOutError がモジュール {sandbox.program.name} の 00000000 で発生しました。"
                    "\r\nI/O エラー 105.\r\n\r\n")
        self.assertEqual(completed.stderr, expected.encode("cp932"))
        self.assert_left_only(sandbox)

    def test_report_that_cannot_be_written_is_no_success(self):
        """A report line that cannot reach stdout ends the run as an unusable
        stdout does: the unhandled report on stderr and exit code 1."""
        def pipe_without_reader():
            reader, writer = os.pipe()
            os.close(reader)
            return writer

        outputs = [("pipe without a reader", pipe_without_reader)]
        if not sandbox_is_windows(self):
            outputs.append(("full disk", lambda: os.open("/dev/full", os.O_WRONLY)))
        for case, open_output in outputs:
            with self.subTest(case):
                sandbox = self.new_sandbox()
                output = open_output()
                try:
                    completed = subprocess.run(
                        sandbox.target.command(sandbox.program), cwd=sandbox.elsewhere,
                        stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.PIPE,
                        timeout=RUN_TIMEOUT_SECONDS, check=False)
                finally:
                    os.close(output)
                self.assertEqual(completed.returncode, 1)
                self.assertRegex(completed.stderr.decode("cp932"),
                                 rf"\AEInOutError がモジュール {re.escape(sandbox.program.name)} の "
                                 r"[0-9A-F]{8} で発生しました。\r\nI/O エラー \d+\.\r\n\r\n\Z")
                self.assert_left_only(sandbox)


def sandbox_is_windows(test: SandboxTestCase) -> bool:
    from sandbox import target
    return target().is_windows


if __name__ == "__main__":
    unittest.main()
