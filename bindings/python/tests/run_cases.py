"""Runs the end-to-end case tables of the native tests through the module.

    python3 run_cases.py CASES.json

CASES.json is what e2e_cases_json prints. Each case runs in a fresh working
directory holding its files, with its environment as the whole environment,
and must write what the program must. Prints each failure and the counts.
"""

import json
import os
import re
import sys
import tempfile
import time
from pathlib import Path

import quenfold


def latin1(text):
    """The case files hold one byte per character."""
    return text.encode("latin-1")


def matches(got, want, regex):
    if regex:
        # POSIX extended expressions as the cases use them; '.' takes newlines too.
        return re.fullmatch(want, got.decode("latin-1"), re.DOTALL) is not None
    return got == latin1(want)


def run_case(case, workdir):
    for name, data in case["files"]:
        path = Path(workdir) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(latin1(data))
    for name in case["dirs"]:
        (Path(workdir) / name).mkdir(parents=True, exist_ok=True)
    stdin = latin1(case["stdin"])
    if case["stdin_file"]:
        stdin = (Path(workdir) / case["stdin_file"]).read_bytes()
    env = {}
    for name, value in case["env"]:
        if name in env:
            raise ValueError("variable set twice: " + name)
        env[latin1(name)] = latin1(value)
    os.chdir(workdir)
    return quenfold.run([latin1(a) for a in case["args"]], stdin, env=env)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: run_cases.py CASES.json")
    with open(sys.argv[1], encoding="latin-1") as f:
        cases = json.load(f)["cases"]
    home = os.getcwd()
    passed = failed = 0
    started = time.monotonic()
    for case in cases:
        ident = case["group"] + "." + case["name"]
        problems = []
        with tempfile.TemporaryDirectory(prefix="quenfold-py-case-") as workdir:
            try:
                r = run_case(case, workdir)
            except Exception as e:  # a broken case or binding: report it as a failure
                problems.append("the run raised %r" % e)
                r = None
            finally:
                os.chdir(home)
        if r is not None:
            if not matches(r.stdout, case["out"], case["out_regex"]):
                problems.append("stdout %r\n    expected %r" % (r.stdout[:2000], case["out"][:2000]))
            if not matches(r.stderr, case["err"], case["err_regex"]):
                problems.append("stderr %r\n    expected %r" % (r.stderr, case["err"]))
            if r.returncode != case["status"]:
                problems.append("status %d, expected %d" % (r.returncode, case["status"]))
        if problems:
            failed += 1
            print("FAIL " + ident + "\n  " + "\n  ".join(problems))
        else:
            passed += 1
    print("python cases in %.1f s" % (time.monotonic() - started))
    print("python cases: %d passed, %d failed" % (passed, failed))
    sys.exit(0 if failed == 0 else 1)


if __name__ == "__main__":
    main()
