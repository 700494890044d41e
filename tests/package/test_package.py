"""Checks the release zip of one Windows build as a user gets it: what the zip
holds, the guide and the licence in it, the unpacked program at work under
Wine in a folder whose name holds blanks and Japanese, and the version
information and manifest that Windows reads from the exe.

CTest runs it once per Windows build, for example:
  test_package.py --exe build/win32/hq2hd.exe --bits 32 --version 1.0.0 \
      --launcher build/win32/wine-run --read-version build/win32/tests/package/ReadVersion.exe \
      --work-dir build/win32/tests/package/work
"""

import argparse
import pathlib
import shutil
import subprocess
import sys
import unittest
import zipfile

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
MAKE_PACKAGE = SOURCE_DIR / "packaging" / "make_package.py"
LICENSE_FILE = SOURCE_DIR / "LICENSE"

PROGRAM_NAME = "hq2hd.exe"
GUIDE_NAME = "はじめにお読みください.txt"
LICENSE_NAME = "LICENSE.txt"
WORK_FILE = "JWC_TEMP.TXT"
UTF8_NAME_FLAG = 0x800
FIXED_EPOCH = 1700000000  # 2023-11-14 22:13:20 UTC
RUN_TIMEOUT_SECONDS = 300

# Every fixed report line a user may meet (and the start of those the system's
# text completes); the guide and the README's Japanese section explain each.
REPORT_LINES = [
    "EFileNotFoundException: 指定されたファイルが見つかりません",
    "EPathTooLongException: 指定されたパスが長すぎます",
    "EInOutError: I/O エラー 103",
    "EDirectoryNotFoundException: 指定されたパスが見つかりません",
    "ENotSupportedException: パスの形式がサポートされていません",
    "EArgumentException: パスに無効な文字が含まれています",
    "EOutOfMemory: メモリが足りません",
    "EInOutError: ファイルへのアクセスが拒否されました",
    "EInOutError: ディスクがいっぱいです",
    "EInOutError: I/O エラー 112",
    "EInOutError: ファイルの末尾以降を読み取りました",
    "EInOutError: ファイルが大きすぎます",
    "EEncodingError: UTF-8 として読み取れないバイトがあります",
    "EWriteError: ストリームへの書き込みエラー",
    "EOSError: システム エラー。コード: ",
    "EFOpenError: ファイル ",
    "EFCreateError: ファイル ",
]
README = pathlib.Path(__file__).resolve().parents[2] / "README.md"

# (case, work file before the run or None, work file after it or None, stdout)
RUN_CASES = [
    ("Shift_JIS lines", b"a\r\n  HQ\r\n\x82\xa0\r\n", b"a\r\nhd\r\n\x82\xa0\r\n", b""),
    ("UTF-8 with mark, LF and no last line end",
     b"\xef\xbb\xbf Hq\t\nhq1\n\xe3\x81\x82", b"\xef\xbb\xbfhd\r\nhq1\r\n\xe3\x81\x82\r\n", b""),
    ("no work file", None, None, REPORT_LINES[0].encode("cp932") + b"\r\n"),
]


class Options:
    exe: pathlib.Path
    bits: int
    version: str
    launcher: pathlib.Path
    read_version: pathlib.Path
    work_dir: pathlib.Path


options = Options()


def windows_path(path: pathlib.Path) -> str:
    # Wine maps the Unix root to drive Z:.
    return "Z:" + str(path.resolve()).replace("/", "\\")


def copyright_line() -> str:
    for line in LICENSE_FILE.read_text(encoding="utf-8").splitlines():
        if line.startswith("Copyright "):
            return line
    raise AssertionError("LICENSE has no copyright line")


