#!/usr/bin/env python3
"""Turns the Windows output of CodePageDump into src/platform/posix/Cp932Tables.inc.

The POSIX backend converts code page 932 itself and must agree with Windows
code for code, so its tables are taken from what Windows does, not from a
published mapping:

    build/<dir>/wine-run build/<dir>/tests/tools/CodePageDump.exe > cp932.txt
    scripts/generate-cp932-tables.py cp932.txt > src/platform/posix/Cp932Tables.inc

The encoding table is stored as the exceptions to the decoding tables: the
encoder at first use inverts the decoding (the first code of a unit, in code
order, wins) and then applies the exceptions, which hold the duplicates
Windows prefers, its best-fit mappings, and the units it will not round-trip.
"""
import sys

TRAIL_FIRST, TRAIL_LAST = 0x40, 0xFC
ROW_LENGTH = TRAIL_LAST - TRAIL_FIRST + 1
DEFAULT_BYTE = 0x3F


def is_trail(byte):
    return TRAIL_FIRST <= byte <= TRAIL_LAST and byte != 0x7F


def parse(lines):
    strict_singles, lenient_singles, pairs, lenient_pairs, encodings = {}, {}, {}, {}, {}
    for number, line in enumerate(lines, 1):
        kind, code, value = line.split()
        if kind == "E":
            encodings[int(code, 16)] = bytes.fromhex(value)
            continue
        units = [int(unit, 16) for unit in value.split(",")] if value != "-" else []
        source = bytes.fromhex(code)
        if kind == "D" and len(source) == 1 and len(units) == 1:
            strict_singles[source[0]] = units[0]
        elif kind == "D" and len(source) == 2 and len(units) == 1:
            pairs[(source[0], source[1])] = units[0]
        elif kind == "L" and len(source) == 1 and len(units) == 1:
            lenient_singles[source[0]] = units[0]
        elif kind == "L" and len(source) == 2:
            lenient_pairs[(source[0], source[1])] = units
        else:
            sys.exit(f"line {number}: unexpected entry {line!r}")
    return strict_singles, lenient_singles, pairs, lenient_pairs, encodings


def check(strict_singles, lenient_singles, pairs, lenient_pairs, encodings):
    """Stops unless the dump fits the shape that Cp932.cpp assumes."""
    leads = sorted({lead for lead, _ in pairs} | {lead for lead, _ in lenient_pairs})
    if set(strict_singles) & set(leads) or len(strict_singles) + len(lenient_singles) != 256:
        sys.exit("every byte must be exactly one of: strict single, lenient single")
    if any(not is_trail(trail) for _, trail in pairs):
        sys.exit("a pair with a trail byte outside 40-7E, 80-FC")
    replacements = {tuple(units) for units in lenient_pairs.values()}
    replacements |= {(lenient_singles[lead],) for lead in leads}
    if len(replacements) != 1 or len(next(iter(replacements))) != 1:
        sys.exit(f"unmapped pairs and lone lead bytes decode to more than one thing: {replacements}")
    for lead in leads:
        for trail in range(256):
            if is_trail(trail) and (lead, trail) not in pairs and (lead, trail) not in lenient_pairs:
                sys.exit(f"pair {lead:02X}{trail:02X} is missing from the dump")
    if len(encodings) != 0x10000 - 0x800:
        sys.exit(f"the dump encodes {len(encodings)} units, not every BMP unit")
    return leads, next(iter(replacements))[0]


def inverted_decoding(strict_singles, pairs):
    encoded = {}
    for byte in sorted(strict_singles):
        encoded.setdefault(strict_singles[byte], byte)
    for (lead, trail) in sorted(pairs):
        encoded.setdefault(pairs[(lead, trail)], (lead << 8) | trail)
    return encoded


def code_of(data):
    return data[0] if len(data) == 1 else (data[0] << 8) | data[1]


def rows(values, per_line, width):
    text = [f"0x{value:0{width}X}" for value in values]
    return ",\n".join(
        "    " + ", ".join(text[i:i + per_line]) for i in range(0, len(text), per_line))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: generate-cp932-tables.py <CodePageDump output of a Windows build>")
    with open(sys.argv[1], encoding="ascii") as dump:
        tables = parse(line for line in dump.read().splitlines() if line)
    strict_singles, lenient_singles, pairs, _, encodings = tables
    leads, replacement = check(*tables)

    single_units = [strict_singles.get(b, lenient_singles.get(b)) for b in range(256)]
    strict_bits = [0] * 8
    for byte in strict_singles:
        strict_bits[byte // 32] |= 1 << (byte % 32)
    lead_rows = [leads.index(b) + 1 if b in leads else 0 for b in range(256)]
    double_units = []
    for lead in leads:
        double_units.append(
            [pairs.get((lead, TRAIL_FIRST + i), 0) for i in range(ROW_LENGTH)])

    inverted = inverted_decoding(strict_singles, pairs)
    exceptions = []
    for unit in sorted(encodings):
        code = code_of(encodings[unit])
        if len(encodings[unit]) not in (1, 2):
            sys.exit(f"U+{unit:04X} encodes to {len(encodings[unit])} bytes")
        expected = inverted.get(unit, DEFAULT_BYTE)
        if code != expected:
            exceptions.append((unit, code))

    out = sys.stdout
    out.write("// Generated by scripts/generate-cp932-tables.py from the output of\n")
    out.write("// CodePageDump.exe under Wine (ANSI code page 932). Do not edit.\n")
    out.write("// clang-format off\n\n")
    out.write(f"inline constexpr char16_t LenientReplacement = 0x{replacement:04X};\n\n")
    out.write("// What each byte decodes to on its own; lead bytes give LenientReplacement.\n")
    out.write("inline constexpr char16_t SingleByteUnits[256] = {\n")
    out.write(rows(single_units, 8, 4) + "};\n\n")
    out.write("// The bytes that the strict decode accepts on their own, one bit each.\n")
    out.write("inline constexpr std::uint32_t StrictSingleBytes[8] = {\n")
    out.write(rows(strict_bits, 4, 8) + "};\n\n")
    out.write("// For a lead byte its row in DoubleByteUnits plus one, else 0.\n")
    out.write("inline constexpr std::uint8_t LeadByteRows[256] = {\n")
    out.write(rows(lead_rows, 16, 2) + "};\n\n")
    out.write(f"inline constexpr int TrailFirst = 0x{TRAIL_FIRST:02X};\n")
    out.write(f"inline constexpr int RowLength = {ROW_LENGTH};\n\n")
    out.write("// Per lead byte, the unit of each trail byte from TrailFirst; 0 where unmapped.\n")
    out.write(f"inline constexpr char16_t DoubleByteUnits[{len(leads)}][RowLength] = {{\n")
    out.write(",\n".join("  {\n" + rows(row, 8, 4) + "}" for row in double_units))
    out.write("};\n\n")
    out.write("// Where the encoding is not the inverse of the decoding: the code (one byte\n")
    out.write("// below 0x100) that each of these units encodes to.\n")
    out.write("struct EncodingException {\n  char16_t unit;\n  std::uint16_t code;\n};\n")
    out.write(f"inline constexpr EncodingException EncodingExceptions[{len(exceptions)}] = {{\n")
    pairs_text = [f"{{0x{unit:04X}, 0x{code:04X}}}" for unit, code in exceptions]
    out.write(",\n".join("    " + ", ".join(pairs_text[i:i + 4])
                         for i in range(0, len(pairs_text), 4)))
    out.write("};\n\n// clang-format on\n")


if __name__ == "__main__":
    main()
