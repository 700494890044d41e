"""A model of what the program makes of a work file, for inputs whose
characters the code pages round-trip (Python's cp932 agrees with the
platform's conversion there). A file without a mark that is not code page
932 keeps its own bytes, line breaks and hq lines apart.

The model works on whole byte strings: in UTF-8 and in code page 932 no byte
of a character other than a line break or a blank is below 0x21, so line
breaks and the blanks that trimming drops are single bytes in both, and a
line is "hq" when its bytes are."""

import re

UTF8_MARK = b"\xef\xbb\xbf"
UTF16_MARKS = {b"\xff\xfe": "utf-16-le", b"\xfe\xff": "utf-16-be"}

# After the breaks are CR LF: a line of blanks (units up to U+0020 other than
# the breaks) around "hq" in any case.
_BLANKS = rb"[\x00-\x09\x0b\x0c\x0e-\x20]*"
_HQ_LINE = re.compile(rb"(?m)^" + _BLANKS + rb"[hH][qQ]" + _BLANKS + rb"(?=\r\n)")


def rewrite_lines(content: bytes) -> bytes:
    """Every line ends in CR LF, a final break adds no line, hq lines become hd."""
    if not content:
        return b""
    # CR LF first, so that it counts as one break.
    lines = content.replace(b"\r\n", b"\n").replace(b"\r", b"\n").replace(b"\n", b"\r\n")
    if not content.endswith((b"\r", b"\n")):
        lines += b"\r\n"
    return _HQ_LINE.sub(b"hd", lines)


def expected_work_file(content: bytes) -> bytes:
    if content.startswith(UTF8_MARK):
        body = content[len(UTF8_MARK):]
        body.decode("utf-8")  # the model covers valid UTF-8 only
        return UTF8_MARK + rewrite_lines(body)
    encoding = UTF16_MARKS.get(content[:2])
    if encoding:
        body = content[2:][: (len(content) - 2) // 2 * 2]
        return rewrite_lines(body.decode(encoding).encode("cp932"))
    return rewrite_lines(content)