class PackageTest(unittest.TestCase):
    maxDiff = 4000

    @classmethod
    def setUpClass(cls):
        shutil.rmtree(options.work_dir, ignore_errors=True)
        dist = options.work_dir / "dist"
        subprocess.run([sys.executable, str(MAKE_PACKAGE), "--exe", str(options.exe),
                        "--bits", str(options.bits), "--version", options.version,
                        "--out-dir", str(dist), "--epoch", str(FIXED_EPOCH)], check=True)
        cls.package = dist / f"hq2hd-{options.version}-win{options.bits}.zip"
        with zipfile.ZipFile(cls.package) as archive:
            cls.infos = {info.filename: info for info in archive.infolist()}
            cls.contents = {name: archive.read(name) for name in cls.infos}

    def unpack(self, case: str) -> pathlib.Path:
        """A fresh copy of the package's files in a folder named as users may name it."""
        folder = options.work_dir / "パッケージ 試験" / case / f"hq2hd {options.version} 展開先"
        shutil.rmtree(folder.parent, ignore_errors=True)
        folder.mkdir(parents=True)
        with zipfile.ZipFile(self.package) as archive:
            archive.extractall(folder)
        return folder

    def test_entries(self):
        self.assertEqual(sorted(self.infos), sorted([PROGRAM_NAME, GUIDE_NAME, LICENSE_NAME]))
        for name, info in self.infos.items():
            with self.subTest(name):
                self.assertEqual(info.date_time, (2023, 11, 14, 22, 13, 20))
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                self.assertEqual(info.create_system, 3)  # Unix
                self.assertEqual(info.external_attr, 0o100644 << 16)
                self.assertEqual(bool(info.flag_bits & UTF8_NAME_FLAG), not name.isascii())

    def test_japanese_name_is_stored_in_utf8(self):
        # The central directory must hold the UTF-8 bytes of the name, not Shift_JIS.
        raw = self.package.read_bytes()
        self.assertEqual(raw.count(GUIDE_NAME.encode("utf-8")), 2)  # local header + directory
        self.assertNotIn(GUIDE_NAME.encode("cp932"), raw)

    def test_program_is_the_build(self):
        self.assertEqual(self.contents[PROGRAM_NAME], options.exe.read_bytes())

    def test_guide_is_utf8_with_mark_and_crlf(self):
        guide = self.contents[GUIDE_NAME]
        self.assertTrue(guide.startswith(b"\xef\xbb\xbf"))
        self.assertTrue(guide.endswith(b"\r\n"))
        self.assertEqual(guide.count(b"\n"), guide.count(b"\r\n"))
        self.assertEqual(guide.count(b"\r"), guide.count(b"\r\n"))

    def test_guide_explains_the_program(self):
        guide = self.contents[GUIDE_NAME][3:].decode("utf-8")
        needed = [options.version, f"{options.bits} ビット版", WORK_FILE, "hq", "hd", "HQ",
                  "BOM 付き UTF-8", "Shift_JIS", "932", "何も表示しません", "元の内容のまま",
                  LICENSE_NAME, *REPORT_LINES]
        for text in needed:
            with self.subTest(text):
                self.assertIn(text, guide)
        self.assertNotIn("@", guide)  # every placeholder was filled in
        japanese_readme = README.read_text(encoding="utf-8").split("## 日本語")[1]
        for line in REPORT_LINES:
            with self.subTest("README", report=line):
                self.assertIn(line, japanese_readme)

    def test_license_is_mit_with_crlf(self):
        text = self.contents[LICENSE_NAME]
        self.assertTrue(text.startswith(b"MIT License\r\n"))
        self.assertIn(copyright_line().encode("ascii") + b"\r\n", text)
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))

    def test_unpacked_program_runs(self):
        for case, before, after, stdout in RUN_CASES:
            with self.subTest(case):
                folder = self.unpack(case)
                if before is not None:
                    (folder / WORK_FILE).write_bytes(before)
                elsewhere = folder.parent / "別の フォルダー"
                elsewhere.mkdir()
                completed = subprocess.run([str(options.launcher), str(folder / PROGRAM_NAME)],
                                           cwd=elsewhere, stdin=subprocess.DEVNULL,
                                           capture_output=True, timeout=RUN_TIMEOUT_SECONDS)
                self.assertEqual(completed.returncode, 0)
                self.assertEqual(completed.stdout, stdout)
                self.assertEqual(completed.stderr, b"")
                expected_files = {PROGRAM_NAME, GUIDE_NAME, LICENSE_NAME}
                if after is not None:
                    expected_files.add(WORK_FILE)
                    self.assertEqual((folder / WORK_FILE).read_bytes(), after)
                self.assertEqual({entry.name for entry in folder.iterdir()}, expected_files)

    def read_resources(self) -> tuple[dict[str, dict[str, str]], str]:
        """The version fields, grouped by the language and code page that hold them (the
        fixed version information under ""), and the manifest text."""
        folder = self.unpack("resources")
        report_path = folder.parent / "resources.txt"
        completed = subprocess.run(
            [str(options.launcher), str(options.read_version),
             windows_path(folder / PROGRAM_NAME), windows_path(report_path)],
            stdin=subprocess.DEVNULL, capture_output=True, timeout=RUN_TIMEOUT_SECONDS)
        self.assertEqual(completed.returncode, 0, completed.stderr)
        report = report_path.read_text(encoding="utf-8")
        fields_text, marker, manifest = report.partition("Manifest:\n")
        self.assertEqual(marker, "Manifest:\n")
        blocks: dict[str, dict[str, str]] = {"": {}}
        current = blocks[""]
        for line in fields_text.splitlines():
            name, _, value = line.partition("=")
            if name == "Translation":
                current = blocks.setdefault(value, {})
            else:
                current[name] = value
        return blocks, manifest

    def test_version_information(self):
        blocks, _ = self.read_resources()
        numeric = ".".join((options.version.split(".") + ["0"] * 4)[:4])
        expected = {
            "": {"FixedFileVersion": numeric, "FixedProductVersion": numeric,
                 "FileType": "1"},  # an application
            # Japanese, UTF-16.
            "041104b0": {"ProductName": "hq2hd", "FileVersion": options.version,
                         "ProductVersion": options.version, "LegalCopyright": copyright_line(),
                         "OriginalFilename": PROGRAM_NAME,
                         "FileDescription": "hq の行を hd に書き換えるツール"},
        }
        for block, fields in expected.items():
            for name, value in fields.items():
                with self.subTest(block=block, name=name):
                    self.assertEqual(blocks.get(block, {}).get(name), value)

    def test_manifest(self):
        _, manifest = self.read_resources()
        self.assertIn('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', manifest)
        # The program must use the system's ANSI code page, never one the manifest sets.
        self.assertNotIn("activeCodePage", manifest)
        self.assertIn(f'version="{options.version}', manifest)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", type=pathlib.Path, required=True)
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--launcher", type=pathlib.Path, required=True, help="wine-run")
    parser.add_argument("--read-version", type=pathlib.Path, required=True)
    parser.add_argument("--work-dir", type=pathlib.Path, required=True)
    parser.parse_args(namespace=options)
    for name in ("exe", "launcher", "read_version", "work_dir"):
        setattr(options, name, getattr(options, name).resolve())
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(PackageTest)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
