"""The case tables of tests/cases, which the C++ tests read too."""

import dataclasses
import pathlib
import re

CASES = pathlib.Path(__file__).resolve().parents[1] / "cases"
FLAGS = {"sweep", "pairs", "no-work-file", "work-file-folder", "platform-out",
         "rename-back-refused"}
_ESCAPE = re.compile(rb"\\(x[0-9A-Fa-f]{2}|[rnt0\\])|\\")
_SIMPLE = {b"r": b"\r", b"n": b"\n", b"t": b"\t", b"0": b"\0", b"\\": b"\\"}


def unescape(field: str) -> bytes:
    """\\xNN, \\r, \\n, \\t, \\0 and \\\\ stand for their bytes; the rest is UTF-8."""
    def byte(match: re.Match) -> bytes:
        if match[1] is None:
            raise ValueError(f"tests/cases: an unknown escape in {field!r}")
        return bytes.fromhex(match[1][1:].decode()) if match[1][0] == ord("x") else _SIMPLE[match[1]]
    return _ESCAPE.sub(byte, field.encode("utf-8"))


def _rows(name: str) -> list[str]:
    lines = (CASES / name).read_text("utf-8").splitlines()
    return [line for line in lines if line.strip() and not line.startswith("#")]


@dataclasses.dataclass(frozen=True)
class WorkFileRow:
    name: str
    before: bytes
    after: bytes | None  # None: what the bytes become is the platform's choice
    flags: frozenset[str]
    left: frozenset[str]
    report: str  # empty when the run prints nothing


def work_file_rows() -> list[WorkFileRow]:
    rows = []
    for line in _rows("work_files.txt"):
        fields = [field.strip(" ") for field in line.split("|")]
        if not 3 <= len(fields) <= 5 or not (fields[1] + fields[2]).isascii():
            raise ValueError(f"tests/cases: not 3 to 5 fields, or bytes not ASCII: {line}")
        name, before, after, flags, report = fields + [""] * (5 - len(fields))
        words = set(flags.split())
        lefts = [word[5:] for word in words if word.startswith("left=")]
        words -= {"left=" + left for left in lefts}
        if words - FLAGS:
            raise ValueError(f"tests/cases: unknown flags {words - FLAGS}: {line}")
        left = set(filter(None, lefts[0].split(","))) if lefts else {"JWC_TEMP.TXT"}
        rows.append(WorkFileRow(name, unescape(before),
                                None if "platform-out" in words else unescape(after),
                                frozenset(words), frozenset(left), report))
    return rows


def rule_rows() -> list[tuple[str, bool]]:
    """(line, whether it becomes "hd")"""
    rows = []
    for line in _rows("rewrite_rule.txt"):
        verdict, _, text = line.partition(" ")
        if verdict not in ("hd", "kept") or text.endswith(" "):
            raise ValueError(f"tests/cases: malformed row: {line}")
        rows.append((unescape(text).decode("utf-8"), verdict == "hd"))
    return rows
