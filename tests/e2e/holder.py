"""Holds a file open, or a program folder's claim, from another process while
the program runs."""

import contextlib
import pathlib
import subprocess
import sys
import threading
import time

from sandbox import Target

READY_TIMEOUT_SECONDS = 300

# A process of its own that takes the folder's claim as a run on POSIX does:
# a lock on the file named after the folder's device and inode, in the
# user's runtime folder or the user's own folder under /tmp.
_POSIX_CLAIM = (
    "import fcntl, os, stat, sys\n"
    "uid = os.geteuid()\n"
    "claims = f'/run/user/{uid}'\n"
    "info = os.lstat(claims) if os.path.lexists(claims) else None\n"
    "if not (info and stat.S_ISDIR(info.st_mode) and info.st_uid == uid\n"
    "        and info.st_mode & 0o77 == 0):\n"
    "    claims = f'/tmp/hq2hd-{uid}'\n"
    "    os.makedirs(claims, mode=0o700, exist_ok=True)\n"
    "folder = os.stat(sys.argv[1])\n"
    "name = f'{claims}/hq2hd-{folder.st_dev:x}-{folder.st_ino:x}.lock'\n"
    "fd = os.open(name, os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW, 0o600)\n"
    "fcntl.flock(fd, fcntl.LOCK_EX)\n"
    "print('ready', flush=True)\n"
    "sys.stdin.readline()\n"
)

# Anyone who may read the folder can lock the folder itself; that holds no run.
_POSIX_FOLDER_LOCK = (
    "import fcntl, os, sys\n"
    "fd = os.open(sys.argv[1], os.O_RDONLY | os.O_DIRECTORY)\n"
    "fcntl.flock(fd, fcntl.LOCK_EX)\n"
    "print('ready', flush=True)\n"
    "sys.stdin.readline()\n"
)


class Holder:
    """A running holder: `go` starts a timed hold; `lines` gathers what it
    prints after "ready", and `released_at` is when it said it let go
    (time.monotonic), both complete after the `with` block."""

    def __init__(self, process: subprocess.Popen):
        self.process = process
        self.lines: list[str] = []
        self.released_at: float | None = None
        self._reader: threading.Thread | None = None

    def go(self) -> None:
        self.process.stdin.write(b"go\n")
        self.process.stdin.flush()

    def _read(self) -> None:
        for line in self.process.stdout:
            self.lines.append(line.decode(errors="replace").strip())
            if self.lines[-1] == "released":
                self.released_at = time.monotonic()

    def _start(self) -> None:
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _finish(self) -> None:
        self.process.stdin.close()
        self.process.wait(timeout=READY_TIMEOUT_SECONDS)
        if self._reader:
            self._reader.join(timeout=READY_TIMEOUT_SECONDS)
        self.process.stdout.close()


@contextlib.contextmanager
def _holding(command: list[str]):
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    holder = Holder(process)
    try:
        first_line = process.stdout.readline()
        if first_line.strip() != b"ready":
            raise RuntimeError(f"the holder did not start: {command}: {first_line!r}")
        holder._start()
        yield holder
    finally:
        holder._finish()


def held_open(target: Target, path: pathlib.Path, access: str, share: str,
              hold_ms: int | None = None, appear: bool = False):
    """access: "r" or "rw"; share: "none", "r" or "rw" (Windows share modes).
    Without hold_ms the file stays open for the whole `with` block; with it,
    for hold_ms after `go` (or, with appear, after the file first appears)."""
    if target.hold_file is None:
        raise RuntimeError("holding a file open needs the Windows HoldFile helper")
    extra = [] if hold_ms is None else [str(hold_ms)] + (["appear"] if appear else [])
    return _holding(target.command(target.hold_file, target.host_path(path), access, share,
                                   *extra))


def claim_squatted(target: Target, folder: pathlib.Path):
    """The claim's name, taken by a mutex that someone else owns and anyone
    may open (Windows), or a lock on the folder itself, which anyone who may
    read the folder can take (POSIX), for the whole `with` block."""
    if target.is_windows:
        return _holding(target.command(target.hold_file, target.host_path(folder), "squat"))
    return _holding([sys.executable, "-c", _POSIX_FOLDER_LOCK, str(folder)])


def claim_held(target: Target, folder: pathlib.Path):
    """The folder claim, held by another process for the whole `with` block."""
    if target.is_windows:
        return _holding(target.command(target.hold_file, target.host_path(folder), "claim"))
    return _holding([sys.executable, "-c", _POSIX_CLAIM, str(folder)])
