"""Runs that end in a report line on stdout instead of a rewritten work file."""

import os
import pathlib
import re
import resource
import subprocess
import unittest

from sandbox import (NEW_WORK_FILE, RUN_TIMEOUT_SECONDS, SCRATCH_FILE, WORK_FILE, RunResult,
                     SandboxTestCase, target)

FILE_NOT_FOUND = "EFileNotFoundException: 指定されたファイルが見つかりません"
ACCESS_DENIED = "EInOutError: ファイルへのアクセスが拒否されました"

HOST_BYTES = "一行目\r\n HQ\r\n".encode("cp932")
REWRITTEN_BYTES = "一行目\r\nhd\r\n".encode("cp932")


def program_version() -> str:
    cmake_lists = pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt"
    return re.search(r"project\(hq2hd VERSION (\S+)", cmake_lists.read_text()).group(1)


class ReportTest(SandboxTestCase):
    def test_missing_work_file_with_stdout_a_pipe(self):
        # A missing work file, a folder at its name and a body that is not
        # UTF-8 with stdout a file: rows of tests/cases/work_files.txt.
        sandbox = self.new_sandbox()
        self.assert_report(sandbox.run(stdout_to_pipe=True), FILE_NOT_FOUND)
        self.assert_left_only(sandbox)

    def test_scratch_name_that_is_a_folder_stops_the_copy(self):
        # The scratch copy's name belongs to the program.
        sandbox = self.new_sandbox()
        sandbox.write_work_file(HOST_BYTES)
        sandbox.scratch_file.mkdir()
        (sandbox.scratch_file / "inner.txt").write_bytes(b"x")
        self.assert_report(sandbox.run(), ACCESS_DENIED)
        self.assertEqual(sandbox.work_file.read_bytes(), HOST_BYTES)
        self.assertEqual((sandbox.scratch_file / "inner.txt").read_bytes(), b"x")
        self.assert_left_only(sandbox, WORK_FILE, SCRATCH_FILE)

    def test_work_file_that_is_no_file_or_too_large_is_refused_untouched(self):
        """Known before the first byte is copied: nothing waits, nothing is
        created, and the work file is as it was."""
        def fifo(sandbox):
            os.mkfifo(sandbox.work_file)

        def link_to_zeros(sandbox):
            sandbox.work_file.symlink_to("/dev/zero")

        def sparse(sandbox):
            with open(sandbox.work_file, "wb") as file:
                file.truncate(3 << 30)

        cases = [("3 GiB sparse file", sparse, "EInOutError: ファイルが大きすぎます")]
        if not target().is_windows:
            # Devices and pipes are a Linux matter: a Windows name is a file.
            cases += [("FIFO that nobody writes", fifo, "EInOutError: I/O エラー 103"),
                      ("link to /dev/zero", link_to_zeros, "EInOutError: I/O エラー 103")]
        for case, arrange, report in cases:
            with self.subTest(case):
                sandbox = self.new_sandbox()
                arrange(sandbox)
                before = os.lstat(sandbox.work_file)
                self.assert_report(sandbox.run(), report)
                after = os.lstat(sandbox.work_file)
                self.assertEqual((after.st_mode, after.st_size, after.st_ino),
                                 (before.st_mode, before.st_size, before.st_ino))
                self.assert_left_only(sandbox, WORK_FILE)

    @unittest.skipIf(target().is_windows,
                     "links and permission bits are Linux matters (and Wine's DeleteFileW "
                     "removes what a Unix link leads to)")
    def test_runs_write_only_their_own_files_as_private_as_the_host_made_it(self):
        """A link left under the new work file's or the scratch copy's name,
        leading outside the folder, is replaced by a file of the run's own;
        the work file keeps its permission bits."""
        for planted, mode in ((NEW_WORK_FILE, 0o644), (SCRATCH_FILE, 0o644), (None, 0o600),
                              (None, 0o640)):
            with self.subTest(planted=planted, mode=oct(mode)):
                sandbox = self.new_sandbox()
                outside = sandbox.elsewhere.parent / "outside.txt"
                outside.write_bytes(b"outside\r\n")
                if planted:
                    (sandbox.folder / planted).symlink_to(outside)
                sandbox.write_work_file(HOST_BYTES)
                sandbox.work_file.chmod(mode)
                self.assert_quiet_success(sandbox.run())
                self.assertEqual(outside.read_bytes(), b"outside\r\n")
                self.assertEqual(sandbox.work_file.read_bytes(), REWRITTEN_BYTES)
                self.assertEqual(sandbox.work_file.stat().st_mode & 0o777, mode)
                self.assert_left_only(sandbox, WORK_FILE)

    @unittest.skipIf(target().is_windows, "a file-size limit is a Linux matter")
    def test_write_past_a_file_size_limit_is_a_failed_write(self):
        """The copy fits under the limit, the new work file (CR LF for each LF)
        does not: a failed write, reported, the host's bytes back in place."""
        host_bytes = b"a\n" * 40960
        sandbox = self.new_sandbox()
        sandbox.write_work_file(host_bytes)
        limit = 100 * 1024
        completed = subprocess.run(
            sandbox.target.command(sandbox.program), cwd=sandbox.elsewhere,
            stdin=subprocess.DEVNULL, capture_output=True, timeout=RUN_TIMEOUT_SECONDS,
            check=False,
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit)))
        self.assert_report(RunResult(completed.returncode, completed.stdout, completed.stderr),
                           "EWriteError: ストリームへの書き込みエラー")
        self.assertEqual(sandbox.work_file.read_bytes(), host_bytes)
        self.assert_left_only(sandbox, WORK_FILE)

    @unittest.skipIf(target().is_windows, "permission bits are a Linux matter")
    def test_read_only_work_file_and_folder_for_a_user_without_rights(self):
        user = "nobody" if os.geteuid() == 0 else None
        cases = [
            ("read-only work file", lambda sandbox: sandbox.work_file.chmod(0o444),
             rf'EFCreateError: ファイル "(?P<folder>.+)/{WORK_FILE}" を作成できません。.+'),
            ("read-only folder", lambda sandbox: sandbox.folder.chmod(0o555),
             re.escape(ACCESS_DENIED)),
        ]
        for case, arrange, report in cases:
            with self.subTest(case):
                sandbox = self.new_sandbox_for(user) if user else self.new_sandbox()
                sandbox.write_work_file(HOST_BYTES)
                if user:
                    os.chown(sandbox.work_file, os.stat(sandbox.folder).st_uid, -1)
                arrange(sandbox)
                result = sandbox.run(user=user)
                sandbox.folder.chmod(0o755)
                self.assertEqual(result.exit_code, 0)
                self.assertEqual(result.stderr, b"")
                line = result.stdout.decode("cp932")
                match = re.fullmatch(report + "\r\n", line)
                self.assertIsNotNone(match, line)
                if "folder" in match.groupdict():
                    self.assertEqual(match["folder"], str(sandbox.folder))
                self.assertEqual(sandbox.work_file.read_bytes(), HOST_BYTES)
                self.assert_left_only(sandbox, WORK_FILE)

    def test_a_person_typing_one_question_gets_an_answer_and_no_file_is_touched(self):
        usage_start = "使い方: hq2hd".encode("cp932")
        cases = [
            (("--version",), f"hq2hd {program_version()}\r\n".encode("cp932")),
            (("--help",), usage_start),
            (("/?",), usage_start if target().is_windows else None),
            # Anything else is ignored, as hosts start the program without arguments.
            (("--version", "--help"), None),
            (("-v",), None),
        ]
        for args, answer in cases:
            with self.subTest(" ".join(args)):
                sandbox = self.new_sandbox()
                sandbox.write_work_file(HOST_BYTES)
                result = sandbox.run(args=args)
                if answer is None:
                    self.assert_quiet_success(result)
                    self.assertEqual(sandbox.work_file.read_bytes(), REWRITTEN_BYTES)
                else:
                    self.assertEqual(result.exit_code, 0)
                    self.assertTrue(result.stdout.startswith(answer), result.stdout)
                    self.assertTrue(result.stdout.endswith(b"\r\n"))
                    self.assertEqual(sandbox.work_file.read_bytes(), HOST_BYTES)
                self.assert_left_only(sandbox, WORK_FILE)


if __name__ == "__main__":
    unittest.main()
