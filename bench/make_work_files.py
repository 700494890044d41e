#!/usr/bin/env python3
"""Writes the benchmark's work files, the same bytes on every machine.

For each encoding, two files are written into the output folder:

  cp932.txt / utf8.txt                 the work file as the host would write it
  cp932.expected / utf8.expected       what hq2hd must leave in its place

The text is Japanese and ASCII lines, numbers, empty lines, about 5% lines
that hq2hd rewrites to "hd" ("hq" in any case, with blanks and control
characters around it) and lines that only look like them ("hq1", "h q",
full-width "ｈｑ", "hqhq"), all ending in CR LF as the host writes them.
The code page 932 file has no byte-order mark; the UTF-8 file starts with one.

With --extra, also files that test what the run holds in memory, each with
its .expected:

  utf16le.txt / utf16be.txt    the UTF-8 file's text as UTF-16 with a mark;
                               written back in code page 932
  cp932-invalid.txt            the code page 932 file with a line of an invalid
                               pair (85 40) after every so many lines, 200 in
                               all; it comes back as its own bytes
  long-line.txt                one line of the full size, of "あ" in code page 932
  blank-hq-line.txt            one line of the full size, of blanks around "hq"
"""

import argparse
import os
import random
import sys

SEED = 932_2024
# Distinct lines per kind; drawing from pools keeps generation fast and the
# program still sees millions of lines of mixed length.
POOL_SIZE = 4096
LINE_BREAK = "\r\n"

HQ_FORMS = ["hq", "HQ", "Hq", "hQ", "  Hq\t", "hQ  ", "\thq", " HQ ", "\t\thq\t",
            "\x01hq\x1f", " \x0bHq\x0c"]
LOOKALIKES = ["hq1", "h q", "ｈｑ", "ＨＱ", "hqhq", "hd", "q", "h", "hq.", "-hq",
              "hq hq", "ｈq", "HQ2HD", "Hq\u3000"]

JAPANESE_WORDS = [
    "日本語", "データ", "選択", "項目", "顧客", "住所", "東京都", "大阪府", "名古屋市",
    "株式会社", "見積書", "請求書", "納品", "数量", "単価", "合計", "備考", "担当者",
    "ひらがな", "カタカナ", "漢字", "全角", "半角", "ｶﾀｶﾅ", "ﾃﾞｰﾀ", "①", "Ⅱ", "〒",
    "電話", "番号", "令和", "平成", "年", "月", "日", "の", "を", "に", "は", "が", "、",
    "。", "「", "」", "（", "）", "ー", "・", "※", "○", "△", "□", "■", "㈱", "№",
]
ASCII_WORDS = [
    "item", "code", "name", "address", "total", "price", "qty", "note", "OK", "NG",
    "ABC", "xyz", "TODO", "hq2hd", "HQ-01", "data", "select", "the", "of", "and",
]


def number(rng: random.Random) -> str:
    form = rng.randrange(4)
    if form == 0:
        return str(rng.randrange(1_000_000))
    if form == 1:
        return f"{rng.randrange(10_000)}.{rng.randrange(100):02d}"
    if form == 2:
        return f"{rng.randrange(1989, 2031)}/{rng.randrange(1, 13):02d}/{rng.randrange(1, 29):02d}"
    return f"-{rng.randrange(1000)}"


def japanese_line(rng: random.Random) -> str:
    parts = []
    for _ in range(rng.randrange(2, 8)):
        parts.append(number(rng) if rng.random() < 0.15 else rng.choice(JAPANESE_WORDS))
    return "".join(parts)


def ascii_line(rng: random.Random) -> str:
    parts = []
    for _ in range(rng.randrange(1, 7)):
        parts.append(number(rng) if rng.random() < 0.3 else rng.choice(ASCII_WORDS))
    return rng.choice([" ", ",", "\t"]).join(parts)


def mixed_line(rng: random.Random) -> str:
    return f"{rng.choice(ASCII_WORDS)}\t{japanese_line(rng)}\t{number(rng)}"


def hq_line(rng: random.Random) -> str:
    return rng.choice(HQ_FORMS)


def lookalike_line(rng: random.Random) -> str:
    return rng.choice(LOOKALIKES)


def empty_line(rng: random.Random) -> str:
    return rng.choice(["", "", " ", "\t"])


# (kind, share of lines, maker, rewritten by hq2hd)
KINDS = [
    ("japanese", 0.45, japanese_line, False),
    ("ascii", 0.25, ascii_line, False),
    ("mixed", 0.14, mixed_line, False),
    ("hq", 0.05, hq_line, True),
    ("lookalike", 0.05, lookalike_line, False),
    ("empty", 0.06, empty_line, False),
]


