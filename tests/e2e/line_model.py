"""A model of what the program makes of a work file, for inputs whose
characters the code pages round-trip (Python's cp932 agrees with the
platform's conversion there). A file without a mark that is not code page
932 keeps its own bytes, line breaks and hq lines apart."""

import re

UTF8_MARK = b"\xef\xbb\xbf"
UTF16_MARKS = {b"\xff\xfe": "utf-16-le", b"\xfe\xff": "utf-16-be"}


# CR LF first, so that it counts as one break.
_BREAK = re.compile(r"\r\n|\r|\n")
_BLANKS = "".join(chr(unit) for unit in range(0x21))


def split_lines(text: str) -> list[str]:
    """CR LF, a lone CR and a lone LF each end a line; a final break adds no line."""
    lines = _BREAK.split(text)
    if lines[-1] == "":
        lines.pop()
    return lines


def split_byte_lines(content: bytes) -> list[bytes]:
    return [line.encode("latin-1") for line in split_lines(content.decode("latin-1"))]


def is_hq_line(line: str) -> bool:
    trimmed = line.strip(_BLANKS)
    return len(trimmed) == 2 and trimmed.lower() == "hq"


def rewrite(lines: list[str]) -> list[str]:
    return ["hd" if is_hq_line(line) else line for line in lines]


def rewrite_bytes(lines: list[bytes]) -> list[bytes]:
    return [b"hd" if is_hq_line(line.decode("latin-1")) else line for line in lines]


def join_lines(lines: list[str]) -> str:
    return "".join(line + "\r\n" for line in lines)


def expected_work_file(content: bytes) -> bytes:
    if content.startswith(UTF8_MARK):
        text = content[len(UTF8_MARK):].decode("utf-8")
        return UTF8_MARK + join_lines(rewrite(split_lines(text))).encode("utf-8")
    encoding = UTF16_MARKS.get(content[:2])
    if encoding:
        body = content[2:][: (len(content) - 2) // 2 * 2]
        return join_lines(rewrite(split_lines(body.decode(encoding)))).encode("cp932")
    try:
        text = content.decode("cp932")
    except UnicodeDecodeError:
        return b"".join(line + b"\r\n" for line in rewrite_bytes(split_byte_lines(content)))
    return join_lines(rewrite(split_lines(text))).encode("cp932")
