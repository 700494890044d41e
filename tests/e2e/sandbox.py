"""Runs the built program the way the host does: alone in a fresh folder with
its work file beside it, started without arguments from some other folder."""

import contextlib
import dataclasses
import os
import pathlib
import pwd
import shutil
import signal
import subprocess
import tempfile
import unittest

WORK_FILE = "JWC_TEMP.TXT"
SCRATCH_FILE = "TEMP.TXT"
NEW_WORK_FILE = "HQ2HD.NEW"
RUN_TIMEOUT_SECONDS = 300


@dataclasses.dataclass(frozen=True)
class Target:
    """The program under test and how to start Windows programs of its build."""

    program: pathlib.Path
    launcher: pathlib.Path | None  # wine-run for a Windows build, None for a native one
    hold_file: pathlib.Path | None  # the HoldFile helper (Windows builds only)
    sandbox_root: pathlib.Path
    wrapper: tuple[str, ...] = ()  # e.g. a memory checker the native program runs under
    short_wait_program: pathlib.Path | None = None  # waits 1.5 s for a held folder

    @property
    def is_windows(self) -> bool:
        return self.launcher is not None

    def command(self, program: pathlib.PurePath, *args: str) -> list[str]:
        prefix = [str(self.launcher)] if self.launcher else []
        # A wrapper such as a memory checker runs the program under test, not helpers.
        if self.wrapper and program.name == self.program.name:
            prefix = [*self.wrapper, *prefix]
        return prefix + [str(program), *args]

    @contextlib.contextmanager
    def second_drive(self):
        """A drive letter of the Wine prefix mapped onto the sandbox root, as
        a second spelling of every folder under it ("Y:"), for the `with`
        block only: while it exists, Wine names a program started by its Unix
        name after it, which other tests must not see."""
        prefix = pathlib.Path(os.environ.get("HQ2HD_WINE_PREFIX")
                              or self.launcher.parent / "wineprefix")
        link = prefix / "dosdevices" / "y:"
        link.unlink(missing_ok=True)
        link.symlink_to(self.sandbox_root.resolve())
        try:
            yield "Y:"
        finally:
            link.unlink(missing_ok=True)

    def host_path(self, path: pathlib.Path) -> str:
        """The name a Windows program of this build gives the file."""
        if not self.is_windows:
            return str(path)
        # Wine maps the Unix root to drive Z:.
        return "Z:" + str(path.resolve()).replace("/", "\\")


_target: Target | None = None


def configure(target: Target) -> None:
    global _target
    _target = target


def target() -> Target:
    if _target is None:
        raise RuntimeError("run the end-to-end tests through run_e2e.py")
    return _target


@dataclasses.dataclass(frozen=True)
class RunResult:
    exit_code: int
    stdout: bytes
    stderr: bytes


