"""Holds a file open from another Windows process while the program runs."""

import contextlib
import pathlib
import subprocess

from sandbox import Target

READY_TIMEOUT_SECONDS = 300


@contextlib.contextmanager
def held_open(target: Target, path: pathlib.Path, access: str, share: str):
    """access: "r" or "rw"; share: "none", "r" or "rw" (Windows share modes)."""
    if target.hold_file is None:
        raise RuntimeError("holding a file open needs the Windows HoldFile helper")
    holder = subprocess.Popen(
        target.command(target.hold_file, target.host_path(path), access, share),
        stdin=subprocess.PIPE,
        stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL,
    )
    try:
        first_line = holder.stdout.readline()
        if first_line.strip() != b"ready":
            raise RuntimeError(f"HoldFile did not open {path}: {first_line!r}")
        yield
    finally:
        holder.stdin.close()
        holder.wait(timeout=READY_TIMEOUT_SECONDS)
        holder.stdout.close()
