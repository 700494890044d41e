"""The case tables of tests/cases, which the C++ tests read too."""

import dataclasses
import pathlib
import re

CASES = pathlib.Path(__file__).resolve().parents[1] / "cases"
FLAGS = {"sweep", "pairs", "no-work-file", "work-file-folder", "platform-out",
         "rename-back-refused"}
_ESCAPE = re.compile(r"\\(x[0-9A-Fa-f]{2}|u[0-9A-Fa-f]{4}|U[0-9A-Fa-f]{8}|[\\rnt0])|\\")
_SIMPLE = {"\\": "\\", "r": "\r", "n": "\n", "t": "\t", "0": "\0"}


def unescape(field: str) -> str:
    def replace(match: re.Match) -> str:
        if match[1] is None:
            raise ValueError(f"an unknown escape in {field!r}")
        return _SIMPLE.get(match[1]) or chr(int(match[1][1:], 16))
    return _ESCAPE.sub(replace, field)


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
            raise ValueError(f"work_files.txt: malformed row: {line}")
        name, before, after, flags, report = fields + [""] * (5 - len(fields))
        left = {"JWC_TEMP.TXT"}
        words = set()
        for word in flags.split():
            if word.startswith("left="):
                left = set(filter(None, word[5:].split(",")))
            elif word in FLAGS:
                words.add(word)
            else:
                raise ValueError(f"work_files.txt: unknown flag {word}: {line}")
        pinned = "platform-out" not in words
        rows.append(WorkFileRow(name, unescape(before).encode("latin-1"),
                                unescape(after).encode("latin-1") if pinned else None,
                                frozenset(words), frozenset(left), unescape(report)))
    return rows


def rule_rows() -> list[tuple[str, bool]]:
    """(line, whether it becomes "hd")"""
    rows = []
    for line in _rows("rewrite_rule.txt"):
        verdict, _, text = line.partition(" ")
        if verdict not in ("hd", "kept") or text.endswith(" "):
            raise ValueError(f"rewrite_rule.txt: malformed row: {line}")
        rows.append((unescape(text), verdict == "hd"))
    return rows
