"""Runs one module of the end-to-end tests against one build of the program.

CTest starts it once per module and platform, for example:
  run_e2e.py --program build/linux/hq2hd --sandboxes build/linux/e2e test_codec_bytes
  run_e2e.py --program build/win32/hq2hd.exe --launcher build/win32/wine-run \
             --hold-file build/win32/tests/e2e/HoldFile.exe --sandboxes ... test_held_files
"""

import argparse
import importlib
import pathlib
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source folder clean

import sandbox  # noqa: E402  (after the line above on purpose)


def parse_arguments() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", type=pathlib.Path, required=True)
    parser.add_argument("--launcher", type=pathlib.Path, help="wine-run, for a Windows build")
    parser.add_argument("--hold-file", type=pathlib.Path, help="HoldFile.exe, Windows builds")
    parser.add_argument("--short-wait-program", type=pathlib.Path,
                        help="the program built to wait 1.5 s for a held folder")
    parser.add_argument("--sandboxes", type=pathlib.Path, required=True,
                        help="folder under which each case gets its fresh folder")
    parser.add_argument("--wrapper", default="",
                        help="command (split at blanks) that runs the program, e.g. valgrind")
    parser.add_argument("modules", nargs="+", help="test modules, e.g. test_codec_bytes")
    return parser.parse_args()


def main() -> int:
    arguments = parse_arguments()
    sandbox.configure(sandbox.Target(
        program=arguments.program.resolve(),
        launcher=arguments.launcher.resolve() if arguments.launcher else None,
        hold_file=arguments.hold_file.resolve() if arguments.hold_file else None,
        short_wait_program=(arguments.short_wait_program.resolve()
                            if arguments.short_wait_program else None),
        sandbox_root=arguments.sandboxes.resolve(),
        wrapper=tuple(arguments.wrapper.split()),
    ))
    # The modules read the target when they are imported, so import them only now.
    loader = unittest.defaultTestLoader
    suite = unittest.TestSuite(
        loader.loadTestsFromModule(importlib.import_module(name)) for name in arguments.modules)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