class Sandbox:
    """A fresh folder holding a copy of the program, plus a separate folder
    that serves as the current directory of the run."""

    def __init__(self, program_folder_name: str | None = None, parent: pathlib.Path | None = None,
                 program: pathlib.Path | None = None):
        self.target = target()
        self.target.sandbox_root.mkdir(parents=True, exist_ok=True)
        self._temp = tempfile.TemporaryDirectory(dir=parent or self.target.sandbox_root)
        root = pathlib.Path(self._temp.name)
        self.folder = root / program_folder_name if program_folder_name else root / "program"
        self.elsewhere = root / "cwd"
        self.outputs = root / "outputs"
        for folder in (self.folder, self.elsewhere, self.outputs):
            folder.mkdir()
        self.program = self.folder / self.target.program.name
        shutil.copy2(program or self.target.program, self.program)

    def close(self) -> None:
        self._temp.cleanup()

    def __enter__(self) -> "Sandbox":
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    @property
    def work_file(self) -> pathlib.Path:
        return self.folder / WORK_FILE

    @property
    def scratch_file(self) -> pathlib.Path:
        return self.folder / SCRATCH_FILE

    def write_work_file(self, content: bytes) -> None:
        self.work_file.write_bytes(content)

    def listing(self) -> set[str]:
        return {entry.name for entry in self.folder.iterdir()}

    def run(self, stdout_to_pipe: bool = False, args: tuple[str, ...] = (),
            user: str | None = None) -> RunResult:
        """Starts the program as the host does, with no arguments (or those
        given, as a person typing them would), its stdout a file (or a pipe);
        as another, unprivileged user where one is named."""
        return self.run_together(1, stdout_to_pipe, args, user)[0]

    def run_killed_after(self, seconds: float, how: int = signal.SIGKILL) -> bool:
        """Starts the program as the host does and, unless it has ended by
        then, sends `how` to it and everything it started after `seconds`, as a
        host's time-out or a closed console window does; True when it was
        killed."""
        process = subprocess.Popen(self.target.command(self.program), cwd=self.elsewhere,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            process.wait(timeout=seconds)
            return False
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, how)
            process.wait(timeout=RUN_TIMEOUT_SECONDS)
            return True

    def dos_path(self, drive: str) -> pathlib.PureWindowsPath:
        """The program's name through a drive letter mapped onto the sandbox root."""
        relative = self.program.resolve().relative_to(self.target.sandbox_root.resolve())
        return pathlib.PureWindowsPath(drive + "\\", *relative.parts)

    def run_together(self, count: int, stdout_to_pipe: bool = False, args: tuple[str, ...] = (),
                     user: str | None = None,
                     started_as: list[pathlib.PurePath] | None = None) -> list[RunResult]:
        """Starts `count` copies of the program at once, as a host started
        twice would, and waits for all of them; `started_as` names the
        program for each (its own path when not given)."""
        commands = [self.target.command(program, *args)
                    for program in started_as or [self.program] * count]
        if user is not None:
            account = pwd.getpwnam(user)
            commands = [["setpriv", f"--reuid={account.pw_uid}", f"--regid={account.pw_gid}",
                         "--clear-groups", "--", *command] for command in commands]
        outputs = [(self.outputs / f"stdout{i}.bin", self.outputs / f"stderr{i}.bin")
                   for i in range(count)]
        files = [(open(out, "wb"), open(err, "wb")) for out, err in outputs]
        try:
            processes = [
                subprocess.Popen(
                    command,
                    cwd=self.elsewhere,
                    stdin=subprocess.DEVNULL,
                    stdout=subprocess.PIPE if stdout_to_pipe else stdout_file,
                    stderr=stderr_file,
                )
                for command, (stdout_file, stderr_file) in zip(commands, files)
            ]
            piped = [process.communicate(timeout=RUN_TIMEOUT_SECONDS)[0] for process in processes]
        finally:
            for stdout_file, stderr_file in files:
                stdout_file.close()
                stderr_file.close()
        return [
            RunResult(process.returncode, piped[i] if stdout_to_pipe else out.read_bytes(),
                      err.read_bytes())
            for i, (process, (out, err)) in enumerate(zip(processes, outputs))
        ]


def failed_in_wine(result: RunResult) -> bool:
    """The program writes its unhandled failure report to stderr before it
    exits with a code other than 0; Wine's own failures look otherwise."""
    if not target().is_windows:
        return False
    if result.stderr.startswith(b"wine:") or b"wine client error" in result.stderr:
        return True
    # The Linux loader under Wine, failing as the Wine process ends (seen once
    # among four Wine starts at once on a loaded machine).
    if result.stderr.startswith(b"Inconsistency detected by ld.so:"):
        return True
    if b"ShellExecuteEx" in result.stdout:
        return True
    return result.exit_code != 0 and result.stderr == b""


class SandboxTestCase(unittest.TestCase):
    """Checks shared by every case: how a run ended and what it left behind."""

    maxDiff = 4000

    def new_sandbox(self, program_folder_name: str | None = None,
                    parent: pathlib.Path | None = None,
                    program: pathlib.Path | None = None) -> Sandbox:
        sandbox = Sandbox(program_folder_name, parent, program)
        self.addCleanup(sandbox.close)
        return sandbox

    def new_sandbox_for(self, user: str) -> Sandbox:
        """A sandbox that `user` may enter, read and write, in a folder of its own."""
        parent = pathlib.Path(tempfile.mkdtemp(prefix="hq2hd-e2e-"))
        self.addCleanup(shutil.rmtree, parent, True)
        sandbox = self.new_sandbox(parent=parent)
        uid = pwd.getpwnam(user).pw_uid
        for folder in (parent, sandbox.folder.parent, sandbox.folder, sandbox.elsewhere,
                       sandbox.outputs):
            folder.chmod(0o755)
            os.chown(folder, uid, -1)
        return sandbox

    def assert_quiet_success(self, result: RunResult) -> None:
        self.assertEqual(result.exit_code, 0, result.stderr)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(result.stderr, b"")

    def assert_report(self, result: RunResult, line: str) -> None:
        """One report line in code page 932, CR LF, exit code 0."""
        self.assertEqual(result.exit_code, 0, result.stderr)
        self.assertEqual(result.stdout, line.encode("cp932") + b"\r\n")
        self.assertEqual(result.stderr, b"")

    def assert_left_only(self, sandbox: Sandbox, *names: str) -> None:
        self.assertEqual(sandbox.listing(), {sandbox.program.name, *names})
        self.assertEqual(os.listdir(sandbox.elsewhere), [])