def write_files(folder: str, name: str, encoding: str, mark: bytes, size: int, seed: int) -> dict:
    rng = random.Random(seed)
    pools = []
    for _, _, maker, rewritten in KINDS:
        pool = []
        for _ in range(POOL_SIZE):
            text = maker(rng)
            source = (text + LINE_BREAK).encode(encoding)
            pool.append((source, b"hd\r\n" if rewritten else source))
        pools.append(pool)
    weights = [share for _, share, _, _ in KINDS]

    counts = [0] * len(KINDS)
    written = len(mark)
    source_path = os.path.join(folder, f"{name}.txt")
    expected_path = os.path.join(folder, f"{name}.expected")
    with open(source_path, "wb") as source, open(expected_path, "wb") as expected:
        source.write(mark)
        expected.write(mark)
        longest = max(len(line) for pool in pools for line, _ in pool)
        batch = 65536
        while written + longest * batch < size:
            kinds = rng.choices(range(len(KINDS)), weights, k=batch)
            picks = rng.choices(range(POOL_SIZE), k=batch)
            source_lines = []
            expected_lines = []
            for kind, pick in zip(kinds, picks):
                line, result = pools[kind][pick]
                source_lines.append(line)
                expected_lines.append(result)
                counts[kind] += 1
                written += len(line)
            source.write(b"".join(source_lines))
            expected.write(b"".join(expected_lines))
        while True:
            kind = rng.choices(range(len(KINDS)), weights)[0]
            line, result = pools[kind][rng.randrange(POOL_SIZE)]
            if written + len(line) + 4 > size:
                break
            source.write(line)
            expected.write(result)
            counts[kind] += 1
            written += len(line)
        # An ASCII line fills the file up to its exact size.
        filler = b"x" * (size - written - 2) + b"\r\n"
        source.write(filler)
        expected.write(filler)
        counts[KINDS.index(next(k for k in KINDS if k[0] == "ascii"))] += 1
    return {"file": source_path, "lines": sum(counts),
            **{kind[0]: count for kind, count in zip(KINDS, counts)}}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", help="where the files are written")
    parser.add_argument("--size-mib", type=int, default=64, help="size of each work file")
    parser.add_argument("--seed", type=int, default=SEED)
    parser.add_argument("--size-bytes", type=int, help="size of each work file, in bytes")
    parser.add_argument("--only", choices=["cp932", "utf8"],
                        help="write only this file (the large runs need only one)")
    parser.add_argument("--extra", action="store_true", help="also the files of the memory targets")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    size = args.size_bytes or args.size_mib * 1024 * 1024
    for name, encoding, mark, offset in (("cp932", "cp932", b"", 0),
                                         ("utf8", "utf-8", b"\xef\xbb\xbf", 1)):
        if args.only and name != args.only:
            continue
        summary = write_files(args.folder, name, encoding, mark, size, args.seed + offset)
        details = ", ".join(f"{key} {value}" for key, value in summary.items() if key != "file")
        print(f"{summary['file']}: {size} bytes, {details}")
    if args.extra:
        write_extra_files(args.folder, size)
    return 0


def write_extra_files(folder: str, size: int) -> None:
    def path(name: str) -> str:
        return os.path.join(folder, name)

    def write(name: str, source: bytes, expected: bytes) -> None:
        with open(path(f"{name}.txt"), "wb") as out:
            out.write(source)
        with open(path(f"{name}.expected"), "wb") as out:
            out.write(expected)
        print(f"{path(name + '.txt')}: {len(source)} bytes")

    with open(path("utf8.txt"), "rb") as source, open(path("utf8.expected"), "rb") as expected:
        text = source.read().decode("utf-8-sig")
        written = expected.read().decode("utf-8-sig").encode("cp932")
    write("utf16le", b"\xff\xfe" + text.encode("utf-16-le"), written)
    write("utf16be", b"\xfe\xff" + text.encode("utf-16-be"), written)
    del text, written
    with open(path("cp932.txt"), "rb") as source, open(path("cp932.expected"), "rb") as expected:
        lines = source.read().split(b"\r\n")
        results = expected.read().split(b"\r\n")
    step = max(len(lines) // 201, 1)
    for at in range(step * 200, 0, -step):
        lines.insert(at, b"\x85\x40")
        results.insert(at, b"\x85\x40")
    write("cp932-invalid", b"\r\n".join(lines), b"\r\n".join(results))
    del lines, results
    line = b"\x82\xa0" * ((size - 2) // 2)
    write("long-line", line + b"\r\n", line + b"\r\n")
    half = (size - 4) // 2
    write("blank-hq-line", b" " * half + b"hq" + b"\t" * (size - 4 - half) + b"\r\n", b"hd\r\n")


if __name__ == "__main__":
    sys.exit(main())
