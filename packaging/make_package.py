"""Builds the release zip of one Windows build of hq2hd.

  make_package.py --exe build/win32/hq2hd.exe --bits 32 --version 1.0.0 --out-dir dist

writes dist/hq2hd-1.0.0-win32.zip holding hq2hd.exe, the Japanese guide and the
licence. The same inputs always give the same bytes: every entry has the same
fixed time, the entries are sorted, and nothing of the building machine (user,
permissions, file times) goes into the archive.
"""

import argparse
import datetime
import os
import pathlib
import sys
import zipfile

PACKAGING_DIR = pathlib.Path(__file__).resolve().parent
SOURCE_DIR = PACKAGING_DIR.parent
GUIDE_TEMPLATE = PACKAGING_DIR / "guide-ja.txt.in"
LICENSE_FILE = SOURCE_DIR / "LICENSE"

PROGRAM_NAME = "hq2hd.exe"
GUIDE_NAME = "はじめにお読みください.txt"
LICENSE_NAME = "LICENSE.txt"

# The earliest time a zip entry can hold; used when no SOURCE_DATE_EPOCH is given.
ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC
UTF8_BOM = b"\xef\xbb\xbf"
# "Made by" Unix, with plain read-write files: Info-ZIP's unzip mangles the UTF-8
# names of entries made by MS-DOS, and Windows ignores the Unix mode.
UNIX_SYSTEM = 3
REGULAR_FILE_ATTRIBUTES = 0o100644 << 16


def package_name(version: str, bits: int) -> str:
    return f"hq2hd-{version}-win{bits}.zip"


def windows_text(text: str) -> str:
    """The text with CR LF line ends, whatever ends it had."""
    return "\r\n".join(text.replace("\r\n", "\n").replace("\r", "\n").split("\n"))


def guide_bytes(version: str, bits: int) -> bytes:
    template = GUIDE_TEMPLATE.read_text(encoding="utf-8")
    text = template.replace("@VERSION@", version).replace("@BITS@", str(bits))
    # Notepad and other Windows editors take a BOM-less file for Shift_JIS.
    return UTF8_BOM + windows_text(text).encode("utf-8")


def license_bytes() -> bytes:
    return windows_text(LICENSE_FILE.read_text(encoding="utf-8")).encode("utf-8")


def zip_time(epoch_seconds: int) -> tuple[int, int, int, int, int, int]:
    moment = datetime.datetime.fromtimestamp(max(epoch_seconds, ZIP_EPOCH), datetime.timezone.utc)
    return (moment.year, moment.month, moment.day, moment.hour, moment.minute, moment.second)


def write_package(path: pathlib.Path, entries: dict[str, bytes], epoch_seconds: int) -> None:
    date_time = zip_time(epoch_seconds)
    temporary = path.with_name(path.name + ".part")
    with zipfile.ZipFile(temporary, "w") as archive:
        for name in sorted(entries):
            # zipfile stores a non-ASCII name in UTF-8 and sets the UTF-8 flag (bit 11).
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = UNIX_SYSTEM
            info.external_attr = REGULAR_FILE_ATTRIBUTES
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, entries[name], compresslevel=9)
    # A failed run must not leave a zip that looks finished.
    os.replace(temporary, path)


def parse_arguments() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", type=pathlib.Path, required=True, help="the built hq2hd.exe")
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("--version", required=True, help="the CMake project version")
    parser.add_argument("--out-dir", type=pathlib.Path, required=True)
    parser.add_argument("--epoch", type=int,
                        default=int(os.environ.get("SOURCE_DATE_EPOCH", ZIP_EPOCH)),
                        help="time of every entry, in seconds since 1970 (SOURCE_DATE_EPOCH)")
    return parser.parse_args()


def main() -> int:
    arguments = parse_arguments()
    entries = {
        PROGRAM_NAME: arguments.exe.read_bytes(),
        GUIDE_NAME: guide_bytes(arguments.version, arguments.bits),
        LICENSE_NAME: license_bytes(),
    }
    arguments.out_dir.mkdir(parents=True, exist_ok=True)
    path = arguments.out_dir / package_name(arguments.version, arguments.bits)
    write_package(path, entries, arguments.epoch)
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
